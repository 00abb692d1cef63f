#include <gtest/gtest.h>

#include "config/support.h"
#include "support/scratch.h"

using namespace ovr::config;
using ovr::test::run_program;
using ovr::test::ScratchDir;

TEST(UsersCommand, ListsNameAndFullNameInRecordOrder) {
    ScratchDir d;
    UserFileHandle f;
    ASSERT_TRUE(open_user_file(d.path(), kGenericRead | kGenericWrite, f));
    for (auto [name, full] : {std::pair{"zed", "Zed Z"}, {"Alice", "Alice Liddell"}, {"bob", ""}}) {
        UserRecord r;
        r.set_name(name);
        r.set_full_name(full);
        ASSERT_TRUE(SMSAddUser(f, r));
    }
    auto res = run_program("ovrinsmsctl", {"users", "list"}, {{"OVRINSMS_DATA_DIR", d.path()}});
    EXPECT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(res.out, "Alice\tAlice Liddell\nbob\t\nzed\tZed Z\n");

    EXPECT_EQ(run_program("ovrinsmsctl", {"users", "list", "x"}, {{"OVRINSMS_DATA_DIR", d.path()}}).status, 2);
    auto missing = run_program("ovrinsmsctl", {"users", "list"}, {{"OVRINSMS_DATA_DIR", d.file("nope/")}});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot read the user file"), std::string::npos);
}
