// The INI batch write: several edits, one lock, one replace; all or nothing.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "config/ini.h"
#include "support/scratch.h"

using namespace ovr::config;
using ovr::test::read_text;
using ovr::test::write_text;

namespace {

TEST(IniBatch, EditsLandTogetherOrNotAtAll) {
    ovr::test::ScratchDir d;
    const std::string f = d.file("MMSC.INI");
    write_text(f, "; kept\r\n[MMSC]\r\nSMSMailbox=old@x\r\n[Mailbox-old@x]\r\nUsername=u\r\n");
    ASSERT_TRUE(ini::write_batch(f, {{"Mailbox-old@x", std::nullopt, std::nullopt},
                                     {"MMSC", "SMSMailbox", "new@x"},
                                     {"Mailbox-new@x", "Username", "v"},
                                     {"Mailbox-new@x", "Password", std::nullopt}}));
    EXPECT_EQ(read_text(f), "; kept\r\n[MMSC]\r\nSMSMailbox=new@x\r\n[Mailbox-new@x]\r\nUsername=v\r\n");
    // One refused edit (a line break in a value, "]" in a section) refuses the batch.
    const std::string before = read_text(f);
    EXPECT_FALSE(ini::write_batch(f, {{"MMSC", "SMSMailbox", "x@y"}, {"MMSC", "Bad", "a\nb"}}));
    EXPECT_FALSE(ini::write_batch(f, {{"MMSC", "SMSMailbox", "x@y"}, {"Mailbox-a]b", "Username", "u"}}));
    EXPECT_EQ(read_text(f), before);
}

TEST(IniBatch, OwnerOnlyTakesAccessAwayAndNeverWidens) {
    ovr::test::ScratchDir d;
    auto mode = [](const std::string& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 0777;
    };
    const std::string shared = d.file("shared.ini"), narrow = d.file("narrow.ini"), fresh = d.file("fresh.ini");
    write_text(shared, "");
    ::chmod(shared.c_str(), 0664);
    write_text(narrow, "");
    ::chmod(narrow.c_str(), 0600);
    for (const std::string& p : {shared, narrow, fresh})
        ASSERT_TRUE(ini::write_batch(p, {{"S", "Password", "secret"}}, true)) << p;
    EXPECT_EQ(mode(shared), 0600u);
    EXPECT_EQ(mode(narrow), 0600u);
    EXPECT_EQ(mode(fresh), 0600u) << "a new file starts private";
    ASSERT_TRUE(ini::write_batch(shared, {{"S", "Other", "x"}}));
    EXPECT_EQ(mode(shared), 0600u) << "a later write keeps it private";
}

}  // namespace
