// ovrinsmsctl config: the real executable, its output and exit codes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "support/scratch.h"

using ovr::test::read_text;
using ovr::test::run_program;
using ovr::test::RunResult;
using ovr::test::ScratchDir;
using ovr::test::write_text;

class ConfigCli : public ::testing::Test {
protected:
    RunResult ctl(std::vector<std::string> args) {
        args.insert(args.begin(), "config");
        return run_program("ovrinsmsctl", args, {{"OVRINSMS_DATA_DIR", dir.path()}, {"OVRINSMS_PRIVATE_DIR", dir.file("private/")}});
    }
    ScratchDir dir;
};

TEST_F(ConfigCli, NamedFilesLiveInTheProgramDataDirectory) {
    auto r = ctl({"set", "RIRER", "RIRER", "Modem1", "COM7:"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_text(dir.file("RIRER.INI")), "[RIRER]\nModem1=COM7:\n");
    r = ctl({"get", "rirer", "rirer", "MODEM1"});
    EXPECT_EQ(r.out, "COM7:\n");
    EXPECT_EQ(ctl({"set", "MMSWAP", "MMSWAP", "Debug", "Yes"}).status, 0);
    EXPECT_TRUE(read_text(dir.file("MMSWAP.INI")).find("Debug=Yes") != std::string::npos);
}

TEST_F(ConfigCli, ReadsBehaveAsTheProfileReads) {
    std::string p = dir.file("x.ini");
    write_text(p, "[S]\nk=\"abcdef\"\nbare\nempty=\n[T]\n");
    EXPECT_EQ(ctl({"get", p, "S", "k", "--size", "4"}).out, "abc\n");
    EXPECT_EQ(ctl({"get", p, "S", "missing", "--default", "dflt   "}).out, "dflt\n");
    EXPECT_EQ(ctl({"get", p, "S", "bare", "--default", "d"}).out, "d\n");
    EXPECT_EQ(ctl({"section", p, "S"}).out, "k=\"abcdef\"\nbare\nempty=\n");
    EXPECT_EQ(ctl({"keys", p, "S"}).out, "k\nempty\n");  // the key listing leaves out lines without "="
    EXPECT_EQ(ctl({"sections", p}).out, "S\nT\n");
    EXPECT_EQ(ctl({"sections", p, "--size", "5"}).out, "S\nT\n");
    EXPECT_EQ(ctl({"sections", p, "--size", "4"}).out, "S\n");
    // An empty section is there; a missing one is not.
    EXPECT_EQ(ctl({"keys", p, "t"}).status, 0);
    auto r = ctl({"keys", p, "U"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ovrinsmsctl: no section [U] in " + p + "\n");
}

TEST_F(ConfigCli, UnsetIsToldFromEmpty) {
    std::string p = dir.file("x.ini");
    write_text(p, "[S]\nempty=\nbare\n");
    auto r = ctl({"get", p, "S", "empty"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\n");
    for (const char* key : {"missing", "bare"}) {
        r = ctl({"get", p, "S", key});
        EXPECT_EQ(r.status, 1) << key;
        EXPECT_EQ(r.out, "") << key;
        EXPECT_EQ(r.err, "ovrinsmsctl: " + std::string(key) + " is not set in [S] of " + p + "\n");
        r = ctl({"get", p, "S", key, "--default", ""});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "\n");
    }
}

TEST_F(ConfigCli, AMissingFileIsNotAnEmptyOne) {
    std::string none = dir.file("none.ini");
    for (const auto& words : std::vector<std::vector<std::string>>{{"get", none, "S", "k"},
                                                                   {"get", none, "S", "k", "--default", "x"},
                                                                   {"sections", none},
                                                                   {"keys", none, "S"},
                                                                   {"section", none, "S"},
                                                                   {"unset", none, "S", "k"},
                                                                   {"remove-section", none, "S"}}) {
        auto r = ctl(words);
        EXPECT_EQ(r.status, 1) << words[0];
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "ovrinsmsctl: no such file: " + none + "\n");
    }
    EXPECT_NE(access(none.c_str(), F_OK), 0);   // no read or removal created it
    auto r = ctl({"sections", dir.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ovrinsmsctl: " + dir.path() + " is not a regular file\n");
}

TEST_F(ConfigCli, TheWholeValueUnlessASizeIsGiven) {
    // Longer than the reader's default 32768-byte buffer.
    std::string p = dir.file("x.ini"), big(40000, 'v');
    write_text(p, "[S]\nk=" + big + "\n");
    EXPECT_EQ(ctl({"get", p, "S", "k"}).out, big + "\n");
    EXPECT_EQ(ctl({"get", p, "S", "k", "--size", "32768"}).out, big.substr(0, 32767) + "\n");
    EXPECT_EQ(ctl({"section", p, "S"}).out, "k=" + big + "\n");
}

TEST_F(ConfigCli, WritesAndRemovals) {
    std::string p = dir.file("x.ini");
    write_text(p, "; keep me\n[S]\nk=1\nj=2\n[T]\nx=1\n");
    EXPECT_EQ(ctl({"set", p, "S", "k", ""}).status, 0);
    EXPECT_EQ(ctl({"unset", p, "S", "j"}).status, 0);
    EXPECT_EQ(ctl({"unset", p, "S", "never-there"}).status, 0);
    EXPECT_EQ(ctl({"remove-section", p, "t"}).status, 0);
    EXPECT_EQ(read_text(p), "; keep me\n[S]\nk=\n");
}

TEST_F(ConfigCli, RefusedInputSaysWhyAndTouchesNothing) {
    std::string p = dir.file("x.ini");
    write_text(p, "[S]\nk=1\n");
    struct Case {
        std::vector<std::string> words;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{"set", p, "S", "k", "line\nbreak"}, "value must not contain a line break"},
        {{"set", p, "S", "k", "cr\r"}, "value must not contain a line break"},
        {{"set", p, "S", "a\nb", "v"}, "key must not contain a line break"},
        {{"set", p, "S", "a=b", "v"}, "key must not contain \"=\""},
        {{"set", p, "S", ";k", "v"}, "key must not begin with \"[\" or \";\""},
        {{"set", p, "S", "  ", "v"}, "key must not be empty"},
        {{"set", p, "S]", "k", "v"}, "section name must not contain \"]\""},
        {{"set", p, "S\n", "k", "v"}, "section name must not contain a line break"},
        {{"unset", p, "", "k"}, "section name must not be empty"},
        {{"remove-section", p, "a]"}, "section name must not contain \"]\""},
    };
    for (const Case& c : cases) {
        auto r = ctl(c.words);
        EXPECT_EQ(r.status, 2) << c.reason;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "ovrinsmsctl: " + c.reason + "\n");
    }
    EXPECT_EQ(read_text(p), "[S]\nk=1\n");
}

TEST_F(ConfigCli, AFailedWriteNamesItsCause) {
    auto r = ctl({"set", dir.path(), "S", "k", "v"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ovrinsmsctl: cannot write " + dir.path() + ": it is a directory\n");
    r = ctl({"set", dir.file("no/x.ini"), "S", "k", "v"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ovrinsmsctl: cannot write " + dir.file("no/x.ini") + ": no such directory " + dir.file("no/") + "\n");
}

TEST_F(ConfigCli, ListingsPrintOneJsonDocument) {
    std::string p = dir.file("x.ini");
    write_text(p, "[S]\nk=\"v\"\nbare\n[T]\n");
    EXPECT_EQ(ctl({"sections", p, "--json"}).out, "[\"S\", \"T\"]\n");
    EXPECT_EQ(ctl({"keys", p, "S", "--json"}).out, "[\"k\"]\n");
    EXPECT_EQ(ctl({"section", p, "S", "--json"}).out,
              "[{\"key\": \"k\", \"value\": \"\\\"v\\\"\"}, {\"key\": \"bare\", \"value\": null}]\n");
    EXPECT_EQ(ctl({"keys", p, "T", "--json"}).out, "[]\n");
}

// The first thing a newcomer types, on a machine where no directory exists
// yet and no variable is set.
TEST(ConfigCliFresh, CreatesTheDataDirectoryOrSaysWhichIsMissing) {
    ScratchDir home;
    std::map<std::string, std::string> env{{"HOME", home.path() + "h"}, {"XDG_DATA_HOME", ""},
                                           {"OVRINSMS_DATA_DIR", ""}, {"OVRINSMS_PRIVATE_DIR", ""}};
    auto r = run_program("ovrinsmsctl", {"config", "set", "RIRER", "RIRER", "WebPort", "8800"}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    std::string data = home.path() + "h/.local/share/ovrinsms/";
    EXPECT_EQ(read_text(data + "RIRER.INI"), "[RIRER]\nWebPort=8800\n");
    struct stat st {};
    ASSERT_EQ(stat(data.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0022, 0u);   // never wider than the console makes it

    env["OVRINSMS_DATA_DIR"] = "/proc/ovrinsms-cannot-be/";
    r = run_program("ovrinsmsctl", {"config", "set", "RIRER", "RIRER", "WebPort", "8800"}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("ovrinsmsctl: cannot create the program data directory /proc/ovrinsms-cannot-be/: ", 0), 0u)
        << r.err;
    EXPECT_NE(r.err.find("(set OVRINSMS_DATA_DIR to choose another)\n"), std::string::npos);
}

TEST_F(ConfigCli, HostileFilesGiveAClearErrorAtOnce) {
    // A fifo (no writer ever comes), an endless device and a 200 MB file: each
    // read returns within 2 s with the reason and status 1.
    std::string fifo = dir.file("fifo.ini"), big = dir.file("big.ini");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(truncate((write_text(big, "[S]\nk=1\n"), big.c_str()), 200ll << 20), 0);
    for (auto [path, reason] : std::vector<std::pair<std::string, std::string>>{
             {fifo, "is not a regular file"}, {"/dev/zero", "is not a regular file"}, {big, "larger than 64 MiB"}}) {
        for (std::vector<std::string> args : {std::vector<std::string>{"get", path, "S", "k"},
                                              std::vector<std::string>{"sections", path}}) {
            auto start = std::chrono::steady_clock::now();
            auto r = ctl(args);
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << path;
            EXPECT_EQ(r.status, 1) << path;
            EXPECT_NE(r.err.find(reason), std::string::npos) << path << ": " << r.err;
        }
    }
    // A write to the fifo fails as well, without waiting for a writer.
    auto w = ctl({"set", fifo, "S", "k", "v"});
    EXPECT_EQ(w.status, 1);
}
