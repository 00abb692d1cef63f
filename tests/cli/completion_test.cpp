// The bash completion script of ovrinsmsctl, run by bash itself the way
// bash runs it on a Tab press.
#include <gtest/gtest.h>

#include <unistd.h>

#include "support/scratch.h"

using ovr::test::bin_path;
using ovr::test::run_program;
using ovr::test::ScratchDir;
using ovr::test::write_text;

namespace {

class Completion : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/bin/bash", X_OK) != 0) GTEST_SKIP() << "no /bin/bash to run the completion script";
        auto r = run_program("ovrinsmsctl", {"completion", "bash"});
        ASSERT_EQ(r.status, 0) << r.err;
        write_text(dir.file("ovrinsmsctl.bash"), r.out);
        write_text(dir.file("a.ini"), "");
    }
    // The words bash offers for the line typed so far, blank-separated.
    std::string complete(const std::string& line) {
        std::string script = "source " + dir.file("ovrinsmsctl.bash") +
                             "\nCOMP_LINE=$1; COMP_POINT=${#1}; read -ra COMP_WORDS <<< \"$1\"\n"
                             "[[ $1 == *' ' ]] && COMP_WORDS+=(\"\")\n"
                             "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _ovrinsmsctl; echo \"${COMPREPLY[*]}\"\n";
        write_text(dir.file("run.sh"), script);
        auto r = run_program("/bin/bash", {"-c", "cd " + dir.path() + " && source run.sh \"$0\"", line});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out.empty() ? r.out : r.out.substr(0, r.out.size() - 1);
    }
    ScratchDir dir;
};

TEST_F(Completion, OffersWhatTheTableDeclaresAtEachPosition) {
    EXPECT_EQ(complete("ovrinsmsctl co"), "completion config counters");
    EXPECT_EQ(complete("ovrinsmsctl --v"), "--version");
    EXPECT_EQ(complete("ovrinsmsctl queue "), "count list parse send-test cancel-test --help");
    EXPECT_EQ(complete("ovrinsmsctl queue list rec"), "received-sms received-mms");
    EXPECT_EQ(complete("ovrinsmsctl queue list --"), "--json --sort --help");
    EXPECT_EQ(complete("ovrinsmsctl status --"), "--json --help");
    EXPECT_EQ(complete("ovrinsmsctl help queue s"), "send-test");
    // FILE of config: the named files and the files here; other words nothing.
    EXPECT_EQ(complete("ovrinsmsctl config get M"), "MMSC MMSWAP MODEMTEST");
    EXPECT_EQ(complete("ovrinsmsctl config get a"), "a.ini");
    EXPECT_EQ(complete("ovrinsmsctl config get a.ini S "), "");
    // An option's value is not a positional word.
    EXPECT_EQ(complete("ovrinsmsctl config get --size 3 RI"), "RIRER");
    EXPECT_EQ(complete("ovrinsmsctl queue send-test --help s"), "sms");
    EXPECT_EQ(complete("ovrinsmsctl /INSTALLSERVICE "), "");
}

TEST_F(Completion, EveryCommandInTheHelpIsOffered) {
    auto help = run_program("ovrinsmsctl", {"help"}).out;
    std::string group;
    size_t checked = 0;
    for (size_t pos = help.find("\nCommands:\n") + 11; pos < help.size() && help[pos] == ' ';) {
        size_t end = help.find('\n', pos);
        std::string line = help.substr(pos, end - pos);
        bool sub = line.rfind("    ", 0) == 0;
        std::string word = line.substr(sub ? 4 : 2, line.find(' ', sub ? 4 : 2) - (sub ? 4 : 2));
        if (!sub) {
            group = word;
            EXPECT_NE((" " + complete("ovrinsmsctl ") + " ").find(" " + group + " "), std::string::npos) << group;
        } else {
            EXPECT_NE((" " + complete("ovrinsmsctl " + group + " ") + " ").find(" " + word + " "), std::string::npos)
                << group << " " << word;
        }
        ++checked;
        pos = end + 1;
    }
    EXPECT_GT(checked, 20u);
}

TEST(CompletionZsh, LoadsTheBashScriptThroughBashcompinit) {
    auto r = run_program("ovrinsmsctl", {"completion", "zsh"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("autoload -U +X bashcompinit && bashcompinit\n", 0), 0u);
    EXPECT_NE(r.out.find("complete -o filenames -F _ovrinsmsctl ovrinsmsctl\n"), std::string::npos);
}

}  // namespace
