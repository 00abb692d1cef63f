// The simulated services' servers in-process, on a fake clock: the ports
// they take, the web interface's login, the bounds on a request, and the
// ports that speak no protocol.
#include <gtest/gtest.h>

#include <thread>

#include "config/directories.h"
#include "config/support.h"
#include "listeners.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "service/status.h"
#include "support/loopback.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

using gwsim::Listeners;
using gwsim::PortKind;

struct Site {
    ScratchDir dir;
    config::Directories dirs{dir.path() + "data/", dir.path() + "private/", dir.path() + "prog/"};
    config::IniPaths ini = config::ini_paths_for(dirs);
    platform::FakeClock clock;
    Site() {
        platform::fs::create_directories(dirs.program_data);
        write_text(ini.rirer, "[RIRER]\n");
        write_text(ini.mmsc, "[MMSC]\n");
    }
    void add_user(const std::string& name, const std::string& password, bool web, bool admin = false) {
        config::UserFileHandle f;
        ASSERT_TRUE(config::open_user_file(dirs.program_data, config::kGenericRead | config::kGenericWrite, f));
        config::UserRecord r;
        r.set_name(name);
        r.set_password(password);
        r.set_web_login_disabled(!web);
        r.set_administrator(admin);
        ASSERT_TRUE(config::SMSAddUser(f, r));
    }
};

std::string status_line(const std::string& reply) { return reply.substr(0, reply.find("\r\n")); }

TEST(ListenerPorts, FollowTheServerPageRulesAndStayOnLoopback) {
    Site s;
    auto ports = gwsim::ports_for(gwsim::Role::Sms, s.ini);
    ASSERT_EQ(ports.size(), 1u);   // the web interface always, on 8800 by default
    EXPECT_EQ(ports[0].port, 8800);
    EXPECT_TRUE(gwsim::ports_for(gwsim::Role::Mmsc, s.ini).empty());
    write_text(s.ini.rirer, "[RIRER]\nWebPort=70000\nSMPPPort=2775\nIPAddress=10.0.0.7\n");
    write_text(s.ini.mmsc, "[MMSC]\nWebPort=8081\n");
    ports = gwsim::ports_for(gwsim::Role::Sms, s.ini);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].port, 8800);   // no TCP port is above 65535
    EXPECT_EQ(ports[1].port, 2775);
    EXPECT_EQ(ports[1].flag_byte, service::kSecondPortByte);
    ports = gwsim::ports_for(gwsim::Role::Mmsc, s.ini);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].kind, PortKind::Mm7);
    EXPECT_EQ(ports[0].flag_byte, service::kFirstPortByte);
    EXPECT_EQ(gwsim::listen_address(s.ini), "127.0.0.1");
    write_text(s.ini.rirer, "[RIRER]\nIPAddress=127.0.0.2\n");
    EXPECT_EQ(gwsim::listen_address(s.ini), "127.0.0.2");
}

TEST(WebInterface, AsksForALoginCheckedAgainstTheUserFile) {
    Site s;
    s.add_user("alice", "s3cret", true, true);
    s.add_user("bob", "pw", false);
    Listeners l({{PortKind::Web, 0, service::kFirstPortByte}}, "127.0.0.1", s.dirs, s.clock);
    l.start();
    uint16_t port = l.bound_port(PortKind::Web);
    ASSERT_NE(port, 0);

    Exchange none = talk(port, get_request());
    EXPECT_EQ(status_line(none.reply), "HTTP/1.0 401 Unauthorized");
    EXPECT_NE(none.reply.find("\r\nWWW-Authenticate: Basic realm=\"OvrinSMS Lite\""), std::string::npos);
    EXPECT_TRUE(none.closed);
    Exchange ok = talk(port, get_request("ALICE", "s3cret"));   // names ignore case, as the user file does
    EXPECT_EQ(status_line(ok.reply), "HTTP/1.0 200 OK");
    EXPECT_NE(ok.reply.find("Logged in as alice (administrator)."), std::string::npos) << ok.reply;
    EXPECT_EQ(status_line(talk(port, get_request("alice", "S3CRET")).reply), "HTTP/1.0 401 Unauthorized");
    EXPECT_EQ(status_line(talk(port, get_request("bob", "pw")).reply), "HTTP/1.0 401 Unauthorized")
        << "web login disabled";
    EXPECT_EQ(status_line(talk(port, "POST / HTTP/1.0\r\n\r\n").reply), "HTTP/1.0 405 Method Not Allowed");

    write_text(s.ini.rirer, "[RIRER]\nWebAuth=No\n");
    Exchange open = talk(port, get_request());
    EXPECT_EQ(status_line(open.reply), "HTTP/1.0 200 OK");
    EXPECT_NE(open.reply.find("No login is required"), std::string::npos);
}

TEST(WebInterface, RequestsAreBoundedInSizeAndOnTheClock) {
    Site s;
    Listeners l({{PortKind::Web, 0, service::kFirstPortByte}}, "127.0.0.1", s.dirs, s.clock);
    l.start();
    uint16_t port = l.bound_port(PortKind::Web);
    Exchange big = talk(port, "GET / HTTP/1.0\r\nX-Fill: " + std::string(9000, 'x'));
    EXPECT_EQ(status_line(big.reply), "HTTP/1.0 431 Request Header Fields Too Large");
    EXPECT_TRUE(big.closed);
    // A request that never ends: the 5 s run out on the clock, not in real
    // time.
    std::thread later([&] {
        platform::SystemClock().sleep_ms(300);
        s.clock.advance_ms(5000);
    });
    Exchange slow = talk(port, "GET / HTTP/1.0\r\n", 4000);
    later.join();
    EXPECT_EQ(status_line(slow.reply), "HTTP/1.0 408 Request Timeout");
    EXPECT_TRUE(slow.closed);
}

// (A taken web port is tested end to end, on the Status page's line.)
TEST(Listeners, SmppAndMm7PortsAcceptAndCloseFirst) {
    Site s;
    Listeners l({{PortKind::Smpp, 0, service::kSecondPortByte}, {PortKind::Mm7, 0, service::kFirstPortByte}},
                "127.0.0.1", s.dirs, s.clock);
    l.start();
    for (PortKind k : {PortKind::Smpp, PortKind::Mm7}) {
        Exchange e = talk(l.bound_port(k), "hello\r\n", 3000);
        EXPECT_TRUE(e.connected && e.closed && e.reply.empty());
    }
    EXPECT_FALSE(l.unavailable(service::kFirstPortByte) || l.unavailable(service::kSecondPortByte));
}

}  // namespace
}  // namespace ovr::test
