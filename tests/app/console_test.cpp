#include "app/console.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "config/ini.h"
#include "platform/fs.h"
#include "support/scratch.h"

using namespace ovr;
namespace ini = config::ini;
namespace fs = platform::fs;
using test::ScratchDir;
using test::write_text;

namespace {

// Start-up reads its directories from the environment of the process.
struct ConsoleTest : ::testing::Test {
    ScratchDir d;
    ScriptedUi ui;
    pages::Context ctx;
    app::ScriptedServiceActions services;
    app::InlineBusyRunner busy;
    std::ostringstream out;
    app::StartupHooks hooks;
    ConsoleTest() {
        setenv("OVRINSMS_DATA_DIR", (d.path() + "data").c_str(), 1);
        setenv("OVRINSMS_PRIVATE_DIR", (d.path() + "private/").c_str(), 1);
        setenv("OVRINSMS_PROGRAM_DIR", (d.path() + "program/").c_str(), 1);
        unsetenv("USERPROFILE");
        fs::create_directories(d.path() + "private/STATS");
        fs::create_directories(d.path() + "program");
        ctx.ui = &ui;
        hooks.start_network = [] { return true; };
    }
    std::string data(const std::string& name) { return d.path() + "data/" + name; }
};

// Plays the user's part: records which sheets ran and closes each one as
// told.
struct ScriptedSheets : app::SheetRunner {
    std::vector<std::string> ran;
    std::vector<int> wizard_results;  // then 1
    std::function<void(app::Sheet&, pages::Context&)> on_main;
    pages::Context* ctx = nullptr;
    bool debug_on_at_wizard = false;
    int run(app::Sheet& sheet) override {
        sheet.open();
        if (sheet.kind() == app::SheetKind::Wizard) {
            ran.push_back("wizard");
            EXPECT_TRUE(ctx->wizard_mode);
            debug_on_at_wizard = ini::read_string(ctx->ini.rirer, "RIRER", "Debug") == "Yes" &&
                                 ini::read_string(ctx->data_file("MMSC.INI"), "MMSC", "Debug") == "Yes" &&
                                 ini::read_string(ctx->data_file("MMSWAP.INI"), "MMSWAP", "Debug") == "Yes";
            size_t n = ran.size();
            int r = n <= wizard_results.size() ? wizard_results[n - 1] : 1;
            return r;
        }
        ran.push_back("main");
        EXPECT_FALSE(ctx->wizard_mode);
        EXPECT_FALSE(ctx->unsaved_changes);
        if (on_main) on_main(sheet, *ctx);
        return 1;
    }
};

}  // namespace

TEST_F(ConsoleTest, FirstRunCreatesBothFilesAndFindsNoManual) {
    ASSERT_FALSE(app::start_up(ctx, out, hooks).has_value());
    EXPECT_EQ(ctx.ini.rirer, data("RIRER.INI"));
    EXPECT_EQ(test::read_text(data("RIRER.INI")), "");
    EXPECT_EQ(test::read_text(data("MMSC.INI")), "");
    EXPECT_FALSE(ctx.help_available);
    EXPECT_EQ(ctx.manual_path, d.path() + "program/OvrinSMS Lite.pdf");

    // Existing files keep their content; a manual spelled otherwise counts.
    write_text(data("RIRER.INI"), "[RIRER]\nModem1=COM3:\n");
    write_text(d.path() + "program/ovrinsms lite.PDF", "%PDF");
    pages::Context again;
    app::start_up(again, out, hooks);
    EXPECT_EQ(test::read_text(data("RIRER.INI")), "[RIRER]\nModem1=COM3:\n");
    EXPECT_TRUE(again.help_available);
}

TEST_F(ConsoleTest, TheInstalledHtmlManualIsPreferred) {
    write_text(d.path() + "program/OvrinSMS Lite.pdf", "%PDF");
    platform::fs::create_directories(d.path() + "program/manual/");
    write_text(d.path() + "program/manual/index.html", "<html>");
    ASSERT_FALSE(app::start_up(ctx, out, hooks).has_value());
    EXPECT_TRUE(ctx.help_available);
    EXPECT_EQ(ctx.manual_path, d.path() + "program/manual/index.html");
}

TEST_F(ConsoleTest, NetworkFailureEndsWithMinusOneBeforeAnythingIsWritten) {
    hooks.start_network = [] { return false; };
    EXPECT_EQ(app::start_up(ctx, out, hooks), std::optional<int>(-1));
    EXPECT_EQ(out.str(), "Error initializing Winsock\n");
    EXPECT_FALSE(fs::exists(data("RIRER.INI")));
}

TEST_F(ConsoleTest, MigrationRunsAtStartOnlyOnce) {
    fs::create_directories(d.path() + "data");
    write_text(data("RIRER.INI"), "[RIRER]\nReceiveSMSCommand1=HELP\treplytext:hi\tNo\n");
    app::start_up(ctx, out, hooks);
    EXPECT_EQ(ini::read_string(data("RIRER.INI"), "2Way-Keywords", "Keyword1"), "HELP");
    EXPECT_EQ(ini::read_string(data("RIRER.INI"), "2Way-Keywords", "NewFormat"), "Yes");
    ini::remove_key(data("RIRER.INI"), "2Way-Keywords", "Keyword1");
    app::start_up(ctx, out, hooks);
    EXPECT_EQ(ini::read_string(data("RIRER.INI"), "2Way-Keywords", "Keyword1"), "");
}

TEST_F(ConsoleTest, StrayCopiesUnderTheProfileAreRemoved) {
    std::string profile = d.path() + "home";
    setenv("USERPROFILE", profile.c_str(), 1);
    std::string store = profile + "/appdata/Local/VirtualStore/";
    fs::create_directories(store + "ProgramData/OvrinSMS/sub");
    write_text(store + "ProgramData/OvrinSMS/sub/RIRER.INI", "x");
    fs::create_directories(store + "Program Files (x86)/ovrinsms");
    fs::create_directories(store + "Program Files/Other");
    app::start_up(ctx, out, hooks);
    EXPECT_FALSE(fs::exists(store + "ProgramData/OvrinSMS"));
    EXPECT_FALSE(fs::exists(store + "Program Files (x86)/ovrinsms"));
    EXPECT_TRUE(fs::exists(store + "Program Files/Other"));
}

TEST_F(ConsoleTest, SwitchActionsAndTheirMessages) {
    app::start_up(ctx, out, hooks);
    EXPECT_EQ(app::run_switches(ctx, {"/i"}, services), std::optional<int>(0));
    services.result = false;
    EXPECT_EQ(app::run_switches(ctx, {"-REMOVESERVICE"}, services), std::optional<int>(0));
    EXPECT_EQ(services.calls, (std::vector<std::string>{"install command-line", "stop command-line",
                                                        "remove command-line"}));
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{"Service successfully installed!", "Service removal failed!"}));
    EXPECT_EQ(ui.boxes[0].icon, Icon::Information);
    EXPECT_EQ(ui.boxes[1].icon, Icon::Error);

    EXPECT_EQ(app::run_switches(ctx, {"/Q", "/installservice"}, services), std::optional<int>(0));
    EXPECT_EQ(ui.boxes.size(), 2u);  // quiet
    EXPECT_FALSE(app::run_switches(ctx, {"-WIZARD", "/tmp/-r"}, services).has_value());
}

TEST_F(ConsoleTest, DeleteDataDirAsksAndDeletesOnlyADistinctDirectory) {
    app::start_up(ctx, out, hooks);
    ui.script({Answer::No, Answer::Yes});
    app::run_switches(ctx, {"-DELETEDATADIR"}, services);
    EXPECT_TRUE(fs::exists(d.path() + "private/STATS"));
    app::run_switches(ctx, {"-DELETEDATADIR"}, services);
    EXPECT_FALSE(fs::exists(d.path() + "private"));
    EXPECT_EQ(ui.texts(), (std::vector<std::string>(2, "Delete Configuration files for OvrinSMS?")));

    // The private directory is the program directory (letter case aside):
    // nothing asked, nothing deleted.
    setenv("OVRINSMS_PRIVATE_DIR", (d.path() + "PROGRAM").c_str(), 1);
    write_text(d.path() + "program/x", "");
    app::run_switches(ctx, {"/deletedatadir"}, services);
    EXPECT_EQ(ui.boxes.size(), 2u);
    EXPECT_TRUE(fs::exists(d.path() + "program/x"));
}

TEST_F(ConsoleTest, ModemTestWithoutRightsWritesTheResult) {
    app::start_up(ctx, out, hooks);
    app::run_switches(ctx, {"/MODEMTEST"}, services);
    EXPECT_EQ(ini::read_string(data("MODEMTEST.INI"), "ModemTest", "Result"),
              "Administrative rights are required for this test.");
    EXPECT_EQ(ui.boxes.at(0).icon, Icon::Error);
    services.admin = true;
    app::run_switches(ctx, {"-modemtest"}, services);
    EXPECT_EQ(services.calls.back(), "modemtest");
}

TEST_F(ConsoleTest, FirstRunGoesThroughTheWizardWithDebugOn) {
    ScriptedSheets sheets;
    sheets.ctx = &ctx;
    services.running_any = true;
    EXPECT_EQ(app::run_console(ctx, {}, services, busy, sheets, out, hooks), 0);
    EXPECT_EQ(sheets.ran, (std::vector<std::string>{"wizard", "main"}));
    EXPECT_TRUE(sheets.debug_on_at_wizard);
    EXPECT_EQ(services.calls, (std::vector<std::string>{"stop elevated"}));
    EXPECT_TRUE(ui.boxes.empty());  // Modem1 still empty: no offer
}

TEST_F(ConsoleTest, CancelledWizardEndsTheProgram) {
    ScriptedSheets sheets;
    sheets.ctx = &ctx;
    sheets.wizard_results = {0};
    EXPECT_EQ(app::run_console(ctx, {}, services, busy, sheets, out, hooks), 0);
    EXPECT_EQ(sheets.ran, (std::vector<std::string>{"wizard"}));
}

TEST_F(ConsoleTest, RerunAndWizardSwitchLoopAndTheFinalOffer) {
    fs::create_directories(d.path() + "data");
    write_text(data("RIRER.INI"), "[RIRER]\nModem1=COM3:\n");
    ScriptedSheets sheets;
    sheets.ctx = &ctx;
    int mains = 0;
    sheets.on_main = [&](app::Sheet&, pages::Context& c) {
        if (++mains == 1) c.rerun_wizard = true;
    };
    ui.script({Answer::Yes});
    EXPECT_EQ(app::run_console(ctx, {}, services, busy, sheets, out, hooks), 0);
    EXPECT_EQ(sheets.ran, (std::vector<std::string>{"main", "wizard", "main"}));
    EXPECT_EQ(ui.texts(),
              (std::vector<std::string>{"Service is not active, do you wish to activate the service?"}));
    EXPECT_EQ(services.calls, (std::vector<std::string>{"install elevated"}));

    // -WIZARD forces the wizard in every pass; both services running: no offer.
    ScriptedSheets forced;
    forced.ctx = &ctx;
    mains = 0;
    forced.on_main = sheets.on_main;
    services.running_both = true;
    ui.boxes.clear();
    app::run_console(ctx, {"-wizard"}, services, busy, forced, out, hooks);
    EXPECT_EQ(forced.ran, (std::vector<std::string>{"wizard", "main", "wizard", "main"}));
    EXPECT_TRUE(ui.boxes.empty());
}
