// ovrinsms-gwsim: the simulated gateway services and their control command.
//
//   SMSGWNT.EXE / MMSCNT.EXE (links to this program), or
//   ovrinsms-gwsim run sms|mmsc        run as the service of that role
//   ovrinsms-gwsim ctl ...             steer the simulated gateway
//
// Both read the same environment as the console: OVRINSMS_SIM_ROOT and the
// OVRINSMS_*_DIR directories.
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "config/text.h"
#include "gateway.h"
#include "platform/dynlib.h"
#include "platform/fs.h"
#include "listeners.h"
#include "queue_work.h"
#include "samples.h"
#include "two_way.h"
#include "mm7_post.h"
#include "platform/network.h"
#include "config/ini.h"
#include "service/status.h"

using namespace ovr;

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  ovrinsms-gwsim run sms|mmsc\n"
    "  ovrinsms-gwsim ctl port-conflict sms-web|sms-smpp|mmsc-mm7|mmsc-smpp on|off\n"
    "  ovrinsms-gwsim ctl modem-error NAME [TEXT]     (no TEXT removes the error file)\n"
    "  ovrinsms-gwsim ctl route-error ROUTE [TEXT]    (the MMS route's connection error; no TEXT removes it)\n"
    "  ovrinsms-gwsim ctl event error|warning|info TEXT\n"
    "  ovrinsms-gwsim ctl rights on|off               (administrative rights)\n"
    "  ovrinsms-gwsim ctl elevation on|off            (elevation possible)\n"
    "  ovrinsms-gwsim ctl count COUNTER [N]           (add N, default 1, to today's counter)\n"
    "  ovrinsms-gwsim ctl wake sms|mmsc               (wake the running service)\n"
    "  ovrinsms-gwsim ctl delay MS                    (wait before a queued message is worked, default 1000)\n"
    "  ovrinsms-gwsim ctl scan MS                     (scan the queues this often unwoken, default 5000)\n"
    "  ovrinsms-gwsim ctl fail sms|mmsc TEXT [RETRIES] (retry with TEXT as the error; give up after RETRIES)\n"
    "  ovrinsms-gwsim ctl fail sms|mmsc off\n"
    "  ovrinsms-gwsim ctl log-after-delete on|off     (delete a worked file before logging its result)\n"
    "  ovrinsms-gwsim ctl receive sms [plain|ucs2|gsm7|all]  (drop received SMS samples, default all)\n"
    "  ovrinsms-gwsim ctl receive mms                 (drop a received MMS sample)\n"
    "  ovrinsms-gwsim ctl receive sms --from N --to N --text T  (one SMS through the keyword table)\n"
    "The services listen on loopback on the ports of RIRER.INI and MMSC.INI (none with OVRINSMS_SIM_LISTEN=off).\n";

int usage(const std::string& why) {
    std::cerr << "ovrinsms-gwsim: " << why << "\n" << kUsage;
    return 2;
}

platform::Platform sim_platform() {
    return platform::make_sim_platform(platform::get_env("OVRINSMS_SIM_ROOT"),
                                       std::make_shared<platform::SystemClock>());
}

extern "C" void on_wake(int) { gwsim::Gateway::wake_flag.store(true); }
extern "C" void on_terminate(int) { gwsim::Gateway::terminate_flag.store(true); }

int run_service(gwsim::Role role) {
    struct sigaction sa {};
    sa.sa_handler = on_wake;
    sigaction(SIGUSR1, &sa, nullptr);
    sa.sa_handler = on_terminate;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    platform::Platform p = sim_platform();
    std::unique_ptr<platform::SimServiceHost> host;
    if (platform::get_env("OVRINSMS_SIM_SERVICE").empty()) {
        // Started by hand: stand in for the service of the role.
        setenv("OVRINSMS_SIM_SERVICE", gwsim::role_info(role).service, 1);
        setenv("OVRINSMS_SIM_ROOT", p.sim_root.c_str(), 1);
    }
    host = platform::SimServiceHost::from_environment();
    if (!host) {
        std::cerr << "ovrinsms-gwsim: " << gwsim::role_info(role).service << " is already running\n";
        return 1;
    }
    config::Directories dirs = config::resolve_directories();
    config::IniPaths ini = config::ini_paths_for(dirs);
    // Bound before the block is published, so a taken port shows at once.
    std::vector<gwsim::ListenPort> ports = gwsim::ports_for(role, ini);
    std::unique_ptr<gwsim::Listeners> listeners;
    if (gwsim::listening_wanted()) {
        platform::start_network();
        listeners = std::make_unique<gwsim::Listeners>(ports, gwsim::listen_address(ini), dirs, *p.clock);
        listeners->start();
    }
    gwsim::QueueWork work(role, *p.clock, dirs, p.sim_root);
    gwsim::Gateway gw(role, p, dirs, std::move(host));
    std::vector<bool> told(ports.size(), false);
    gw.on_tick = [&](gwsim::Gateway&, bool woken) {
        work.tick(woken);
        if (!listeners) return;
        if (woken) listeners->retry_soon();
        // Each time a port is lost, one line in the event log says which.
        for (size_t i = 0; i < ports.size(); ++i) {
            bool lost = listeners->unavailable(ports[i].flag_byte);
            if (lost && !told[i])
                p.event_log->report(platform::EventType::Error, gwsim::role_info(role).event_source,
                                    {gwsim::port_in_use_text(ports[i])}, p.clock->local_now());
            told[i] = lost;
        }
    };
    gw.port_unavailable = [&listeners](size_t byte) { return listeners && listeners->unavailable(byte); };
    return gw.run();
}

bool parse_on_off(const std::string& s, bool& on) {
    if (s == "on") on = true;
    else if (s == "off") on = false;
    else return false;
    return true;
}

int ctl(const std::vector<std::string>& a) {
    if (a.empty()) return usage("ctl needs a command");
    platform::Platform p = sim_platform();
    config::Directories dirs = config::resolve_directories();
    const std::string& cmd = a[0];
    bool on = false;
    if (cmd == "port-conflict") {
        if (a.size() != 3 || !parse_on_off(a[2], on)) return usage("port-conflict PORT on|off");
        const std::string& port = a[1];
        bool sms = port == "sms-web" || port == "sms-smpp";
        if (!sms && port != "mmsc-mm7" && port != "mmsc-smpp") return usage("unknown port \"" + port + "\"");
        std::string marker = gwsim::port_marker(p.sim_root, port);
        platform::fs::create_directories(platform::fs::parent_directory(marker));
        bool ok = on ? platform::fs::write_file_atomic(marker, "") : (platform::fs::remove_file(marker), !platform::fs::exists(marker));
        if (!ok) {
            std::cerr << "ovrinsms-gwsim: cannot write " << marker << "\n";
            return 1;
        }
        // A running service picks the marker up within a tick; set the byte
        // now as well so the change shows at once.
        auto block = sms ? service::open_sms_block(*p.shared_memory) : service::open_mmsc_block(*p.shared_memory);
        bool second = port == "sms-smpp" || port == "mmsc-smpp";
        if (block) block->data()[second ? service::kSecondPortByte : service::kFirstPortByte] = on ? 1 : 0;
        return 0;
    }
    if (cmd == "modem-error" || cmd == "route-error") {
        bool route = cmd == "route-error";
        if (a.size() < 2 || a.size() > 3 || a[1].empty())
            return usage(cmd + (route ? " ROUTE [TEXT]" : " NAME [TEXT]"));
        std::string path =
            service::modem_error_path(dirs.private_data, route ? gwsim::route_error_name(a[1]) : a[1]);
        if (a.size() == 2) {
            platform::fs::remove_file(path);
            return platform::fs::exists(path) ? 1 : 0;
        }
        platform::fs::create_directories(dirs.private_data);
        if (!platform::fs::write_file_atomic(path, a[2])) {
            std::cerr << "ovrinsms-gwsim: cannot write " << path << "\n";
            return 1;
        }
        return 0;
    }
    if (cmd == "event") {
        if (a.size() != 3) return usage("event error|warning|info TEXT");
        platform::EventType t;
        if (a[1] == "error") t = platform::EventType::Error;
        else if (a[1] == "warning") t = platform::EventType::Warning;
        else if (a[1] == "info") t = platform::EventType::Information;
        else return usage("unknown event type \"" + a[1] + "\"");
        uint32_t n = p.event_log->report(t, "OvrinSMS", {a[2]}, p.clock->local_now());
        if (n == 0) {
            std::cerr << "ovrinsms-gwsim: cannot write the event log\n";
            return 1;
        }
        std::cout << n << "\n";
        return 0;
    }
    if (cmd == "rights" || cmd == "elevation") {
        if (a.size() != 2 || !parse_on_off(a[1], on)) return usage(cmd + " on|off");
        bool ok = cmd == "rights" ? platform::sim::set_rights(p.sim_root, on)
                                  : platform::sim::set_elevation_allowed(p.sim_root, on);
        return ok ? 0 : 1;
    }
    if (cmd == "count") {
        if (a.size() < 2 || a.size() > 3 || a[1].empty() || a[1].find('/') != std::string::npos)
            return usage("count COUNTER [N]");
        uint32_t n = a.size() == 3 ? config::leading_decimal(a[2]) : 1;
        return gwsim::bump_counter(dirs.private_data, a[1], p.clock->local_now(), n) ? 0 : 1;
    }
    if (cmd == "wake") {
        if (a.size() != 2 || (a[1] != "sms" && a[1] != "mmsc")) return usage("wake sms|mmsc");
        const char* name = a[1] == "sms" ? service::kSmsServiceName : service::kMmscServiceName;
        if (!service::is_service_running(*p.services, name)) {
            std::cerr << "ovrinsms-gwsim: " << name << " is not running\n";
            return 1;
        }
        auto status = platform::fs::read_file(platform::sim::service_dir(p.sim_root, name) + "status", 4096);
        size_t at = status ? status->find("pid=") : std::string::npos;
        int pid = at == std::string::npos ? 0 : atoi(status->c_str() + at + 4);
        if (pid <= 0 || kill(pid, SIGUSR1) != 0) return 1;
        return 0;
    }
    if (cmd == "delay" || cmd == "scan") {
        size_t n = 0;
        if (a.size() != 2 || a[1].empty() || a[1].find_first_not_of("0123456789") != std::string::npos ||
            a[1].size() > 9)
            return usage(cmd + " MS");
        n = std::stoul(a[1]);
        bool ok = cmd == "delay" ? gwsim::write_delay(p.sim_root, static_cast<uint32_t>(n))
                                 : gwsim::write_scan_interval(p.sim_root, static_cast<uint32_t>(n));
        return ok ? 0 : 1;
    }
    if (cmd == "log-after-delete") {
        if (a.size() != 2 || !parse_on_off(a[1], on)) return usage("log-after-delete on|off");
        return gwsim::write_log_after_delete(p.sim_root, on) ? 0 : 1;
    }
    if (cmd == "fail") {
        if (a.size() < 3 || a.size() > 4 || (a[1] != "sms" && a[1] != "mmsc"))
            return usage("fail sms|mmsc TEXT [RETRIES] | fail sms|mmsc off");
        gwsim::Role role = a[1] == "sms" ? gwsim::Role::Sms : gwsim::Role::Mmsc;
        if (a[2] == "off") {
            if (a.size() != 3) return usage("fail sms|mmsc off");
            return gwsim::write_fail(p.sim_root, role, std::nullopt, -1) ? 0 : 1;
        }
        int32_t retries = -1;
        if (a.size() == 4) {
            if (a[3].empty() || a[3].size() > 9 || a[3].find_first_not_of("0123456789") != std::string::npos)
                return usage("RETRIES is a number");
            retries = static_cast<int32_t>(std::stol(a[3]));
        }
        if (a[2].empty()) return usage("the error TEXT is empty");
        return gwsim::write_fail(p.sim_root, role, a[2], retries) ? 0 : 1;
    }
    if (cmd == "receive" && a.size() > 2 && a[1] == "sms" && a[2].rfind("--", 0) == 0) {
        // One SMS as the modem would deliver it, through the keyword table.
        gwsim::ReceivedSms sms;
        for (size_t i = 2; i < a.size(); i += 2) {
            if (i + 1 >= a.size()) return usage("receive sms --from N --to N --text T");
            if (a[i] == "--from")
                sms.from = a[i + 1];
            else if (a[i] == "--to")
                sms.to = a[i + 1];
            else if (a[i] == "--text")
                sms.text = a[i + 1];
            else
                return usage("unknown option \"" + a[i] + "\"");
        }
        if (sms.from.empty() || sms.text.empty()) return usage("receive sms --from N --to N --text T");
        config::IniPaths ini = config::ini_paths_for(dirs);
        if (!config::is_yes_value(config::ini::read_string(ini.rirer, "RIRER", "ReceiveSMS", "No", 16))) {
            std::cout << "received SMS processing is off\n";
            return 0;
        }
        gwsim::bump_counter(dirs.private_data, "SMSRECEIVED", p.clock->local_now(), 1);
        for (const std::string& line : gwsim::apply_two_way(dirs, sms, *p.clock)) std::cout << line << "\n";
        return 0;
    }
    if (cmd == "receive") {
        if (a.size() < 2 || a.size() > 3 || (a[1] != "sms" && a[1] != "mms"))
            return usage("receive sms [plain|ucs2|gsm7|all] | receive mms");
        platform::LocalTime now = p.clock->local_now();
        std::vector<std::string> written;
        bool ok = true;
        if (a[1] == "mms") {
            if (a.size() != 2) return usage("receive mms");
            std::string path = gwsim::drop_received_mms(dirs, now);
            ok = !path.empty();
            if (ok) {
                written.push_back(path);
                gwsim::bump_counter(dirs.private_data, "MMSIN-MODEM", now, 1);
                // Routed via MM7: the MMSC posts it to the receiver.
                if (gwsim::mms_routed_to_mm7(dirs)) {
                    platform::start_network();
                    gwsim::PostResult posted = gwsim::post_received_mms(dirs, path);
                    std::cout << (posted.delivered ? "posted: " : "not posted: ") << posted.status << "\n";
                    if (!posted.delivered) ok = false;
                }
            }
        } else {
            std::string which = a.size() == 3 ? a[2] : "all";
            std::vector<gwsim::SmsSample> kinds;
            if (which == "plain" || which == "all") kinds.push_back(gwsim::SmsSample::Plain);
            if (which == "ucs2" || which == "all") kinds.push_back(gwsim::SmsSample::Ucs2);
            if (which == "gsm7" || which == "all") kinds.push_back(gwsim::SmsSample::Gsm7);
            if (kinds.empty()) return usage("unknown SMS sample \"" + which + "\"");
            for (gwsim::SmsSample k : kinds) {
                std::string path = gwsim::drop_received_sms(dirs, k, now);
                if (path.empty()) {
                    ok = false;
                    break;
                }
                written.push_back(path);
                gwsim::bump_counter(dirs.private_data, "SMSRECEIVED", now, 1);
            }
        }
        for (const std::string& w : written) std::cout << w << "\n";
        if (!ok) std::cerr << "ovrinsms-gwsim: cannot write the received " << a[1] << " sample\n";
        return ok ? 0 : 1;
    }
    return usage("unknown ctl command \"" + cmd + "\"");
}

}  // namespace

int main(int argc, char** argv) {
    std::string self = platform::fs::base_name(argc > 0 ? argv[0] : "");
    if (config::equal_ignoring_case(self, "SMSGWNT.EXE")) return run_service(gwsim::Role::Sms);
    if (config::equal_ignoring_case(self, "MMSCNT.EXE")) return run_service(gwsim::Role::Mmsc);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage("no command");
    if (args[0] == "run") {
        if (args.size() != 2) return usage("run sms|mmsc");
        if (args[1] == "sms") return run_service(gwsim::Role::Sms);
        if (args[1] == "mmsc") return run_service(gwsim::Role::Mmsc);
        return usage("unknown role \"" + args[1] + "\"");
    }
    if (args[0] == "ctl") return ctl(std::vector<std::string>(args.begin() + 1, args.end()));
    if (args[0] == "help" || args[0] == "--help") {
        std::cout << kUsage;
        return 0;
    }
    return usage("unknown command \"" + args[0] + "\"");
}
