// Help opens the manual: the page's own chapter of the HTML manual where
// it is there, the contents otherwise, and the old single document as it is.
#include <gtest/gtest.h>

#include "pages/page.h"
#include "platform/fs.h"
#include "support/scratch.h"

using namespace ovr;

namespace {

TEST(ManualHelp, EachPageOpensItsChapterInTheManualsDirectory) {
    test::ScratchDir d;
    std::string manual = d.path() + "manual/";
    platform::fs::create_directories(manual);
    test::write_text(manual + "index.html", "contents");
    test::write_text(manual + "status.html", "status");
    ScriptedUi ui;
    pages::Context ctx;
    ctx.ui = &ui;
    ctx.manual_path = manual + "index.html";

    pages::open_manual(ctx, pages::manual_chapter("DIALOG_STATUS", false));
    pages::open_manual(ctx, pages::manual_chapter("DIALOG_SERVER", false));  // no such file yet
    pages::open_manual(ctx, pages::manual_chapter("DIALOG_UNKNOWN", false));
    EXPECT_EQ(ui.opened, (std::vector<std::string>{manual + "status.html", manual + "index.html",
                                                   manual + "index.html"}));

    // The wizard's pages all open the wizard's chapter.
    EXPECT_EQ(pages::manual_chapter("DIALOG_SERVER", true), "wizard.html");
    EXPECT_EQ(pages::manual_chapter("DIALOG_TESTMSG", false), "test-message.html");
    EXPECT_EQ(pages::manual_chapter("DIALOG_RECV", false), "two-way.html");

    // A single document is opened as it is, whatever the chapter.
    ctx.manual_path = d.path() + "OvrinSMS Lite.pdf";
    test::write_text(d.path() + "status.html", "not a chapter");
    pages::open_manual(ctx, "status.html");
    EXPECT_EQ(ui.opened.back(), d.path() + "OvrinSMS Lite.pdf");
}

}  // namespace
