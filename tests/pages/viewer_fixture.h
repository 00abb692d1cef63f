// A gateway data tree with the four message directories, the simulated
// platform on a fake clock and a scripted Ui, for the viewer tests.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

#include "config/directories.h"
#include "pages/page.h"
#include "platform/platform.h"
#include "platform/ui.h"
#include "support/scratch.h"

namespace ovr::test {

struct ViewerTree {
    ScratchDir d;
    std::shared_ptr<platform::FakeClock> clock = std::make_shared<platform::FakeClock>();
    platform::Platform plat;
    ScriptedUi ui;
    pages::Context ctx;

    ViewerTree() {
        ctx.dirs = {d.path() + "data/", d.path() + "private/", d.path() + "program/"};
        mkdir(ctx.dirs.program_data.c_str(), 0755);
        mkdir(ctx.dirs.private_data.c_str(), 0755);
        mkdir(ctx.dirs.real_program.c_str(), 0755);
        for (const char* sub : {"Q", "VASPQ", "SMS-IN", "MMS-IN"}) mkdir(data(sub).c_str(), 0755);
        ctx.ini = config::ini_paths_for(ctx.dirs);
        plat = platform::make_sim_platform(d.path() + "sim/", clock);
        ctx.platform = &plat;
        ctx.ui = &ui;
    }
    std::string data(const std::string& rel) const { return ctx.dirs.program_data + rel; }
    std::string outbound_sms(const std::string& rel) const { return data("Q/" + rel); }
    std::string outbound_mms(const std::string& rel) const { return data("VASPQ/" + rel); }
    std::string received_sms(const std::string& rel) const { return data("SMS-IN/" + rel); }
    std::string received_mms(const std::string& rel) const { return data("MMS-IN/" + rel); }

    void request(const std::string& name, const std::string& number, const std::string& user = "web") {
        write_text(outbound_sms(name), "[SMS]\r\nPhoneNumber=" + number + "\r\nSubmitUser=" + user + "\r\n");
    }
    void mms_pair(const std::string& base, const std::string& recipient) {
        write_text(outbound_mms(base + ".MMS"), "mms");
        write_text(outbound_mms(base + ".INI"),
                   "[Routing]\r\nSenderAddress=+1555\r\n[Recipients]\r\nRecip1=" + recipient + "/TYPE=PLMN\r\n");
    }
    void received(const std::string& name, const std::string& sender, const std::string& text) {
        write_text(received_sms(name), "[SMS-IN]\r\nSender=" + sender + "\r\nPhoneNumber=+1000\r\nData=" + text + "\r\n");
    }
    void mms_header(const std::string& base, const std::string& body) {
        mkdir(received_mms(base).c_str(), 0755);
        write_text(received_mms(base + "/part.txt"), "hello");
        write_text(received_mms(base + ".HDR"), body);
    }
};

}  // namespace ovr::test
