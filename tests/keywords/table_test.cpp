#include "keywords/table.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "config/ini.h"
#include "support/scratch.h"

namespace kw = ovr::keywords;
namespace ini = ovr::config::ini;
using ovr::test::read_text;
using ovr::test::ScratchDir;
using ovr::test::write_text;

namespace {
std::string get(const std::string& path, const std::string& section, const std::string& key) {
    return ini::read_string(path, section, key, "<absent>");
}
}  // namespace

TEST(KeywordTable, AddRenameRemoveKeepTheTableDense) {
    ScratchDir d;
    std::string f = d.file("RIRER.INI");
    EXPECT_TRUE(kw::add(f, "INFO"));
    EXPECT_TRUE(kw::add(f, "HELP##12345"));
    EXPECT_TRUE(kw::add(f, "STOP"));
    EXPECT_TRUE(kw::add(f, "INFO"));  // no duplicate test
    EXPECT_EQ(kw::enumerate(f), (std::vector<std::string>{"INFO", "HELP##12345", "STOP", "INFO"}));

    EXPECT_TRUE(kw::remove(f, "help##12345"));
    EXPECT_EQ(kw::enumerate(f), (std::vector<std::string>{"INFO", "STOP", "INFO"}));
    EXPECT_EQ(get(f, "2Way-Keywords", "Keyword4"), "<absent>");

    EXPECT_TRUE(kw::rename(f, "info", "NEWS"));  // first match only, ignoring case
    EXPECT_EQ(kw::enumerate(f), (std::vector<std::string>{"NEWS", "STOP", "INFO"}));
}

TEST(KeywordTable, MissingEntriesAndGapsChangeNothing) {
    ScratchDir d;
    std::string f = d.file("RIRER.INI");
    write_text(f, "[2Way-Keywords]\nKeyword1=A\nKeyword2=B\nKeyword4=D\n");
    const std::string before = read_text(f);
    EXPECT_FALSE(kw::remove(f, "C"));
    EXPECT_FALSE(kw::rename(f, "D", "E"));  // after the gap: not in the table
    EXPECT_EQ(read_text(f), before);
    EXPECT_EQ(kw::enumerate(f), (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(kw::add(f, ""));
    EXPECT_TRUE(kw::add(f, "C"));
    EXPECT_EQ(get(f, "2Way-Keywords", "Keyword3"), "C");
}

TEST(KeywordTable, RowTextListsActionsInOrderAndIsCut) {
    ScratchDir d;
    std::string f = d.file("RIRER.INI");
    write_text(f,
               "[2Way-Keyword-INFO]\nRun=http://x/?s=@@SENDER@@\nReplyText=Hi\\r\\nthere\nDListAdd=news\n"
               "MailTo=\nRunSendResponse=Yes\n");
    EXPECT_EQ(kw::row_text(f, "INFO"),
              "INFO\tDListAdd=news\tReplyText=Hi\\r\\nthere\tRun=http://x/?s=@@SENDER@@\tRunSendResponse=Yes");
    write_text(f, "[2Way-Keyword-BIG]\nReplyText=" + std::string(1000, 'r') + "\nRun=" + std::string(100, 'u') + "\n");
    std::string row = kw::row_text(f, "BIG");
    EXPECT_EQ(row.size(), 1023u);
    EXPECT_EQ(row.substr(0, 14), "BIG\tReplyText=");
}

TEST(KeywordTable, LineBreakEscapingRoundTrips) {
    EXPECT_EQ(kw::escape_line_breaks("a\r\nb\\c"), "a\\r\\nb\\c");
    EXPECT_EQ(kw::unescape_line_breaks("a\\r\\nb\\c"), "a\r\nb\\c");
    EXPECT_EQ(kw::unescape_line_breaks(kw::escape_line_breaks("x\ny\rz")), "x\ny\rz");
}

TEST(KeywordMigration, NothingToConvertWritesNothing) {
    ScratchDir d;
    std::string f = d.file("RIRER.INI");
    write_text(f, "[RIRER]\nModem1=COM1:\n");
    kw::migrate(f);
    EXPECT_EQ(read_text(f), "[RIRER]\nModem1=COM1:\n");

    for (const char* yes : {"yes", "1", "true"}) {
        std::string text = std::string("[RIRER]\nReceiveSMSCommand1=A\treplytext:x\n[2Way-Keywords]\nNewFormat=") + yes +
                           "\n";
        write_text(f, text);
        kw::migrate(f);
        EXPECT_EQ(read_text(f), text) << yes;
    }
}

TEST(KeywordMigration, ConvertsEachKindOfOldLine) {
    ScratchDir d;
    std::string f = d.file("RIRER.INI");
    write_text(f,
               "[RIRER]\n"
               "ReceiveSMSCommand1=HELP\treplytext:Send STOP to end\tNo\n"
               "ReceiveSMSCommand2=FWD\tMailTo:ops@example.com\tNo\n"
               "ReceiveSMSCommand3=RUN\tc:\\bin\\x.exe @@SMS@@\tYes\n"
               "ReceiveSMSCommand4=INFO\thttp://h/\tTRUE\t12345\t678\n"
               "ReceiveSMSCommand5=JOIN\tDListAdd:club\n"
               "ReceiveSMSCommand6=BARE\n"
               "ReceiveSMSCommand8=LOST\treplytext:never\n");
    kw::migrate(f);
    EXPECT_EQ(kw::enumerate(f),
              (std::vector<std::string>{"HELP", "FWD", "RUN", "INFO##12345\t678", "JOIN", "BARE"}));
    EXPECT_EQ(get(f, "2Way-Keyword-HELP", "ReplyText"), "Send STOP to end");
    EXPECT_EQ(get(f, "2Way-Keyword-HELP", "RunSendResponse"), "<absent>");
    EXPECT_EQ(get(f, "2Way-Keyword-FWD", "MailTo"), "ops@example.com");
    EXPECT_EQ(get(f, "2Way-Keyword-RUN", "Run"), "c:\\bin\\x.exe @@SMS@@");
    EXPECT_EQ(get(f, "2Way-Keyword-RUN", "RunSendResponse"), "Yes");
    EXPECT_EQ(get(f, "2Way-Keyword-INFO##12345\t678", "Run"), "http://h/");
    EXPECT_EQ(get(f, "2Way-Keyword-INFO##12345\t678", "RunSendResponse"), "Yes");
    EXPECT_EQ(get(f, "2Way-Keyword-JOIN", "DListAdd"), "club");
    // A bare keyword gets its entry and no action.
    EXPECT_TRUE(ini::read_section(f, "2Way-Keyword-BARE").empty());
    EXPECT_EQ(get(f, "2Way-Keyword-LOST", "ReplyText"), "<absent>");
    EXPECT_EQ(get(f, "2Way-Keywords", "NewFormat"), "Yes");
    // The old lines stay; a second run converts nothing again.
    EXPECT_EQ(get(f, "RIRER", "ReceiveSMSCommand1"), "HELP\treplytext:Send STOP to end\tNo");
    ini::write_string(f, "2Way-Keywords", "Keyword1", "EDITED");
    kw::migrate(f);
    EXPECT_EQ(get(f, "2Way-Keywords", "Keyword1"), "EDITED");
}

// A keyword holding "]" names no section the file can hold: its entry is
// listed, its action left out, and the lines around it convert all the same.
TEST(KeywordMigration, AnActionTheFileWouldRefuseIsLeftOutNotTheTable) {
    ScratchDir d;
    std::string f = d.file("RIRER.INI");
    write_text(f,
               "[RIRER]\n"
               "ReceiveSMSCommand1=A]B\treplytext:x\tYes\n"
               "ReceiveSMSCommand2=NEXT\treplytext:y\n");
    EXPECT_TRUE(kw::migrate(f));
    EXPECT_EQ(read_text(f),
              "[RIRER]\n"
              "ReceiveSMSCommand1=A]B\treplytext:x\tYes\n"
              "ReceiveSMSCommand2=NEXT\treplytext:y\n"
              "[2Way-Keywords]\n"
              "Keyword1=A]B\n"
              "Keyword2=NEXT\n"
              "NewFormat=Yes\n"
              "[2Way-Keyword-NEXT]\n"
              "ReplyText=y\n");
}

// The conversion is one replacement of the file: when it cannot be written
// (its lock is a directory: root ignores modes) nothing of it lands, the
// start says so, and a later start converts it whole.
TEST(KeywordMigration, AFileThatCannotBeWrittenIsLeftWholeAndConvertedLater) {
    ScratchDir d;
    std::string f = d.file("RIRER.INI");
    std::string text = "[RIRER]\n";
    for (int n = 1; n <= 300; ++n)
        text += "ReceiveSMSCommand" + std::to_string(n) + "=K" + std::to_string(n) + "\treplytext:r\tYes\n";
    write_text(f, text);
    ASSERT_EQ(mkdir(d.file(".RIRER.INI.lock").c_str(), 0700), 0);
    EXPECT_FALSE(kw::migrate(f));
    EXPECT_EQ(read_text(f), text);

    ASSERT_EQ(rmdir(d.file(".RIRER.INI.lock").c_str()), 0);
    EXPECT_TRUE(kw::migrate(f));
    EXPECT_EQ(kw::enumerate(f).size(), 300u);
    EXPECT_EQ(get(f, "2Way-Keyword-K300", "ReplyText"), "r");
    EXPECT_EQ(get(f, "2Way-Keyword-K300", "RunSendResponse"), "Yes");
    EXPECT_EQ(get(f, "2Way-Keywords", "NewFormat"), "Yes");
    const std::string once = read_text(f);
    EXPECT_TRUE(kw::migrate(f));
    EXPECT_EQ(read_text(f), once);
}
