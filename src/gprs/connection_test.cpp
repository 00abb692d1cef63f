#include "gprs/connection_test.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <thread>

#include <sys/stat.h>

#include "config/ini.h"
#include "config/text.h"
#include "keywords/table.h"
#include "platform/dynlib.h"
#include "platform/fs.h"
#include "service/control.h"

namespace ovr::gprs {
namespace {

namespace ini = config::ini;
namespace fs = platform::fs;

constexpr size_t kValueBuffer = 250;  // each value up to 249 characters

std::string test_file(const TestEnv& env) { return env.dirs.program_data + kTestFile; }

std::string new_run_id() {
    std::random_device rd;
    char buf[17];
    std::snprintf(buf, sizeof buf, "%08x%08x", rd(), rd());
    return buf;
}

bool admin(const TestEnv& env) {
    if (env.has_admin_rights) return env.has_admin_rights();
    uint32_t error = 0;
    return env.platform && env.platform->services &&
           env.platform->services->open_manager(platform::kManagerAllAccess, error) != nullptr;
}

bool contains_ci(const std::string& text, std::string_view what) {
    std::string t = text, w(what);
    for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return t.find(w) != std::string::npos;
}

platform::Elevation::Outcome start_copy(const TestEnv& env) {
    std::vector<std::string> vars = directory_environment(env.dirs);
    if (env.platform && env.platform->backend == platform::Backend::Sim) {
        vars.push_back("OVRINSMS_PLATFORM=sim");
        vars.push_back("OVRINSMS_SIM_ROOT=" + env.platform->sim_root);
    }
    std::string program = env.program.empty() ? platform::executable_path() : env.program;
    int pid = 0;
    if (program.empty() || platform::spawn_process({program, kTestSwitch}, vars, false, pid) != 0)
        return platform::Elevation::Outcome::NotStarted;
    return platform::wait_child(pid, *env.platform->clock, env.wait_ms) ? platform::Elevation::Outcome::Ended
                                                                         : platform::Elevation::Outcome::StillRunning;
}

}  // namespace

bool dial_safe(const std::string& v) {
    for (unsigned char c : v)
        if (c == '"' || c == '\\' || c < 0x20 || c == 0x7f) return false;
    return true;
}

std::vector<std::string> directory_environment(const config::Directories& dirs) {
    return {"OVRINSMS_DATA_DIR=" + dirs.program_data, "OVRINSMS_PRIVATE_DIR=" + dirs.private_data,
            "OVRINSMS_PROGRAM_DIR=" + dirs.real_program};
}

std::string dial_verdict(int result, const GprsLibrary* lib) {
    if (result == 0) return kVerdictOk;
    if (result == 1) return kVerdictNoGateway;
    std::string v = kVerdictFailed;
    if (result >= 600 && result <= 799) {
        char line[64];
        std::snprintf(line, sizeof line, "\r\nRAS Error %u\r\n", static_cast<unsigned>(result));
        v += line;
        if (lib && lib->error_string) {
            char text[500] = {};
            if (lib->error_string(static_cast<uint32_t>(result), text, sizeof text - v.size()) == 0)
                v.append(text, strnlen(text, sizeof text - 1));
        }
        if (v.size() > 499) v.resize(499);
    }
    return v;
}

bool RunConnectionTest(const TestEnv& env, const TestSettings& s) {
    Ui& ui = *env.ui;
    const std::string path = test_file(env);
    std::string proxy = s.proxy;
    if (proxy.size() >= 7 && config::equal_ignoring_case(std::string_view(proxy).substr(0, 7), "http://"))
        proxy.erase(0, 7);
    const std::string run = new_run_id();
    // A new file, readable by its owner only: it holds the APN password.
    fs::remove_file(path);
    std::vector<ini::ProfileWrite> keys{{kTestSection, "WAPGatewayIP", proxy},   {kTestSection, "APN", s.apn},
                                  {kTestSection, "APNLogin", s.login},     {kTestSection, "APNPass", s.password},
                                  {kTestSection, "ModemName", s.modem_name}, {kTestSection, "RunId", run}};
    if (s.dial_up_profile) keys.push_back({kTestSection, "DialUpProfile", *s.dial_up_profile});
    if (!ini::write_profiles(path, keys)) {
        ui.error(kVerdictInternal);
        return false;
    }
    ::chmod(path.c_str(), 0600);

    bool direct = admin(env) || (env.platform->elevation && env.platform->elevation->legacy_system());
    bool passed = false;
    if (direct || (env.platform->elevation && env.platform->elevation->possible() &&
                   ui.message(service::kElevationPrompt, Icon::None, Buttons::YesNoCancel) == Answer::Yes)) {
        for (;;) {
            platform::Elevation::Outcome outcome;
            {
                BusyScope busy(ui, "Testing the operator MMS connection...");
                if (direct)
                    outcome = start_copy(env);
                else
                    outcome = env.platform->elevation->relaunch_with(kTestSwitch, directory_environment(env.dirs),
                                                                      env.wait_ms);
            }
            if (outcome == platform::Elevation::Outcome::NotStarted) break;
            std::string result =
                keywords::unescape_line_breaks(ini::read_string(path, kTestSection, "Result", "", 1001));
            // Only this run's verdict counts.
            if (ini::read_string(path, kTestSection, "RunId", "", kValueBuffer) != run) result.clear();
            if (result.empty()) {
                ui.error(outcome == platform::Elevation::Outcome::StillRunning ? kNoVerdictInTime : kNoVerdict);
                break;
            }
            if (contains_ci(result, "OK!")) {
                passed = true;
                ui.information(result);
                break;
            }
            if (ui.message(result, Icon::Error, Buttons::RetryCancel) != Answer::Retry) break;
            // A retry is a new run: the old verdict must not be read again.
            ini::write_profiles(path, {{kTestSection, "Result", std::nullopt}});
        }
    }
    fs::remove_file(path);
    return passed;
}

namespace {

struct DialState {
    std::atomic<bool> done{false};
    int result = -1;
    std::string profile, apn, login, password, gateway;
};

bool reboot(const TestEnv& env) {
    if (env.request_reboot) return env.request_reboot();
    if (env.platform && env.platform->backend == platform::Backend::Sim) {
        fs::create_directories(env.platform->sim_root);
        return fs::write_file_atomic(env.platform->sim_root + "reboot-requested", "reboot\n");
    }
    if (!fs::is_directory("/run/systemd/system")) return false;
    int pid = 0;
    return platform::spawn_process({"systemctl", "reboot"}, {}, true, pid) == 0;
}

}  // namespace

void RunModemTestSwitch(const TestEnv& env, const GprsLibrary* lib) {
    const std::string path = test_file(env);
    auto verdict = [&](const std::string& text, const std::string& run) {
        // A verdict of several lines stays one INI line.
        ini::write_profiles(path, {{kTestSection, "Result", keywords::escape_line_breaks(text)},
                                  {kTestSection, "RunId", run}});
    };
    // Run with rights over a directory the user can write: a link there
    // could aim this copy's writes anywhere.
    if (fs::is_symlink(path) || !fs::regular_file_exists(path)) return;
    auto value = [&](const char* key) { return ini::read_string(path, kTestSection, key, "", kValueBuffer); };
    const std::string run = value("RunId");
    if (!admin(env)) {
        verdict(kVerdictRights, run);
        env.ui->error(kVerdictRights);
        return;
    }
    auto st = std::make_shared<DialState>();
    st->gateway = value("WAPGatewayIP");
    st->apn = value("APN");
    st->login = value("APNLogin");
    st->password = value("APNPass");
    std::string modem = value("ModemName");
    st->profile = value("DialUpProfile");
    if (st->profile.empty()) st->profile = "Modem: " + modem;
    if (!lib) {
        verdict(kVerdictInternal, run);
        return;
    }
    for (const std::string* v : {&st->gateway, &st->apn, &st->login, &st->password, &modem, &st->profile}) {
        if (!dial_safe(*v)) {
            verdict(std::string(kVerdictFailed) + "\r\nSettings holding quotes, backslashes or control characters "
                                                  "cannot be dialled.",
                    run);
            return;
        }
    }
    int reason = 0;
    intptr_t handle = lib->modem_allocate(modem.c_str(), 30000, &reason);
    if (handle == 0) {
        verdict(kVerdictModemInUse, run);
        return;
    }
    const bool modem_profile = st->profile.rfind("Modem: ", 0) == 0;
    if (lib->cid_for_apn && !st->apn.empty() && modem_profile) {
        std::string name = st->profile.substr(7);
        if (lib->cid_for_apn(name.c_str(), st->apn.c_str(), 0) == 0) {
            uint16_t updated = lib->cid_for_apn(name.c_str(), st->apn.c_str(), 1);
            if (updated != 0 && updated != lib->cid_for_apn(name.c_str(), st->apn.c_str(), 0) && lib->driver_update &&
                lib->driver_update(name.c_str(), st->apn.c_str()) &&
                env.ui->ask_yes_no(kRebootQuestion)) {
                // The reboot takes the modem back from this copy; hand it
                // back now in case the reboot is refused.
                lib->modem_release(handle);
                reboot(env);
                verdict(kVerdictRestart, run);
                return;
            }
        }
    }
    // The dial runs on its own thread so that a library that never answers
    // cannot hold the modem past the page's wait: this copy gives up first.
    // It holds what it calls by value: it may outlive this run and the
    // library object.
    std::thread([st, dial = lib->dial, hang_up = lib->hang_up, keep = lib->keep_loaded()] {
        st->result = dial(st->profile.c_str(), st->apn.c_str(), st->login.c_str(), st->password.c_str(),
                          st->gateway.c_str());
        if (st->result == 0) hang_up(st->profile.c_str());
        st->done = true;
    }).detach();
    platform::Clock& clock = *env.platform->clock;
    uint64_t start = clock.tick_ms();
    while (!st->done && clock.tick_ms() - start < env.library_wait_ms) clock.sleep_ms(50);
    if (!st->done) {
        lib->modem_release(handle);
        verdict(std::string(kVerdictFailed) + "\r\nNo answer from the GPRS library within " +
                    std::to_string(env.library_wait_ms / 1000) + " seconds.",
                run);
        return;
    }
    lib->modem_release(handle);
    verdict(dial_verdict(st->result, lib), run);
}

}  // namespace ovr::gprs
