// ovrinsmsctl users add/edit/remove/show/web-auth: the user dialog's rules
// from a shell.
#include <gtest/gtest.h>

#include <map>

#include "config/ini.h"
#include "config/support.h"
#include "platform/fs.h"
#include "support/scratch.h"

using ovr::test::run_program;
using ovr::test::ScratchDir;
namespace config = ovr::config;

namespace {

struct UsersCli : ::testing::Test {
    ScratchDir d;
    std::map<std::string, std::string> env() {
        return {{"OVRINSMS_DATA_DIR", d.path()}, {"OVRINSMS_PRIVATE_DIR", d.file("private/")}};
    }
    ovr::test::RunResult run(std::vector<std::string> args, const std::string& input = {}) {
        return run_program("ovrinsmsctl", args, env(), input);
    }
    config::UserRecord user(const std::string& name) {
        config::UserFileHandle f;
        config::UserRecord r;
        config::open_user_file(d.path(), config::kGenericRead, f);
        EXPECT_TRUE(config::SMSFindUserRecord(f, name, r)) << name;
        return r;
    }
};

}  // namespace

TEST_F(UsersCli, AddEditRenameAndRemoveFollowTheDialog) {
    auto added = run({"users", "add", "alice", "--mm7-login", "on", "--smpp-login", "on", "--accept-received", "on",
                      "--recipients", "+1555", "--password-stdin"},
                     "s3cret\n");
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(user("alice").password(), "s3cret");
    EXPECT_TRUE(user("alice").smpp_login_enabled());
    ovr::platform::fs::create_directories(d.file("USERS/alice/"));
    auto renamed = run({"users", "edit", "alice", "--rename", "alicia"});
    ASSERT_EQ(renamed.status, 0) << renamed.err;
    EXPECT_EQ(run({"users", "list", "--mm7"}).out, "alicia\t\n");
    EXPECT_EQ(run({"users", "list"}).out, "alicia\t\n");
    EXPECT_TRUE(ovr::platform::fs::is_directory(d.file("USERS/alicia")));
    EXPECT_EQ(config::ini::read_string(d.file("RIRER.INI"), "Inbound SMS Routing", "alicia", "", 100), "+1555");
    auto shown = run({"users", "show", "alicia"});
    EXPECT_EQ(shown.out.find("s3cret"), std::string::npos);
    EXPECT_NE(shown.out.find("MM7/EAIF Login: on\n"), std::string::npos);

    EXPECT_EQ(run({"users", "add", ".."}).status, 2);
    EXPECT_EQ(run({"users", "add", ""}).status, 2);
    auto taken = run({"users", "add", "ALICIA"});
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(taken.err, "error: User ALICIA is already defined.\n");
    EXPECT_EQ(run({"users", "add", "bob", "--password-stdin"}, std::string(51, 'p') + "\n").status, 2);
    EXPECT_EQ(run({"users", "add", "bob", "--full-name", "a\nb"}).status, 2);
    EXPECT_EQ(run({"users", "add", "bob", "--admin", "on", "--web-login", "off"}).status, 2);
    EXPECT_EQ(run({"users", "list"}).out, "alicia\t\n");  // none of those added bob

    EXPECT_EQ(run({"users", "remove", "alicia", "nobody"}).status, 1);  // nothing removed
    EXPECT_EQ(run({"users", "remove", "alicia"}).status, 0);
    EXPECT_EQ(run({"users", "list", "--mm7", "--json"}).out, "[]\n");
    EXPECT_FALSE(ovr::platform::fs::is_directory(d.file("USERS/alicia")));

    EXPECT_EQ(run({"users", "web-auth"}).out, "on\n");
    EXPECT_EQ(run({"users", "web-auth", "off"}).status, 0);
    EXPECT_EQ(run({"users", "web-auth"}).out, "off\n");
}
