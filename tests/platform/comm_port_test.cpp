// Termios ports on real ptys: names, exclusive opens, one-byte writes and the
// two read modes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/comm_port.h"
#include "support/pty.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

using platform::CommTimeouts;
using platform::ReadOutcome;

TEST(CommPortNames, MapThroughTheDeviceFolderThenTheDevices) {
    ScratchDir d;
    mkdir(d.file("map").c_str(), 0755);
    mkdir(d.file("dev").c_str(), 0755);
    ASSERT_EQ(symlink("/dev/null", d.file("map/COM7").c_str()), 0);
    const std::string map = d.file("map"), dev = d.file("dev/");
    EXPECT_EQ(platform::map_port_name("com7:", dev, map), map + "/COM7");   // the link, whatever its case
    EXPECT_EQ(platform::map_port_name("COM3:", dev, map), dev + "ttyS2");
    EXPECT_EQ(platform::map_port_name("COM0:", dev, map), "");
    EXPECT_EQ(platform::map_port_name("COM3", dev, map), "");              // not a port name
    EXPECT_EQ(platform::map_port_name("\\\\.\\ttyUSB2", dev, map), dev + "ttyUSB2");
    EXPECT_EQ(platform::map_port_name("\\\\.\\../etc/passwd", dev, map), "");
    EXPECT_EQ(platform::map_port_name("/dev/pts/3", dev, map), "/dev/pts/3");
    mkdir(d.file("dev/serial").c_str(), 0755);
    mkdir(d.file("dev/serial/by-id").c_str(), 0755);
    ASSERT_EQ(symlink("/dev/null", d.file("dev/serial/by-id/usb-Ovrin_GSM").c_str()), 0);
    EXPECT_EQ(platform::map_port_name("\\\\.\\usb-Ovrin_GSM", dev, map), dev + "serial/by-id/usb-Ovrin_GSM");
}

TEST(CommPortNames, DefinitionStrings) {
    auto s = platform::build_line_settings("baud=57600 parity=N data=8 stop=1");
    ASSERT_TRUE(s);
    EXPECT_EQ(*s, (platform::LineSettings{57600, 'N', 8, 1}));
    EXPECT_FALSE(platform::build_line_settings("baud=0 parity=N data=8 stop=1"));
    EXPECT_FALSE(platform::build_line_settings("parity=N data=8"));
    EXPECT_FALSE(platform::build_line_settings("baud=9600 flow=x"));
    EXPECT_FALSE(platform::build_line_settings("baud=99999999999999"));
}

struct PortBench {
    std::shared_ptr<platform::FakeClock> clock = std::make_shared<platform::FakeClock>();
    PtyPair pty;
    std::shared_ptr<platform::CommPorts> ports = platform::make_posix_comm_ports(clock);
    std::unique_ptr<platform::CommPort> port;
    PortBench() {
        platform::SystemError e;
        port = ports->open(pty.slave_path(), e);
        if (port) port->set_state({115200});
    }
};

TEST(CommPort, SecondOpenerIsRefusedAsInUse) {
    PortBench b;
    ASSERT_TRUE(b.port);
    platform::SystemError e;
    EXPECT_FALSE(b.ports->open(b.pty.slave_path(), e));
    EXPECT_EQ(e.code, EBUSY);
    EXPECT_TRUE(e.in_use);
    b.port.reset();
    EXPECT_TRUE(b.ports->open(b.pty.slave_path(), e));   // free again once closed
    EXPECT_FALSE(b.ports->open("COM999:", e));
    EXPECT_EQ(e.code, ENOENT);
    EXPECT_FALSE(e.in_use);
}

TEST(CommPort, ImmediateReadsReturnWhatIsThere) {
    PortBench b;
    ASSERT_TRUE(b.port->set_timeouts({platform::kMaxDword, 0, 0, 0, 0}));
    for (char c : std::string("AT\r")) EXPECT_EQ(b.port->write_byte(static_cast<uint8_t>(c), 11000), platform::WriteStatus::Written);
    EXPECT_EQ(b.pty.read_now(), "AT\r");
    ReadOutcome r = b.port->read(499, 1000);
    EXPECT_EQ(r.kind, ReadOutcome::AtOnce);
    EXPECT_EQ(r.data, "");
    EXPECT_EQ(b.clock->tick_ms(), 0u);   // no waiting at all
    b.pty.write("\r\nOK\r\n");
    r = b.port->read(3, 1000);
    EXPECT_EQ(r.data, "\r\nO");          // never more than the room given
    EXPECT_EQ(b.port->read(499, 1000).data, "K\r\n");
}

TEST(CommPort, WaitingReadsFollowTheTimeouts) {
    PortBench b;
    ASSERT_TRUE(b.port->set_timeouts({200, 0, 1000, 0, 2000}));
    // Silent line: the read completes empty at the total time-out.
    ReadOutcome r = b.port->read(499, 5000);
    EXPECT_EQ(r.kind, ReadOutcome::Completed);
    EXPECT_EQ(r.data, "");
    EXPECT_GE(b.clock->tick_ms(), 1000u);
    EXPECT_LT(b.clock->tick_ms(), 1100u);
    // A caller's wait shorter than that: the read is abandoned, and what
    // arrives meanwhile is kept for the next read.
    b.pty.write("\r\nOK\r\n");
    r = b.port->read(2, 50);
    EXPECT_EQ(r.kind, ReadOutcome::Completed);   // the room filled at once
    EXPECT_EQ(r.data, "\r\n");
    r = b.port->read(499, 100);
    EXPECT_EQ(r.kind, ReadOutcome::Incomplete);   // still within the interval
    r = b.port->read(499, 300);
    EXPECT_EQ(r.kind, ReadOutcome::Completed);   // the interval passed
    EXPECT_EQ(r.data, "OK\r\n");
    ASSERT_TRUE(b.port->set_timeouts({0, 0, 0, 0, 0}));
    r = b.port->read(499, 50);
    EXPECT_EQ(r.kind, ReadOutcome::Incomplete);
}

TEST(CommPort, HungUpLineFailsTheRead) {
    auto clock = std::make_shared<platform::FakeClock>();
    auto ports = platform::make_posix_comm_ports(clock);
    std::unique_ptr<platform::CommPort> port;
    {
        PtyPair pty;
        platform::SystemError e;
        port = ports->open(pty.slave_path(), e);
        ASSERT_TRUE(port);
        port->set_timeouts({platform::kMaxDword, 0, 0, 0, 0});
    }
    EXPECT_EQ(port->read(499, 1000).kind, ReadOutcome::Failed);
}

}  // namespace
}  // namespace ovr::test
