// Files that hold a password: access for group and others taken away,
// never widened, kept by later writes.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "config/ini.h"
#include "support/scratch.h"

using namespace ovr::config;
using ovr::test::write_text;

namespace {

TEST(IniOwner, AccessIsTakenAwayAndNeverWidened) {
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
    ::chmod(narrow.c_str(), 0400);
    for (const std::string& p : {shared, narrow, fresh}) ASSERT_TRUE(ini::restrict_to_owner(p)) << p;
    EXPECT_EQ(mode(shared), 0600u);
    EXPECT_EQ(mode(narrow), 0400u) << "never widened";
    EXPECT_EQ(mode(fresh), 0600u) << "a new file starts private";
    ASSERT_TRUE(ini::write_profiles(shared, {{"S", "Password", "secret"}, {"S", "Other", "x"}}));
    EXPECT_EQ(mode(shared), 0600u) << "the replace keeps it private";
    EXPECT_FALSE(ini::restrict_to_owner(d.file("no/such/dir.ini")));
}

}  // namespace
