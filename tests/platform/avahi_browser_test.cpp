// The DNS-SD browser over avahi-daemon: without a daemon a pass ends at once
// and says why, so the discovery thread pauses instead of spinning; the
// device simulator publishes through the same daemon.
#include <ifaddrs.h>
#include <net/if.h>
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

// libdbus reads DBUS_SYSTEM_BUS_ADDRESS once per process and keeps it, so a
// pass against another bus runs in a program of its own: the command-line
// twin on the real platform, which must say why at once.
void expect_unavailable_at_once(const std::string& bus_address) {
    if (!platform::make_avahi_device_browser(std::make_shared<platform::SystemClock>()))
        GTEST_SKIP() << "built without libavahi-client";
    auto began = std::chrono::steady_clock::now();
    RunResult r = run_program("ovrinsmsctl", {"modem", "list", "--network", "--wait", "30"},
                              {{"OVRINSMS_PLATFORM", "posix"}, {"DBUS_SYSTEM_BUS_ADDRESS", bus_address}});
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("error: network modem discovery unavailable: avahi-daemon: ", 0), 0u) << r.err;
}

TEST(AvahiBrowser, NoSystemBusEndsThePassAsUnavailable) {
    ScratchDir d;
    expect_unavailable_at_once("unix:path=" + d.file("no-bus"));
}

TEST(AvahiBrowser, BusWithoutTheDaemonEndsThePassAsUnavailable) {
    ScratchDir d;
    SystemdBus private_bus(d.path());
    if (!private_bus.ok()) GTEST_SKIP() << "no private D-Bus daemon: " << private_bus.error();
    expect_unavailable_at_once(private_bus.address());
}

TEST(AvahiBrowser, PublishingWithoutTheDaemonFailsWithItsReason) {
    ScratchDir d;
    RunResult r = run_program("ovrinsms-devicesim", {"--publish", "--name", "Unheard Phone"},
                              {{"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + d.file("no-bus")}});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ovrinsms-devicesim: --publish: "), std::string::npos) << r.err;
}

// An interface the daemon can announce on: up, running, multicast.
bool has_multicast_interface() {
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) return false;
    bool any = false;
    for (ifaddrs* a = all; a && !any; a = a->ifa_next) {
        unsigned need = IFF_UP | IFF_RUNNING | IFF_MULTICAST;
        any = a->ifa_addr && (a->ifa_addr->sa_family == AF_INET || a->ifa_addr->sa_family == AF_INET6) &&
              (a->ifa_flags & need) == need;
    }
    freeifaddrs(all);
    return any;
}

// Where avahi-daemon runs on the system bus (CI starts one): a published
// simulator is found by the browser, and the command-line twin finds it by
// name and asks it "GET /init" at the address the daemon resolved.
TEST(AvahiBrowser, PublishedDeviceIsDiscoveredAndAnswers) {
    auto browser = platform::make_avahi_device_browser(std::make_shared<platform::SystemClock>());
    if (!browser) GTEST_SKIP() << "built without libavahi-client";
    std::atomic<bool> keep_going{true};
    std::string error;
    if (browser->browse(0, keep_going, [](const platform::FoundDevice&) {}, error) ==
        platform::BrowseResult::Unavailable)
        GTEST_SKIP() << "no avahi-daemon on the system bus (" << error
                     << "); ./run avahi starts one (as root), the test does not";
    if (!has_multicast_interface())
        GTEST_SKIP() << "avahi-daemon runs, but no interface is up with multicast, so nothing it publishes is seen";

    std::string name = "Published Phone " + std::to_string(getpid());
    ScratchDir d;
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::string sim = bin_path("ovrinsms-devicesim");
        std::string log = d.file("devicesim.log");
        execl(sim.c_str(), sim.c_str(), "--publish", "--listen", "0.0.0.0:0", "--name", name.c_str(),
              "--id", "356938035643809", "--log", log.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    platform::FoundDevice seen;
    auto r = browser->browse(10, keep_going, [&](const platform::FoundDevice& f) {
        if (f.name == name) {
            seen = f;
            keep_going = false;
        }
    }, error);
    EXPECT_NE(r, platform::BrowseResult::Unavailable) << error;
    EXPECT_EQ(seen.name, name);
    EXPECT_NE(seen.port, 0);
    if (seen.name == name) {
        // The real platform: discovery again, by name, then the exchange.
        RunResult q = run_program("ovrinsmsctl", {"modem", "query", name, "--wait", "10", "--timeout", "5"},
                                  {{"OVRINSMS_PLATFORM", "posix"}});
        EXPECT_EQ(q.status, 0) << q.err;
        EXPECT_NE(q.out.find("DeviceName: " + name + "\nDeviceID: 356938035643809\n"), std::string::npos) << q.out;
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the simulator's log: " << read_text(d.file("devicesim.log"));
}

}  // namespace
}  // namespace ovr::test
