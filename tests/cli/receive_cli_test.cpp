// The 2-Way page's twin: the page's leave checks as "error: " lines, and
// what set leaves for get.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "config/ini.h"
#include "support/scratch.h"

using ovr::test::run_program;
using ovr::test::RunResult;
using ovr::test::ScratchDir;
using ovr::test::write_text;

namespace {

class ReceiveTwin : public ::testing::Test {
protected:
    RunResult ctl(const std::vector<std::string>& args) { return run_program("ovrinsmsctl", args, env); }
    ScratchDir d;
    std::map<std::string, std::string> env{{"OVRINSMS_DATA_DIR", d.file("data/")},
                                           {"OVRINSMS_PRIVATE_DIR", d.file("private/")},
                                           {"OVRINSMS_PROGRAM_DIR", d.path()},
                                           {"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_ROOT", d.file("sim/")},
                                           {"PATH", "/nonexistent"}};
};

}  // namespace

TEST_F(ReceiveTwin, LeaveChecksRefuseWithThePagesMessages) {
    RunResult r = ctl({"receive", "set", "--sms", "yes", "--route", "user:"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Please select a local user account to receive messages\n");
    r = ctl({"receive", "set", "--sms", "yes", "--mms", "yes", "--mms-route", "mm7"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: MM7 Settings must be configured\n");
    r = ctl({"receive", "set", "--php", "yes"});
    if (access("/usr/bin/php-cgi", X_OK) == 0) {
        EXPECT_EQ(r.status, 0) << "Debian's php-cgi is found";
    } else {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "error: PHP support not available, unable to locate php-cgi.exe\n");
    }
    EXPECT_EQ(ctl({"receive", "set", "--mms-route", "ftp"}).status, 2);
    EXPECT_EQ(ctl({"receive", "set", "--charset", "klingon"}).status, 2);
}

TEST_F(ReceiveTwin, SetThenGetShowsTheSameChoices) {
    ASSERT_EQ(::mkdir(d.file("sim").c_str(), 0755), 0);
    write_text(d.file("sim/charsets"), "iso-8859-1\nutf-8\n");
    ASSERT_EQ(ctl({"config", "set", "RIRER", "RIRER", "Modem1", "COM7:"}).status, 0);
    RunResult r = ctl({"receive", "set", "--sms", "yes", "--mms", "yes", "--mms-route", "email:me@example.com",
                       "--charset", "iso-8859-1"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = ctl({"receive", "get"});
    EXPECT_EQ(r.out,
              "sms: yes\nroute: commands\ncharset: iso-8859-1\nmms: yes\nmms-route: email:me@example.com\nphp: no\n"
              "php-remote: no\nphp-location: \n");
    EXPECT_EQ(ctl({"receive", "charsets"}).out, "(default)\niso-8859-1\nutf-8\n");
    r = ctl({"receive", "set", "--mms-route", "email:postmaster"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Please enter a valid e-mail address\n");
    r = ctl({"receive", "set", "--mms-route", "post:upload.example/x"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ctl({"receive", "get", "--json"}).out.find("\"mms-route\": \"post:http://upload.example/x\""),
              std::string::npos);
}
