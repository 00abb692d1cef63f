// The DNS-SD browser over avahi-daemon: without a daemon a pass ends at once
// and says why, so the discovery thread pauses instead of spinning; the
// device simulator publishes through the same daemon.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/device_browser.h"
#include "support/scratch.h"
#include "support/systemd_bus.h"

namespace ovr::test {
namespace {

// Points the client at another system bus for one test.
struct SystemBus {
    explicit SystemBus(const std::string& address) {
        if (const char* old = getenv("DBUS_SYSTEM_BUS_ADDRESS")) saved = old;
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    }
    ~SystemBus() {
        if (saved.empty()) unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        else setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
    }
    std::string saved;
};

void expect_unavailable_at_once(const char* what) {
    SCOPED_TRACE(what);
    auto browser = platform::make_avahi_device_browser(std::make_shared<platform::SystemClock>());
    if (!browser) GTEST_SKIP() << "built without libavahi-client";
    std::atomic<bool> keep_going{true};
    std::string error;
    int found = 0;
    auto began = std::chrono::steady_clock::now();
    auto r = browser->browse(30, keep_going, [&](const platform::FoundDevice&) { ++found; }, error);
    EXPECT_EQ(r, platform::BrowseResult::Unavailable);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2));
    EXPECT_EQ(error.rfind("avahi-daemon: ", 0), 0u) << error;
    EXPECT_EQ(found, 0);
}

TEST(AvahiBrowser, NoSystemBusEndsThePassAsUnavailable) {
    ScratchDir d;
    SystemBus bus("unix:path=" + d.file("no-bus"));
    expect_unavailable_at_once("no bus");
}

TEST(AvahiBrowser, BusWithoutTheDaemonEndsThePassAsUnavailable) {
    ScratchDir d;
    SystemdBus private_bus(d.path());
    if (!private_bus.ok()) GTEST_SKIP() << "no private D-Bus daemon: " << private_bus.error();
    SystemBus bus(private_bus.address());
    expect_unavailable_at_once("no avahi-daemon on the bus");
}

TEST(AvahiBrowser, PublishingWithoutTheDaemonFailsWithItsReason) {
    ScratchDir d;
    RunResult r = run_program("ovrinsms-devicesim", {"--publish", "--name", "Unheard Phone"},
                              {{"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + d.file("no-bus")}});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ovrinsms-devicesim: --publish: "), std::string::npos) << r.err;
}

// Where avahi-daemon runs on the system bus: a published simulator is found,
// with an address and port that answer.
TEST(AvahiBrowser, PublishedDeviceIsDiscovered) {
    auto browser = platform::make_avahi_device_browser(std::make_shared<platform::SystemClock>());
    if (!browser) GTEST_SKIP() << "built without libavahi-client";
    std::atomic<bool> keep_going{true};
    std::string error;
    if (browser->browse(0, keep_going, [](const platform::FoundDevice&) {}, error) ==
        platform::BrowseResult::Unavailable)
        GTEST_SKIP() << "no avahi-daemon on the system bus (" << error
                     << "); it needs root and a multicast interface, so the test does not start one";

    std::string name = "Published Phone " + std::to_string(getpid());
    ScratchDir d;
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::string sim = bin_path("ovrinsms-devicesim");
        execl(sim.c_str(), sim.c_str(), "--publish", "--listen", "0.0.0.0:0", "--name", name.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    platform::FoundDevice seen;
    auto r = browser->browse(10, keep_going, [&](const platform::FoundDevice& f) {
        if (f.name == name) {
            seen = f;
            keep_going = false;
        }
    }, error);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    EXPECT_NE(r, platform::BrowseResult::Unavailable) << error;
    EXPECT_EQ(seen.name, name);
    EXPECT_NE(seen.port, 0);
}

}  // namespace
}  // namespace ovr::test
