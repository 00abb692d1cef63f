#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "config/interface_events.h"
#include "platform/fs.h"
#include "support/scratch.h"

using namespace ovr::config;
using ovr::platform::fs::base_name;
using ovr::platform::fs::exists;
using ovr::platform::fs::parent_directory;
using ovr::test::read_text;
using ovr::test::ScratchDir;
using ovr::test::write_text;

TEST(InterfaceEvents, WithoutListenerASignalDoesNothing) {
    ScratchDir d;
    signal_interface(d.path(), "SMSOut", "COM7:");
    EXPECT_FALSE(exists(d.file("EVENTS")));

    // A listener that has gone leaves its FIFO without a reader: still nothing.
    { auto gone = InterfaceEventListener::create(d.path(), "SMSOut", "COM7:"); ASSERT_TRUE(gone); }
    signal_interface(d.path(), "SMSOut", "COM7:");
    auto again = InterfaceEventListener::create(d.path(), "SMSOut", "COM7:");
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->wait(0));
}

TEST(InterfaceEvents, SignalsWakeTheirListenerOnceAndOnlyTheirs) {
    ScratchDir d;
    auto modem = InterfaceEventListener::create(d.path(), "SMSOut", "COM7:");
    auto route = InterfaceEventListener::create(d.path(), "VASPOut", "COM7:");
    ASSERT_TRUE(modem && route);
    EXPECT_FALSE(modem->wait(0));
    for (int i = 0; i < 3; ++i) signal_interface(d.path(), "SMSOut", "com7:");
    EXPECT_TRUE(modem->wait(0));
    EXPECT_FALSE(modem->wait(0)) << "signals coalesce into one wake-up";
    EXPECT_FALSE(route->wait(0));

    signal_interface(d.path(), "VASPOut", "COM7:");
    EXPECT_TRUE(route->drain());
    EXPECT_FALSE(route->drain());
}

TEST(InterfaceEvents, WakesAWaitingListener) {
    ScratchDir d;
    setenv("OVRINSMS_PRIVATE_DIR", d.path().c_str(), 1);
    auto l = InterfaceEventListener::create(d.path(), "VASPOut", "ovrinsmslite");
    ASSERT_TRUE(l);
    std::thread t([] { SetEventForInterface("VASPOut", "ovrinsmslite"); });
    // The limit only guards against a hang; the signal ends the wait.
    EXPECT_TRUE(l->wait(30000));
    t.join();
    unsetenv("OVRINSMS_PRIVATE_DIR");
}

TEST(InterfaceEvents, NamesBecomeSafeDistinctFileNames) {
    std::string dir = "/p/";
    std::string events = "/p/EVENTS/";
    for (const std::string& name : std::vector<std::string>{"COM7:", "Standard 33600 bps Modem/2", "../../etc/passwd", std::string(300, 'x')}) {
        std::string p = interface_event_path(dir, "SMSOut", name);
        EXPECT_EQ(parent_directory(p), events) << name;
        EXPECT_LE(base_name(p).size(), 200u) << name;
    }
    EXPECT_EQ(interface_event_path(dir, "SMSOut", "COM7:"), "/p/EVENTS/SMSOUT-COM7_3A.fifo");
    EXPECT_EQ(interface_event_path(dir, "smsout", "com7:"), interface_event_path(dir, "SMSOut", "COM7:"));
    EXPECT_NE(interface_event_path(dir, "SMSOut", "a b"), interface_event_path(dir, "SMSOut", "a_b"));
    EXPECT_NE(interface_event_path(dir, "SMSOut", std::string(300, 'x') + "1"),
              interface_event_path(dir, "SMSOut", std::string(300, 'x') + "2"));
}

TEST(InterfaceEvents, AFileInTheWayIsNeverWrittenAndIsReplaced) {
    ScratchDir d;
    std::string path = interface_event_path(d.path(), "SMSOut", "COM1:");
    ASSERT_TRUE(ovr::platform::fs::create_directories(parent_directory(path)));
    write_text(path, "keep");
    signal_interface(d.path(), "SMSOut", "COM1:");
    EXPECT_EQ(read_text(path), "keep");
    auto l = InterfaceEventListener::create(d.path(), "SMSOut", "COM1:");
    ASSERT_TRUE(l);
    signal_interface(d.path(), "SMSOut", "COM1:");
    EXPECT_TRUE(l->wait(0));
}
