#include "app/service_actions.h"

#include "config/support.h"
#include "gprs/connection_test.h"
#include "service/status.h"

namespace ovr::app {

GatewayServiceActions::GatewayServiceActions(platform::Platform& platform, Ui& ui)
    : platform_(platform), ui_(ui), control_(platform, ui) {}

void GatewayServiceActions::run_operator_modem_test() {
    gprs::TestEnv env;
    env.dirs = {config::GetProgramDataDirectory(), config::GetPrivateDataDirectory(),
                config::GetRealProgramDirectory()};
    env.ui = &ui_;
    env.platform = &platform_;
    gprs::RunModemTestSwitch(env, gprs::GprsLibrary::instance(&platform_));
}

bool GatewayServiceActions::install_and_start(bool command_line) { return control_.install_and_start(command_line); }

bool GatewayServiceActions::remove(bool command_line) { return control_.remove(command_line); }

// Start, stop and restart report through their own boxes; their result here
// is the state they leave.
bool GatewayServiceActions::start(bool command_line) {
    control_.start(command_line);
    return both_running();
}

bool GatewayServiceActions::stop(bool command_line) {
    control_.stop(command_line);
    return !any_running();
}

bool GatewayServiceActions::restart(bool command_line) {
    control_.restart(command_line);
    return both_running();
}

bool GatewayServiceActions::any_running() {
    return service::sms_service_running(platform_) || service::mmsc_service_running(platform_);
}

bool GatewayServiceActions::both_running() {
    return service::sms_service_running(platform_) && service::mmsc_service_running(platform_);
}

bool GatewayServiceActions::has_admin_rights() {
    uint32_t error = 0;
    return platform_.services && platform_.services->open_manager(platform::kManagerAllAccess, error) != nullptr;
}

}  // namespace ovr::app
