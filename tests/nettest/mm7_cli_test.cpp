// The receiver's command-line twins: mm7 test and set against loopback
// servers, php find and directory.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "config/ini.h"
#include "loopback.h"
#include "support/scratch.h"

namespace ovr::nettest {
namespace {
using test::run_program;
using test::RunResult;
using test::ScratchDir;

class Mm7Twin : public ::testing::Test {
protected:
    RunResult ctl(const std::vector<std::string>& args, const std::string& input = {}) {
        return run_program("ovrinsmsctl", args, env, input);
    }
    std::string vasp() const { return d.file("data/VASPOUT/ovrinsmslitemm7/VASP.INI"); }
    ScratchDir d;
    std::map<std::string, std::string> env{{"OVRINSMS_DATA_DIR", d.file("data/")},
                                           {"OVRINSMS_PRIVATE_DIR", d.file("private/")},
                                           {"OVRINSMS_PROGRAM_DIR", d.path()},
                                           {"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_ROOT", d.file("sim/")},
                                           {"PATH", "/nonexistent"}};
};

TEST_F(Mm7Twin, TestSaysHowItConnectedOrWhyNot) {
    uint32_t closed = closed_port();
    RunResult r = ctl({"mm7", "test", "http://127.0.0.1:" + std::to_string(closed) + "/"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Unable to connect to server 127.0.0.1:" + std::to_string(closed) + "\n");
    Listener plain(Listener::Kind::Plain);
    r = ctl({"mm7", "test", "127.0.0.1:" + std::to_string(plain.port())});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Connected to server 127.0.0.1:" + std::to_string(plain.port()) + "\n");
    Listener secure(Listener::Kind::Tls);
    r = ctl({"mm7", "test", "https://127.0.0.1:" + std::to_string(secure.port()) + "/mm7/in"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Connected to server 127.0.0.1:" + std::to_string(secure.port()) + " using SSL/TLS\n");
    Listener http(Listener::Kind::PlainReply);
    r = ctl({"mm7", "test", "https://127.0.0.1:" + std::to_string(http.port())});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("error: Unable to negotiate SSL/TLS connection with server 127.0.0.1:" +
                         std::to_string(http.port()) + "  "),
              0u)
        << r.err;
}

TEST_F(Mm7Twin, SetChecksTheServerFirstAndNeverPrintsThePassword) {
    RunResult r = ctl({"mm7", "set", "--variation", "php"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Please define a URL for connecting to the server\n");
    r = ctl({"mm7", "set", "--server", "http://127.0.0.1:" + std::to_string(closed_port()) + "/"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(access(vasp().c_str(), F_OK), 0) << "nothing written on failure";

    Listener plain(Listener::Kind::Plain);
    std::string url = "http://127.0.0.1:" + std::to_string(plain.port()) + "/upload.php";
    r = ctl({"mm7", "set", "--server", url, "--variation", "php", "--user", "u", "--password-stdin", "--version",
             "6.7.0", "--schema", "REL-6-MM7-1-3", "--strip-white-space", "yes"},
            "s3cret\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(config::ini::read_string(vasp(), "VASP", "Password"), "s3cret");
    EXPECT_EQ(config::ini::read_string(vasp(), "VASP", "PHPMultipartPost"), "Yes");
    r = ctl({"mm7", "show"});
    EXPECT_EQ(r.out,
              "variation: php\nserver: " + url +
                  "\nuser: u\npassword: (set)\nvasp-id: \nvas-id: \nservice-code: \nversion: 6.7.0\n"
                  "schema: REL-6-MM7-1-3\nstrip-white-space: yes\n");
    EXPECT_EQ(ctl({"mm7", "set", "--version", "9.9"}).status, 2);
    EXPECT_EQ(ctl({"mm7", "set", "--password", "x"}).status, 2) << "no password on the command line";
}

TEST_F(Mm7Twin, PhpFindAndDirectory) {
    RunResult r = ctl({"php", "find"});
    if (access("/usr/bin/php-cgi", X_OK) == 0) {
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "/usr/bin/php-cgi\n");
    } else {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "error: PHP support not available, unable to locate php-cgi.exe\n");
    }
    r = ctl({"php", "directory"});
    EXPECT_EQ(r.out, d.file("data/PHP/") + "\n");
}

}  // namespace
}  // namespace ovr::nettest
