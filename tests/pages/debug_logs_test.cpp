#include "pages/debug_logs.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "config/ini.h"
#include "pages/wizard_complete.h"
#include "support/scratch.h"

using namespace ovr;
namespace ini = config::ini;
using test::ScratchDir;
using test::write_text;

namespace {

// A sheet stand-in that records what pages ask of it.
struct FakeSite : pages::PageSite {
    int changed = 0;
    bool unsaved = false;
    std::vector<pages::WizardButtons> buttons;
    void mark_changed(pages::PageModel&) override { ++changed; }
    bool apply_all() override { return true; }
    bool query_unsaved() override { return unsaved; }
    void set_wizard_buttons(pages::WizardButtons b) override { buttons.push_back(b); }
    void press_button(pages::SheetButton) override {}
};

struct DebugPageTest : ::testing::Test {
    ScratchDir d;
    ScriptedUi ui;
    pages::Context ctx;
    FakeSite site;
    DebugPageTest() {
        ctx.dirs = {d.path(), d.path() + "private/", d.path()};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
    }
};

}  // namespace

TEST_F(DebugPageTest, LoadsYesValuesAndApplyWritesOrRemovesDebug) {
    write_text(d.file("RIRER.INI"), "[RIRER]\nDebug=1\nModem1=COM1:\n");
    write_text(d.file("MMSC.INI"), "[MMSC]\nDebug=TRUE\n");
    write_text(d.file("MMSWAP.INI"), "[MMSWAP]\nDebug=No\n");
    pages::DebugLogsPage page(ctx);
    page.created(site);
    EXPECT_TRUE(page.check(0).checked);
    EXPECT_TRUE(page.check(1).checked);
    EXPECT_FALSE(page.check(2).checked);

    page.click_check(0);
    page.click_check(2);
    EXPECT_EQ(site.changed, 2);
    EXPECT_TRUE(ctx.unsaved_changes);
    page.apply();
    EXPECT_FALSE(ini::read_value(d.file("RIRER.INI"), "RIRER", "Debug").has_value());
    EXPECT_EQ(ini::read_string(d.file("RIRER.INI"), "RIRER", "Modem1"), "COM1:");
    EXPECT_EQ(ini::read_string(d.file("MMSC.INI"), "MMSC", "Debug"), "Yes");
    EXPECT_EQ(ini::read_string(d.file("MMSWAP.INI"), "MMSWAP", "Debug"), "Yes");
}

TEST_F(DebugPageTest, ViewButtonsFollowTheLogFiles) {
    pages::DebugLogsPage page(ctx);
    page.created(site);
    EXPECT_FALSE(page.view_button(1).enabled);
    page.press_view(1);
    EXPECT_TRUE(ui.edited.empty());

    write_text(d.file("mmscdebug.log"), "x");  // the service's own spelling
    uint64_t rev = page.revision();
    EXPECT_EQ(page.refresh_interval_ms(), 5000u);
    page.tick();
    EXPECT_TRUE(page.view_button(1).enabled);
    EXPECT_FALSE(page.view_button(0).enabled);
    EXPECT_NE(page.revision(), rev);
    page.press_view(1);
    EXPECT_EQ(ui.edited, (std::vector<std::string>{d.file("mmscdebug.log")}));
    rev = page.revision();
    page.tick();
    EXPECT_EQ(page.revision(), rev);  // nothing changed: views need not redraw
}

TEST_F(DebugPageTest, ALogThatIsALinkIsNotOpened) {
    write_text(d.file("secret"), "root only");
    ASSERT_EQ(symlink(d.file("secret").c_str(), d.file("mmscdebug.log").c_str()), 0);
    pages::DebugLogsPage page(ctx);
    page.created(site);
    page.press_view(1);
    EXPECT_TRUE(ui.edited.empty());
}

TEST_F(DebugPageTest, CancelAsksOnlyWhileChangesArePending) {
    pages::DebugLogsPage page(ctx);
    page.created(site);
    EXPECT_TRUE(page.cancel_requested());
    EXPECT_TRUE(ui.boxes.empty());

    site.unsaved = true;  // another page reports changes
    ui.script({Answer::No, Answer::Cancel, Answer::Yes});
    EXPECT_FALSE(page.cancel_requested());
    EXPECT_FALSE(page.cancel_requested());
    EXPECT_TRUE(page.cancel_requested());
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0].text, "Exit without saving configuration changes?");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Question);
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(ui.boxes[0].caption, kProgramTitle);

    ctx.unsaved_changes = true;
    EXPECT_EQ(page.unsaved_query(), std::optional<bool>(true));
}

TEST_F(DebugPageTest, HelpOpensTheManualInItsDirectory) {
    ctx.manual_path = d.file("OvrinSMS Lite.pdf");
    pages::DebugLogsPage page(ctx);
    page.help();
    EXPECT_EQ(ui.opened, (std::vector<std::string>{d.file("OvrinSMS Lite.pdf")}));
}

TEST_F(DebugPageTest, ConfigurationCompleteButtonsFollowTheChoice) {
    pages::WizardCompletePage page(ctx);
    page.created(site);
    page.shown();
    EXPECT_FALSE(page.yes().selected || page.no().selected);
    page.choose_no();
    page.choose_yes();
    page.shown();
    using B = pages::WizardButtons;
    EXPECT_EQ(site.buttons, (std::vector<B>{B::Back, B::BackFinish, B::BackNext, B::BackNext}));
    EXPECT_TRUE(page.yes().selected);
    EXPECT_FALSE(page.no().selected);
}
