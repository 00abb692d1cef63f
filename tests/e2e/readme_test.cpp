// Every shell example of README.md runs, as written, in a scratch directory
// of its own (HOME and TMPDIR there, no OVRINSMS_ variable, `build` the
// build under test), under `set -e`: so the README cannot lie. What an
// example says it prints is checked for the examples named below; one that
// only calls ./run is the suite or the demo test itself, and the few that
// need a real avahi-daemon or the running demo are named and not run here.
#include <gtest/gtest.h>

#include <unistd.h>

#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "support/scratch.h"

using ovr::test::run_program;
using ovr::test::RunResult;
using ovr::test::ScratchDir;

namespace {

struct Example {
    std::string heading;   // the section it is in
    int line = 0;          // where it starts in the README
    std::string code;
};

std::vector<Example> shell_examples(const std::string& readme) {
    std::vector<Example> out;
    std::string heading;
    bool in = false;
    int n = 0;
    size_t at = 0;
    while (at < readme.size()) {
        size_t end = readme.find('\n', at);
        if (end == std::string::npos) end = readme.size();
        std::string line = readme.substr(at, end - at);
        at = end + 1;
        ++n;
        if (in) {
            if (line == "```") in = false;
            else out.back().code += line + "\n";
        } else if (line == "```sh") {
            in = true;
            out.push_back({heading, n + 1, ""});
        } else if (line.rfind("#", 0) == 0) {
            heading = line.substr(line.find_first_not_of("# "));
        }
    }
    return out;
}

bool only_run_script(const std::string& code) {
    size_t at = 0;
    while (at < code.size()) {
        size_t end = code.find('\n', at);
        if (code.compare(at, 6, "./run ") != 0) return false;
        at = end + 1;
    }
    return true;
}

bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

// Examples that need what a test machine has not: why, or "" to run it.
std::string not_run_here(const Example& ex) {
    if (contains(ex.code, "--publish")) return "needs avahi-daemon on a real host";
    if (ex.heading == "A test message through the demo's gateway") return "needs the running services of ./run demo";
    if (ex.heading == "Choosing the modem") return "runs beside ./run demo (its phones and modem); the demo test runs the demo";
    return "";
}

// Before an example: the environment the README tells its reader to set up
// around it, and, whatever happens, nothing left running after it.
const std::map<std::string, std::string> kPreamble{
    // "from a second shell with the same environment" as the demo's
    {"A living gateway",
     "export OVRINSMS_PLATFORM=sim OVRINSMS_SIM_ROOT=$PWD/sim/ OVRINSMS_DATA_DIR=$PWD/data/ "
     "OVRINSMS_PRIVATE_DIR=$PWD/private/\n"
     "build/bin/ovrinsmsctl config set RIRER RIRER Modem1 COM7: >/dev/null\n"
     "build/bin/ovrinsmsctl service install --quiet >/dev/null\n"},
};

// What each example must print (standard output and error together).
const std::map<std::string, std::vector<std::string>> kPrints{
    {"A living gateway", {"Error: Something broke"}},
    {"The command-line twin",
     {"usage: ovrinsmsctl", "8800\n", "[\"RIRER\"]\n", "80\n", "queued TEST", "/data/Q\n", "/data/VASPQ\n",
      "Service is Active", "Simulated GSM Modem\n", "information: Modem successfully tested!"}},
    {"Two-way keywords and the MM7 receiver",
     {"keyword ECHO", "command exited 0", "Connected to server", "using SSL/TLS"}},
    {"The operator MMS test",
     {"operator: EE\n", "apn: eezone (EE MMS)\n", "information: Connection Test OK!\n", "RAS Error 720", "exit 1\n",
      "apn: internet\n"}},
    {"The simulated web interface", {"401\n200\n"}},
    {"Network modem devices",
     {"HTTP/1.0 200 OK", "DeviceName: Ovrin Phone\n", "OvrinSMSModem - Ovrin Phone 2\t127.0.0.1:", "DeviceName: Ovrin Phone 2\n"}},
};

TEST(Readme, EveryShellExampleRunsAsWritten) {
    const std::string readme_path = std::string(OVR_SOURCE_DIR) + "/README.md";
    std::string readme = ovr::test::read_text(readme_path);
    ASSERT_FALSE(readme.empty()) << readme_path;
    std::vector<Example> examples = shell_examples(readme);
    ASSERT_GE(examples.size(), 5u);
    // The directory holding bin/ of the build under test.
    std::string build = ovr::platform::fs::parent_directory(std::string(OVR_BIN_DIR) + "/");
    while (build.size() > 1 && build.back() == '/') build.pop_back();
    build = ovr::platform::fs::parent_directory(build);

    std::map<std::string, std::string> printed;   // by heading, all its examples
    for (const Example& ex : examples) {
        if (only_run_script(ex.code)) continue;
        if (std::string why = not_run_here(ex); !why.empty()) {
            std::cout << "not run here: README.md line " << ex.line << " (" << ex.heading << "): " << why << "\n";
            continue;
        }
        SCOPED_TRACE("README.md line " + std::to_string(ex.line) + " (" + ex.heading + ")");
        ScratchDir d;
        ASSERT_EQ(symlink(build.c_str(), d.file("build").c_str()), 0);
        ASSERT_EQ(run_program("/bin/mkdir", {"-p", d.file("home"), d.file("tmp")}).status, 0);
        auto pre = kPreamble.find(ex.heading);
        std::string script =
            "cd " + d.path() + "\n" +
            "export HOME=" + d.file("home") + " TMPDIR=" + d.file("tmp") + "\n" +
            "unset XDG_DATA_HOME OVRINSMS_DATA_DIR OVRINSMS_PRIVATE_DIR OVRINSMS_PROGRAM_DIR OVRINSMS_PLATFORM "
            "OVRINSMS_SIM_ROOT OVRINSMS_DEVICE_MAP\n"
            "trap 'set +e; kill $(jobs -p) 2>/dev/null; build/bin/ovrinsmsctl service remove --quiet >/dev/null 2>&1; true' "
            "EXIT\n" +
            (pre == kPreamble.end() ? "" : pre->second) + "set -e\n" + ex.code;
        RunResult r = run_program("/usr/bin/timeout", {"120", "/bin/bash", "-c", script});
        EXPECT_EQ(r.status, 0) << "the example:\n" << ex.code << "\nprinted:\n" << r.out << r.err;
        printed[ex.heading] += r.out + r.err;
    }
    for (const auto& [heading, parts] : kPrints) {
        ASSERT_TRUE(printed.count(heading)) << "no example under \"" << heading << "\" any more";
        for (const std::string& part : parts)
            EXPECT_TRUE(contains(printed[heading], part)) << heading << ": \"" << part << "\" not in:\n"
                                                          << printed[heading];
    }
}

}  // namespace
