// Crash and concurrency campaigns on the INI writes. Short in the suite;
// `./run soak` sets OVRINSMS_SOAK and runs them at full length (1,000 kills,
// three writers of 1,000 keys each) and prints the figures.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "config/ini.h"
#include "platform/fs.h"
#include "support/scratch.h"

namespace ini = ovr::config::ini;
namespace fs = ovr::platform::fs;
using ovr::test::ScratchDir;

namespace {

bool soak() { return std::getenv("OVRINSMS_SOAK") != nullptr; }

// The names in the directory other than the file and its lock.
std::vector<std::string> strays(const ScratchDir& dir, const std::string& name) {
    std::vector<std::string> out;
    for (const auto& e : fs::list_directory(dir.path()))
        if (e.name != name && e.name != "." + name + ".lock") out.push_back(e.name);
    return out;
}

}  // namespace

TEST(IniCampaign, KilledWritersNeverTearTheFileAndLeaveNothingAfterTheNextWrite) {
    const int kills = soak() ? 1000 : 8;
    ScratchDir dir;
    const std::string name = "big.ini", path = dir.file(name);
    std::string text = "[S]\n";
    for (int i = 0; text.size() < (1u << 20); ++i) text += "p" + std::to_string(i) + "=" + std::string(60, 'x') + "\n";
    const size_t pads = std::count(text.begin(), text.end(), '\n') - 1;
    text += "[End]\nend=yes\n";
    ASSERT_TRUE(fs::write_file_atomic(path, text));

    std::mt19937 rng(12345);
    int torn = 0, left_after_next_write = 0, killed_mid_write = 0;
    for (int k = 0; k < kills; ++k) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (unsigned i = 0;; ++i) ini::write_string(path, "S", "counter", std::string(i % 97, 'c') + std::to_string(i));
        }
        usleep(rng() % 60000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        auto now = fs::read_file(path);
        if (!now || now->size() < text.size() || !ini::value_in(*now, "End", "end") ||
            ini::value_in(*now, "S", "p" + std::to_string(pads - 1)) != std::string(60, 'x'))
            ++torn;
        if (!strays(dir, name).empty()) ++killed_mid_write;
        ASSERT_TRUE(ini::write_string(path, "S", "after", std::to_string(k)));
        if (!strays(dir, name).empty()) ++left_after_next_write;
    }
    std::printf("INI kill campaign: %d kills of a writer of a %zu-byte file, %d mid-write, %d torn files, "
                "%d temporary files left after the next write\n",
                kills, text.size(), killed_mid_write, torn, left_after_next_write);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(left_after_next_write, 0);
}

TEST(IniCampaign, ThreeWritersOfDistinctKeysLoseNoUpdate) {
    const int writes = soak() ? 1000 : 15;
    ScratchDir dir;
    const std::string path = dir.file("shared.ini");
    std::vector<pid_t> children;
    for (int w = 0; w < 3; ++w) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = true;
            for (int i = 0; i < writes; ++i)
                ok = ini::write_string(path, "S", "w" + std::to_string(w) + "_" + std::to_string(i), std::to_string(i)) && ok;
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t c : children) {
        int status = 0;
        waitpid(c, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ini::clear_cache();
    int lost = 0;
    for (int w = 0; w < 3; ++w)
        for (int i = 0; i < writes; ++i)
            if (ini::read_value(path, "S", "w" + std::to_string(w) + "_" + std::to_string(i)) != std::to_string(i)) ++lost;
    std::printf("INI writers campaign: 3 writers x %d distinct keys, %d lost updates\n", writes, lost);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(ini::read_key_names(path, "S").size(), static_cast<size_t>(3 * writes));
}
