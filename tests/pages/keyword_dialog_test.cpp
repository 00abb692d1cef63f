// The keyword dialog: loading, coupling, Browse, the OK checks in order with
// their focus, and what OK leaves in RIRER.INI.
#include "pages/keyword_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/ini.h"
#include "keywords/table.h"
#include "platform/fs.h"
#include "support/scratch.h"

namespace pages = ovr::pages;
namespace ini = ovr::config::ini;
namespace kw = ovr::keywords;
using D = pages::KeywordDialog;
using ovr::test::read_text;
using ovr::test::ScratchDir;
using ovr::test::write_text;

class KeywordDialogTest : public ::testing::Test {
protected:
    KeywordDialogTest() {
        ctx.dirs = {dir.path(), dir.path() + "private/", dir.path()};
        ctx.ini = ovr::config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
    }
    std::string last_box() const { return ui.boxes.empty() ? "" : ui.boxes.back().text; }
    ScratchDir dir;
    ovr::ScriptedUi ui;
    pages::Context ctx;
};

TEST_F(KeywordDialogTest, LoadsAnEntryWithoutCouplingAndCarriesTheHiddenNumbers) {
    write_text(ctx.ini.rirer,
               "[2Way-Keywords]\nKeyword1=INFO##12345\n[2Way-Keyword-INFO##12345]\nReplyText=line1\\r\\nline2\n"
               "RunSendResponse=yes\nDListAdd=club\n");
    D d(ctx, "INFO##12345");
    EXPECT_EQ(d.text(D::Text::Keyword), "INFO");
    EXPECT_EQ(d.text(D::Text::Numbers), "12345");
    EXPECT_FALSE(d.field(D::Text::Numbers).visible);
    EXPECT_EQ(d.text(D::Text::ReplyText), "line1\r\nline2");
    EXPECT_TRUE(d.checked(D::Check::SendReply));
    EXPECT_TRUE(d.checked(D::Check::AddList));
    EXPECT_TRUE(d.checked(D::Check::RunResponse));  // loaded although Run is off
    EXPECT_FALSE(d.checked(D::Check::RunCommand));

    const std::string before = read_text(ctx.ini.rirer);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.entry(), "INFO##12345");
    EXPECT_EQ(read_text(ctx.ini.rirer), before.substr(0, before.find("yes")) + "Yes\nDListAdd=club\n");

    D empty(ctx, "");
    for (auto t : {D::Text::Keyword, D::Text::ReplyText, D::Text::Run, D::Text::MailTo}) EXPECT_EQ(empty.text(t), "");
    for (auto c : {D::Check::SendReply, D::Check::RunCommand, D::Check::RunResponse}) EXPECT_FALSE(empty.checked(c));
}

TEST_F(KeywordDialogTest, TypingChecksAndClearsTheActionAndCutsAtACharacter) {
    D d(ctx, "");
    const std::pair<D::Text, D::Check> coupled[] = {{D::Text::ReplyText, D::Check::SendReply},
                                                    {D::Text::Run, D::Check::RunCommand},
                                                    {D::Text::MailTo, D::Check::Forward},
                                                    {D::Text::DListAdd, D::Check::AddList},
                                                    {D::Text::DListRemove, D::Check::RemoveList}};
    for (auto [t, c] : coupled) {
        d.set_text(t, "x");
        EXPECT_TRUE(d.checked(c));
        d.set_text(t, "");
        EXPECT_FALSE(d.checked(c));
    }
    // 1022 ASCII bytes and a two-byte character: the character does not fit.
    d.set_text(D::Text::Keyword, std::string(1022, 'k') + "\xc3\xa9" + "tail");
    EXPECT_EQ(d.text(D::Text::Keyword), std::string(1022, 'k'));
    d.set_text(D::Text::Keyword, std::string(1021, 'k') + "\xc3\xa9");
    EXPECT_EQ(d.text(D::Text::Keyword).size(), 1023u);
}

TEST_F(KeywordDialogTest, BrowseStartsInFilesAndStoresFilesInsideByName) {
    std::string files = ctx.dirs.program_data + "FILES";
    D d(ctx, "");
    d.browse();  // cancelled: nothing changes, but FILES now exists
    EXPECT_TRUE(ovr::platform::fs::is_directory(files));
    ASSERT_EQ(ui.chooser_dirs, std::vector<std::string>{files});
    ASSERT_EQ(ui.chooser_filters.at(0).size(), 2u);
    EXPECT_EQ(ui.chooser_filters[0][0].label, "Images");
    EXPECT_EQ(ui.chooser_filters[0][0].patterns, "*.jpg;*.jpeg;*.png;*.gif");
    EXPECT_EQ(ui.chooser_filters[0][1].patterns, "*");
    EXPECT_FALSE(d.checked(D::Check::IncludeImage));

    write_text(files + "/logo.png", "png");
    ui.script_file_choice(files + "/logo.png");
    d.browse();
    EXPECT_EQ(d.text(D::Text::ReplyFile), "logo.png");
    EXPECT_TRUE(d.checked(D::Check::IncludeImage));
    write_text(dir.file("outside.gif"), "gif");
    ui.script_file_choice(dir.file("outside.gif"));
    d.browse();
    EXPECT_EQ(d.text(D::Text::ReplyFile), dir.file("outside.gif"));
}

TEST_F(KeywordDialogTest, OkRefusesInOrderWithFocusAndWritesNothing) {
    write_text(dir.file("FILES"), "");  // a file where the directory should be: no reply file is found
    struct Case {
        std::function<void(D&)> edit;
        std::string message;
        D::Focus focus;
    };
    const std::vector<Case> cases = {
        {[](D& d) { d.set_text(D::Text::Keyword, "   "); }, "Keyword is required!", D::Focus::Keyword},
        {[](D& d) { d.set_text(D::Text::Keyword, "A\tB"); }, "Keyword cannot contain a tab, a line break or \"]\"",
         D::Focus::Keyword},
        {[](D& d) { d.set_text(D::Text::Keyword, "A]"); }, "Keyword cannot contain a tab, a line break or \"]\"",
         D::Focus::Keyword},
        {[](D& d) {
             d.set_text(D::Text::Keyword, std::string(1000, 'k'));
             d.set_text(D::Text::Numbers, std::string(30, '1'));
         },
         "Keyword and Receive Phone Number(s) cannot exceed 1023 characters", D::Focus::Keyword},
        {[](D& d) { d.set_checked(D::Check::SendReply, true); }, "Reply text cannot be blank", D::Focus::ReplyText},
        {[](D& d) { d.set_text(D::Text::ReplyText, std::string(600, '\n')); },
         "Reply text cannot exceed 1023 characters, each line break counting two", D::Focus::ReplyText},
        {[](D& d) { d.set_checked(D::Check::IncludeImage, true); }, "Reply file must be selected", D::Focus::Browse},
        {[](D& d) { d.set_reply_file("nowhere.png"); }, "Reply file does not exist", D::Focus::Browse},
        {[](D& d) { d.set_checked(D::Check::RunCommand, true); }, "Run command cannot be blank", D::Focus::Run},
        {[](D& d) { d.set_text(D::Text::Run, "nosuchprogram --x"); },
         "Cannot locate program file:  nosuchprogram.EXE\r\n\r\nPlease specify an http://url, or a valid "
         "executable file name.",
         D::Focus::Run},
        {[](D& d) { d.set_checked(D::Check::Forward, true); }, "E-Mail Address cannot be blank", D::Focus::MailTo},
        {[](D& d) { d.set_checked(D::Check::AddList, true); }, "Distribution list name cannot be blank",
         D::Focus::DListAdd},
        {[](D& d) { d.set_checked(D::Check::RemoveList, true); }, "Distribution list name cannot be blank",
         D::Focus::DListRemove},
        {[](D& d) { d.set_checked(D::Check::RunResponse, true); }, "At least one type of action is required",
         D::Focus::Keyword},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        D d(ctx, "");
        d.set_text(D::Text::Keyword, "INFO");
        cases[i].edit(d);
        EXPECT_FALSE(d.ok()) << i;
        EXPECT_EQ(last_box(), cases[i].message) << i;
        EXPECT_EQ(ui.boxes.back().icon, ovr::Icon::Error);
        EXPECT_EQ(d.focus(), cases[i].focus) << i;
    }
    // All broken at once, from the last case backwards: the first check speaks
    // each time, and fixing it lets the next one speak.
    D d(ctx, "");
    for (size_t i = cases.size(); i-- > 0;) cases[i].edit(d);
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(last_box(), "Keyword is required!");
    d.set_text(D::Text::Keyword, "INFO");
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(last_box(), "Reply text cannot exceed 1023 characters, each line break counting two");
    d.set_text(D::Text::ReplyText, "ok");
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(last_box(), "Reply file does not exist");
    EXPECT_FALSE(ovr::platform::fs::exists(ctx.ini.rirer));
}

TEST_F(KeywordDialogTest, OkSavesTrimmedEntryRefusesDuplicatesAndRenames) {
    {
        D d(ctx, "");
        d.set_text(D::Text::Keyword, "  INFO ");
        d.set_text(D::Text::ReplyText, "hello");
        d.set_text(D::Text::MailTo, "a@b");
        d.set_checked(D::Check::Forward, false);
        ASSERT_TRUE(d.ok());
        EXPECT_EQ(d.entry(), "INFO");
    }
    EXPECT_EQ(kw::enumerate(ctx.ini.rirer), std::vector<std::string>{"INFO"});
    EXPECT_FALSE(ini::read_value(ctx.ini.rirer, "2Way-Keyword-INFO", "MailTo"));
    {
        D d(ctx, "");
        d.set_text(D::Text::Keyword, "info");
        d.set_text(D::Text::DListAdd, "x");
        EXPECT_FALSE(d.ok());
        EXPECT_EQ(last_box(), "Keyword already exists");
    }
    {
        D d(ctx, "INFO");
        d.set_text(D::Text::Keyword, "NEWS");
        ASSERT_TRUE(d.ok());
        EXPECT_EQ(d.entry(), "NEWS");
    }
    EXPECT_EQ(kw::enumerate(ctx.ini.rirer), std::vector<std::string>{"NEWS"});
    EXPECT_EQ(ini::read_section_names(ctx.ini.rirer),
              (std::vector<std::string>{"2Way-Keywords", "2Way-Keyword-NEWS"}));
}
