#include "app/sheet.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "config/ini.h"
#include "pages/debug_logs.h"
#include "pages/select_modem.h"
#include "pages/wizard_complete.h"
#include "support/scratch.h"

using namespace ovr;
using pages::WizardButtons;

namespace {

// A page that answers the unsaved query and can refuse to be left.
struct ProbePage : pages::PageModel {
    std::optional<bool> answer;
    bool leave = true;
    bool writes = true;
    int applied = 0;
    explicit ProbePage(pages::Context& c) : PageModel(c) {}
    std::string title() const override { return "Probe"; }
    std::string template_name() const override { return "DIALOG_PROBE"; }
    std::optional<bool> unsaved_query() override { return answer; }
    bool applicable = true;
    bool left() override { return leave; }
    bool refuse = false;
    void apply() override { ++applied; }
    bool can_apply() override { return applicable; }
    bool apply_succeeded() const override { return writes; }
    void edit() { edited(); }
    int activated = 0;
    void window_activated() override { ++activated; }
};

struct SheetTest : ::testing::Test {
    test::ScratchDir d;
    ScriptedUi ui;
    pages::Context ctx;
    SheetTest() {
        ctx.dirs = {d.path(), d.path(), d.path()};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
    }
};

}  // namespace

TEST_F(SheetTest, MainSheetTabsAndWizardStepsInOrder) {
    auto main = app::make_main_pages(ctx);
    std::vector<std::string> titles;
    for (auto& p : main) titles.push_back(p->title());
    EXPECT_EQ(titles, (std::vector<std::string>{"Status", "Modem", "Server", "Users", "2-Way", "E-Mail",
                                                "Test Message", "Debug Logs"}));
    auto wiz = app::make_wizard_pages(ctx);
    ASSERT_EQ(wiz.size(), 5u);
    EXPECT_EQ(wiz[0]->title(), "OvrinSMS Lite Setup Wizard:  Select Modem");
    EXPECT_EQ(wiz[3]->template_name(), "DIALOG_WIZCOMPLETE");
}

TEST_F(SheetTest, ApplyFollowsEditsAndUnsavedQueryGoesInTabOrder) {
    std::vector<std::unique_ptr<pages::PageModel>> v;
    auto* a = new ProbePage(ctx);
    auto* b = new ProbePage(ctx);
    auto* c = new ProbePage(ctx);
    v.emplace_back(a);
    v.emplace_back(b);
    v.emplace_back(c);
    app::Sheet sheet(app::SheetKind::Main, ctx, std::move(v));
    sheet.open();
    EXPECT_FALSE(sheet.apply_enabled());
    b->answer = true;
    c->answer = false;
    EXPECT_FALSE(sheet.query_unsaved());  // b not created yet
    sheet.select(2);
    sheet.select(1);
    EXPECT_TRUE(sheet.query_unsaved());  // b answers before c
    b->edit();
    EXPECT_TRUE(sheet.apply_enabled());
    EXPECT_TRUE(ctx.unsaved_changes);
    b->leave = false;
    EXPECT_FALSE(sheet.select(0));
    EXPECT_EQ(sheet.current(), 1u);
    sheet.apply();  // refused by the page: nothing applied
    EXPECT_EQ(a->applied + b->applied + c->applied, 0);
    b->leave = true;
    sheet.apply();
    EXPECT_EQ(a->applied + b->applied + c->applied, 3);
    EXPECT_FALSE(sheet.apply_enabled());
    EXPECT_FALSE(ctx.unsaved_changes);
    sheet.ok();
    EXPECT_TRUE(sheet.closed());
    EXPECT_EQ(sheet.result(), 1);
}

TEST_F(SheetTest, APageThatCannotBeStoredStopsApplyAndOkAndIsShown) {
    std::vector<std::unique_ptr<pages::PageModel>> v;
    auto* a = new ProbePage(ctx);
    auto* b = new ProbePage(ctx);
    v.emplace_back(a);
    v.emplace_back(b);
    app::Sheet sheet(app::SheetKind::Main, ctx, std::move(v));
    sheet.open();
    sheet.select(1);
    sheet.select(0);
    b->edit();
    b->applicable = false;
    sheet.ok();
    EXPECT_FALSE(sheet.closed());
    EXPECT_EQ(sheet.current(), 1u);  // the refusing page is brought up
    EXPECT_EQ(a->applied + b->applied, 0);
    EXPECT_TRUE(ctx.unsaved_changes);
    EXPECT_TRUE(sheet.apply_enabled());
    b->applicable = true;
    sheet.ok();
    EXPECT_TRUE(sheet.closed());
    EXPECT_EQ(a->applied + b->applied, 2);
}

TEST_F(SheetTest, APageThatCouldNotWriteKeepsTheSheetOpenAndTheChangesPending) {
    std::vector<std::unique_ptr<pages::PageModel>> v;
    auto* a = new ProbePage(ctx);
    v.emplace_back(a);
    app::Sheet sheet(app::SheetKind::Main, ctx, std::move(v));
    sheet.open();
    a->edit();
    a->writes = false;
    sheet.ok();
    EXPECT_FALSE(sheet.closed());
    EXPECT_TRUE(sheet.apply_enabled());
    EXPECT_TRUE(ctx.unsaved_changes);
    a->writes = true;
    sheet.ok();
    EXPECT_TRUE(sheet.closed());
    EXPECT_FALSE(ctx.unsaved_changes);
}

TEST_F(SheetTest, WizardButtonsGuideTheWayToFinish) {
    // A modem without MMS: its settings page lets Next through (and removes
    // the route account of the scratch data directory).
    setenv("OVRINSMS_DATA_DIR", d.path().c_str(), 1);
    test::write_text(ctx.ini.rirer, "[RIRER]\nModem1=COM7:\n[Modem - COM7:]\nReceiveMMS=No\nMMSURL=http://mms/\n");
    auto wizard = app::make_wizard_pages(ctx);
    ASSERT_NE(dynamic_cast<pages::SelectModemPage*>(wizard[0].get()), nullptr);
    // Proving a modem is the Select Modem page's own business (its tests);
    // here a stand-in lets Next through.
    wizard[0] = std::make_unique<pages::EmptyPage>(ctx, wizard[0]->title(), wizard[0]->template_name(),
                                                   WizardButtons::Next);
    app::Sheet sheet(app::SheetKind::Wizard, ctx, std::move(wizard));
    sheet.open();
    EXPECT_EQ(sheet.wizard_buttons(), WizardButtons::Next);
    sheet.back();
    EXPECT_EQ(sheet.current(), 0u);
    sheet.next();
    sheet.next();
    sheet.next();
    ASSERT_EQ(sheet.current(), 3u);
    EXPECT_EQ(sheet.wizard_buttons(), WizardButtons::Back);
    sheet.next();
    sheet.finish();
    EXPECT_EQ(sheet.current(), 3u);  // no choice: only Back
    EXPECT_FALSE(sheet.closed());
    auto& done = dynamic_cast<pages::WizardCompletePage&>(sheet.page(3));
    done.choose_yes();
    sheet.next();
    EXPECT_EQ(sheet.current(), 4u);
    sheet.back();
    done.choose_no();
    sheet.finish();
    EXPECT_TRUE(sheet.closed());
    EXPECT_EQ(sheet.result(), 1);
}

TEST_F(SheetTest, CancelOnTheDebugPageAsksAndOnlyYesCloses) {
    app::Sheet sheet(app::SheetKind::Main, ctx, app::make_main_pages(ctx));
    sheet.open();
    sheet.select(7);
    auto& page = dynamic_cast<pages::DebugLogsPage&>(sheet.page(7));
    page.click_check(0);
    ui.script({Answer::No});
    sheet.cancel();
    EXPECT_FALSE(sheet.closed());
    sheet.cancel();  // default answer Yes
    EXPECT_TRUE(sheet.closed());
    EXPECT_EQ(sheet.result(), 0);
    EXPECT_EQ(ui.boxes.size(), 2u);
    EXPECT_FALSE(config::ini::read_value(ctx.ini.rirer, "RIRER", "Debug").has_value());
}

TEST_F(SheetTest, WindowActivationTellsTheCurrentPageOnly) {
    std::vector<std::unique_ptr<pages::PageModel>> v;
    v.push_back(std::make_unique<ProbePage>(ctx));
    v.push_back(std::make_unique<ProbePage>(ctx));
    auto* first = static_cast<ProbePage*>(v[0].get());
    auto* second = static_cast<ProbePage*>(v[1].get());
    app::Sheet sheet(app::SheetKind::Main, ctx, std::move(v));
    sheet.open();
    sheet.window_activated();
    sheet.select(1);
    sheet.window_activated();
    sheet.window_activated();
    EXPECT_EQ(first->activated, 1);
    EXPECT_EQ(second->activated, 2);
    sheet.cancel();
    sheet.window_activated();
    EXPECT_EQ(second->activated, 2);
}
