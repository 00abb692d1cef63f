#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "config/support.h"
#include "platform/fs.h"
#include "support/scratch.h"

using namespace ovr::config;
using ovr::test::ScratchDir;
using ovr::test::write_text;

namespace {

mode_t mode_of(const std::string& p) {
    struct stat st {};
    lstat(p.c_str(), &st);
    return st.st_mode & 07777;
}

gid_t group_of(const std::string& p) {
    struct stat st {};
    lstat(p.c_str(), &st);
    return st.st_gid;
}

// A group we may give files to: another one when we are root, else our own.
std::string usable_group(gid_t& gid) {
    if (geteuid() == 0) {
        for (const char* name : {"daemon", "users", "nogroup"}) {
            if (group* g = getgrnam(name)) {
                gid = g->gr_gid;
                return name;
            }
        }
    }
    group* g = getgrgid(getegid());
    if (!g) return {};
    gid = g->gr_gid;
    return g->gr_name;
}

}  // namespace

TEST(Trustees, GroupGetsTheOwnersAccessAndOthersNothingMore) {
    ScratchDir d;
    ScratchDir outside;
    std::string root = d.file("data");
    ASSERT_TRUE(ovr::platform::fs::create_directories(root + "/USERS/alice"));
    write_text(root + "/RIRER.INI", "");
    write_text(root + "/public.txt", "");
    write_text(root + "/USERS/alice/run.sh", "");
    write_text(outside.file("secret"), "");
    chmod(root.c_str(), 0700);
    chmod((root + "/USERS").c_str(), 0700);
    chmod((root + "/RIRER.INI").c_str(), 0600);
    chmod((root + "/public.txt").c_str(), 0604);
    chmod((root + "/USERS/alice/run.sh").c_str(), 0700);
    chmod(outside.file("secret").c_str(), 0600);
    ASSERT_EQ(symlink(outside.file("secret").c_str(), (root + "/link").c_str()), 0);

    gid_t gid = 0;
    std::string group = usable_group(gid);
    ASSERT_FALSE(group.empty());
    ASSERT_TRUE(grant_group_access(root, group));

    EXPECT_EQ(mode_of(root), 02770u);
    EXPECT_EQ(mode_of(root + "/USERS"), 02770u);
    EXPECT_EQ(mode_of(root + "/RIRER.INI"), 0660u);
    EXPECT_EQ(mode_of(root + "/public.txt"), 0664u);
    EXPECT_EQ(mode_of(root + "/USERS/alice/run.sh"), 0770u);
    EXPECT_EQ(group_of(root + "/USERS/alice/run.sh"), gid);
    // The link was not followed out of the tree.
    EXPECT_EQ(mode_of(outside.file("secret")), 0600u);
}

TEST(Trustees, WithoutTheGroupNothingChanges) {
    ScratchDir d;
    std::string root = d.file("data");
    ASSERT_TRUE(ovr::platform::fs::create_directory(root));
    chmod(root.c_str(), 0700);
    EXPECT_FALSE(grant_group_access(root, "no-such-group-ovr"));
    EXPECT_EQ(mode_of(root), 0700u);
    EXPECT_FALSE(grant_group_access(d.file("missing"), "root"));
    SetOvrinSMSTrustees("");  // an empty directory is skipped quietly
}
