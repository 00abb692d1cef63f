// ovrinsmsctl config: the real executable, its output and exit codes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "support/scratch.h"

using ovr::test::read_text;
using ovr::test::run_program;
using ovr::test::ScratchDir;
using ovr::test::write_text;

class ConfigCli : public ::testing::Test {
protected:
    ovr::test::RunResult ctl(std::vector<std::string> args) {
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
    write_text(p, "[S]\nk=\"abcdef\"\nbare\n[T]\n");
    EXPECT_EQ(ctl({"get", p, "S", "k", "--size", "4"}).out, "abc\n");
    EXPECT_EQ(ctl({"get", p, "S", "missing", "--default", "dflt   "}).out, "dflt\n");
    EXPECT_EQ(ctl({"get", p, "S", "bare", "--default", "d"}).out, "d\n");
    EXPECT_EQ(ctl({"section", p, "S"}).out, "k=\"abcdef\"\nbare\n");
    EXPECT_EQ(ctl({"keys", p, "S"}).out, "k\n");  // the key listing leaves out lines without "="
    EXPECT_EQ(ctl({"sections", p}).out, "S\nT\n");
    EXPECT_EQ(ctl({"sections", p, "--size", "5"}).out, "S\nT\n");
    EXPECT_EQ(ctl({"sections", p, "--size", "4"}).out, "S\n");
    auto missing = ctl({"get", dir.file("none.ini"), "S", "k"});
    EXPECT_EQ(missing.status, 0);
    EXPECT_EQ(missing.out, "\n");
}

TEST_F(ConfigCli, WritesAndRemovals) {
    std::string p = dir.file("x.ini");
    write_text(p, "; keep me\n[S]\nk=1\nj=2\n[T]\nx=1\n");
    EXPECT_EQ(ctl({"set", p, "S", "k", ""}).status, 0);
    EXPECT_EQ(ctl({"unset", p, "S", "j"}).status, 0);
    EXPECT_EQ(ctl({"remove-section", p, "t"}).status, 0);
    EXPECT_EQ(read_text(p), "; keep me\n[S]\nk=\n");
}

TEST_F(ConfigCli, ExitCodesTellUsageFromFailure) {
    auto r = ctl({"get", "RIRER", "S"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage"), std::string::npos);
    EXPECT_EQ(ctl({"get", "RIRER", "S", "k", "--size"}).status, 2);
    EXPECT_EQ(ctl({"get", "RIRER", "S", "k", "--size", "-1"}).status, 2);
    EXPECT_EQ(ctl({"frobnicate"}).status, 2);
    EXPECT_EQ(ctl({}).status, 2);
    EXPECT_EQ(run_program("ovrinsmsctl", {"nonsense"}).status, 2);
    r = ctl({"set", dir.path(), "S", "k", "v"});  // a directory where a file is expected
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    EXPECT_EQ(ctl({"set", dir.file("x.ini"), "S", "k", "line\nbreak"}).status, 1);
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
