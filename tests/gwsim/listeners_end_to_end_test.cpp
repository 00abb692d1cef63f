// The simulated gateway as the console meets it, through the real programs:
// a web port another program holds shows on the Status page's line, a user
// added with ovrinsmsctl logs in to the web interface, a route error reaches
// the Test Message page's MMS line, and a service that deletes before it
// logs still ends the test "OK".
#include <gtest/gtest.h>

#include <stdlib.h>

#include <functional>
#include <memory>

#include "config/directories.h"
#include "pages/test_message.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/platform.h"
#include "platform/ui.h"
#include "support/loopback.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

namespace fs = platform::fs;

struct Gateway {
    ScratchDir dir;
    std::string sim = dir.path() + "sim/";
    config::Directories dirs{dir.path() + "data/", dir.path() + "private/", dir.path() + "prog/"};
    std::map<std::string, std::string> env{{"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_ROOT", sim},
                                           {"OVRINSMS_DATA_DIR", dirs.program_data},
                                           {"OVRINSMS_PRIVATE_DIR", dirs.private_data},
                                           {"OVRINSMS_PROGRAM_DIR", dirs.real_program},
                                           {"OVRINSMS_SIM_LISTEN", "on"}};
    uint16_t web = free_port();
    Gateway() {
        for (const std::string& d : {dirs.program_data, dirs.private_data, dirs.real_program})
            fs::create_directories(d);
        write_text(dirs.real_program + "MMSTEST.MMS", "MMS template");
        gwsim({"ctl", "delay", "50"});
        gwsim({"ctl", "scan", "200"});
    }
    ~Gateway() { ctl({"service", "remove", "--quiet"}); }
    RunResult ctl(const std::vector<std::string>& args, const std::string& input = {}) {
        return run_program("ovrinsmsctl", args, env, input);
    }
    RunResult gwsim(const std::vector<std::string>& args) { return run_program("ovrinsms-gwsim", args, env); }
    void install(uint16_t port) {
        ASSERT_EQ(ctl({"config", "set", "RIRER", "RIRER", "WebPort", std::to_string(port)}).status, 0);
        RunResult r = ctl({"service", "install", "--quiet"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
};

// The Test Message page of a console on the gateway, in this process; its
// browser only records what it is asked to open (<sim root>desktop.log).
struct ConsolePage {
    platform::Platform p;
    ScriptedUi ui;
    pages::Context ctx;
    std::unique_ptr<pages::TestMessagePage> page;
    explicit ConsolePage(Gateway& g) {
        setenv("OVRINSMS_SIM_DESKTOP", "record", 1);
        p = platform::make_sim_platform(g.sim, std::make_shared<platform::SystemClock>());
        unsetenv("OVRINSMS_SIM_DESKTOP");
        ctx.dirs = g.dirs;
        ctx.ini = config::ini_paths_for(g.dirs);
        ctx.ui = &ui;
        ctx.platform = &p;
        page = std::make_unique<pages::TestMessagePage>(ctx, false, bin_path(""));
    }
};

std::string status_line(const std::string& reply) { return reply.substr(0, reply.find("\r\n")); }

TEST(GatewayListeners, AWebPortAnotherProgramHoldsShowsAsInUseUntilItIsFree) {
    Gateway g;
    PortHolder holder;
    g.install(holder.port());
    std::string out;
    EXPECT_TRUE(eventually([&] {
        out = g.ctl({"status"}).out;
        return out.find("ERROR:  Web Port already in use") != std::string::npos;
    })) << out;
    // The status block tells at once; the event line follows on the service's next tick.
    const std::string line = "Error: The web interface port " + std::to_string(holder.port()) + " is already in use.\n";
    EXPECT_TRUE(eventually([&] {
        out = g.ctl({"events"}).out;
        return out.find(line) != std::string::npos;
    })) << out;
    holder.release();
    // Woken, the service tries the port again at once.
    ASSERT_EQ(g.gwsim({"ctl", "wake", "sms"}).status, 0);
    EXPECT_TRUE(eventually([&] {
        out = g.ctl({"status"}).out;
        return out.find("  Service is Active\n") != std::string::npos;
    })) << out;
    EXPECT_EQ(status_line(talk(holder.port(), get_request()).reply), "HTTP/1.0 401 Unauthorized");
}

TEST(GatewayListeners, AUserAddedOnTheCommandLineLogsInToTheWebInterface) {
    Gateway g;
    RunResult r = g.ctl({"users", "add", "alice", "--web-login", "on", "--password-stdin"}, "s3cret\n");
    ASSERT_EQ(r.status, 0) << r.err;
    g.install(g.web);
    Exchange ok;
    EXPECT_TRUE(eventually([&] { return (ok = talk(g.web, get_request("alice", "s3cret"))).connected; }));
    EXPECT_EQ(status_line(ok.reply), "HTTP/1.0 200 OK") << ok.reply;
    EXPECT_EQ(status_line(talk(g.web, get_request("alice", "wrong")).reply), "HTTP/1.0 401 Unauthorized");
    // "Test Using Web Interface" sends the browser where the service listens,
    // and it asks for the login.
    ConsolePage console(g);
    console.page->press_web();
    std::string url = "http://127.0.0.1:" + std::to_string(g.web) + "/";
    EXPECT_EQ(read_text(g.sim + "desktop.log"), "open " + url + "\n");
    EXPECT_EQ(status_line(talk(g.web, get_request()).reply), "HTTP/1.0 401 Unauthorized");
}

TEST(GatewayListeners, ARouteErrorReachesTheTestMessagePagesMmsLineUntilItClears) {
    Gateway g;
    g.install(g.web);
    ASSERT_EQ(g.gwsim({"ctl", "route-error", "ovrinsmslite", "Connection refused by MMSC"}).status, 0);
    ConsolePage console(g);
    pages::TestMessagePage& page = *console.page;
    page.set_phone_number("+15551234");
    page.tick();
    page.press_send_mms();
    ASSERT_TRUE(console.ctx.tests.mms.pending) << (console.ui.boxes.empty() ? "" : console.ui.boxes.back().text);
    auto shows = [&](const std::string& first) {
        return eventually([&] {
            page.tick();
            return page.mms_status().text == first;
        });
    };
    EXPECT_TRUE(shows("Status:  Connection Error"));
    EXPECT_EQ(page.mms_detail().text, "Connection refused by MMSC");
    ASSERT_EQ(g.gwsim({"ctl", "route-error", "ovrinsmslite"}).status, 0);
    EXPECT_TRUE(shows("Status:  OK -- Message Sent")) << page.mms_status().text;
}

TEST(GatewayListeners, AServiceThatDeletesBeforeItLogsStillEndsTheTestOk) {
    Gateway g;
    g.install(g.web);
    ASSERT_EQ(g.gwsim({"ctl", "log-after-delete", "on"}).status, 0);
    RunResult r = g.ctl({"queue", "send-test", "sms", "+15551234", "--wait", "--timeout", "60"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Status:  Waiting\nStatus:  OK -- Message Sent\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace ovr::test
