#include "app/service_actions.h"

#include <fstream>

#include "config/ini.h"
#include "config/settings.h"
#include "platform/fs.h"

namespace ovr::app {

StandInServiceActions::StandInServiceActions(const platform::Platform& platform) {
    if (platform.backend == platform::Backend::Sim) root_ = platform.sim_root;
}

void StandInServiceActions::log(const std::string& what, bool command_line) {
    if (!simulated()) return;
    platform::fs::create_directories(root_);
    std::ofstream(root_ + "service-actions.log", std::ios::app)
        << what << (command_line ? " command-line" : " elevated") << "\n";
}

void StandInServiceActions::set(bool installed, bool running) {
    for (const char* svc : {"OvrinSMS", "OvrinMMSC"}) {
        config::write_yes_no(state_file(), svc, "Installed", installed);
        config::write_yes_no(state_file(), svc, "Running", running);
    }
}

bool StandInServiceActions::install_and_start(bool command_line) {
    log("install", command_line);
    if (!simulated()) return false;
    set(true, true);
    return true;
}

bool StandInServiceActions::remove(bool command_line) {
    log("remove", command_line);
    if (!simulated()) return false;
    set(false, false);
    return true;
}

bool StandInServiceActions::start(bool command_line) {
    log("start", command_line);
    if (!simulated() || !config::read_yes(state_file(), "OvrinSMS", "Installed")) return false;
    set(true, true);
    return true;
}

bool StandInServiceActions::stop(bool command_line) {
    log("stop", command_line);
    if (!simulated()) return false;
    for (const char* svc : {"OvrinSMS", "OvrinMMSC"}) config::write_yes_no(state_file(), svc, "Running", false);
    return true;
}

bool StandInServiceActions::restart(bool command_line) {
    log("restart", command_line);
    if (!simulated() || !config::read_yes(state_file(), "OvrinSMS", "Installed")) return false;
    set(true, true);
    return true;
}

bool StandInServiceActions::any_running() {
    return simulated() &&
           (config::read_yes(state_file(), "OvrinSMS", "Running") || config::read_yes(state_file(), "OvrinMMSC", "Running"));
}

bool StandInServiceActions::both_running() {
    return simulated() &&
           config::read_yes(state_file(), "OvrinSMS", "Running") && config::read_yes(state_file(), "OvrinMMSC", "Running");
}

bool StandInServiceActions::has_admin_rights() { return simulated() && platform::fs::exists(root_ + "admin-rights"); }

void StandInServiceActions::run_operator_modem_test() { log("modemtest", true); }

}  // namespace ovr::app
