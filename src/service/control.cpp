#include "service/control.h"

#include <cstdio>
#include <functional>

#include "platform/dynlib.h"
#include "platform/fs.h"
#include "service/status.h"

namespace ovr::service {

using platform::kManagerAllAccess;
using platform::kServiceAllAccess;

namespace {
std::string format_number(const char* fmt, uint32_t n) {
    char buf[256];
    snprintf(buf, sizeof buf, fmt, static_cast<unsigned long>(n));
    return buf;
}
}  // namespace

ServiceControl::ServiceControl(platform::Platform& p, Ui& ui, std::string console_dir)
    : p_(p), ui_(ui), dir_(console_dir.empty() ? platform::executable_directory() : std::move(console_dir)) {
    if (!dir_.empty() && dir_.back() != '/') dir_ += '/';
}

bool ServiceControl::relaunch_path(bool command_line_mode, const char* switch_arg) {
    if (command_line_mode || !p_.elevation->possible()) return false;
    if (ui_.message(kElevationPrompt, Icon::None, Buttons::YesNoCancel) != Answer::Yes) return false;
    p_.elevation->relaunch(switch_arg, kElevatedWaitMs);
    return true;
}

bool ServiceControl::any_running() {
    return sms_service_running(p_) || mmsc_service_running(p_);
}

bool ServiceControl::install_one(platform::ManagerHandle& mgr, const char* name, const char* display,
                                 const char* program, const char* firewall_program) {
    const std::string helper = dir_ + kFirewallHelper;
    if (platform::fs::exists(helper)) p_.processes->start_detached({helper, dir_ + firewall_program, display});

    platform::ServiceConfig cfg;
    cfg.display_name = display;
    // Linux has no short file names: the long path is the one to record.
    cfg.binary_path = dir_ + program;
    uint32_t err = 0;
    auto svc = mgr.open_service(name, kServiceAllAccess, err);
    if (svc) {
        svc->change_config(cfg);
    } else {
        svc = mgr.create_service(name, cfg, kServiceAllAccess, err);
        if (!svc) {
            ui_.message(format_number(kCreateFailedFormat, err), Icon::None);
            return false;
        }
    }
    svc->start();
    return true;
}

bool ServiceControl::install_and_start(bool command_line_mode) {
    uint32_t err = 0;
    auto mgr = p_.services->open_manager(kManagerAllAccess, err);
    if (!mgr) {
        if (p_.elevation->legacy_system()) {
            ui_.message(kLegacySystemMessage, Icon::None);
            return false;
        }
        if (relaunch_path(command_line_mode, kInstallSwitch)) return sms_service_installed(p_) && mmsc_service_installed(p_);
        ui_.message(kInstallRightsMessage, Icon::None);
        return false;
    }
    if (!install_one(*mgr, kSmsServiceName, kSmsDisplayName, kSmsProgram, kSmsFirewallProgram)) return false;
    if (!install_one(*mgr, kMmscServiceName, kMmscDisplayName, kMmscProgram, kMmscFirewallProgram)) return false;
    return true;
}

bool ServiceControl::remove(bool command_line_mode) {
    if (!sms_service_installed(p_)) return true;
    bool result = false;
    bool missing = false;
    // A deletion the manager refused is a failed removal, never a success.
    bool delete_failed = false;
    auto deleted = [&](uint32_t d) {
        if (d != 0 && d != platform::kErrorServiceMarkedForDelete) delete_failed = true;
        result = true;
    };
    {
        uint32_t err = 0;
        auto mgr = p_.services->open_manager(kManagerAllAccess, err);
        if (!mgr) {
            missing = true;
        } else {
            if (auto sms = mgr->open_service(kSmsServiceName, kServiceAllAccess, err)) {
                sms->send_stop();
                for (int i = 0; i < kWaitRounds && sms_service_running(p_); ++i) {
                    set_stop_request(*p_.shared_memory);
                    p_.clock->sleep_ms(1000);
                }
                deleted(sms->remove());
            } else {
                missing = true;
            }
            if (auto mmsc = mgr->open_service(kMmscServiceName, kServiceAllAccess, err)) {
                mmsc->send_stop();
                for (int i = 0; i < kWaitRounds && mmsc_service_running(p_); ++i) p_.clock->sleep_ms(1000);
                deleted(mmsc->remove());
            } else {
                missing = true;
            }
        }
    }
    if (delete_failed) result = false;
    if (!missing) return result;
    if (relaunch_path(command_line_mode, kRemoveSwitch)) return !sms_service_installed(p_) && !mmsc_service_installed(p_);
    ui_.message(kRemoveRightsMessage, Icon::None);
    return result;
}

bool ServiceControl::for_both_services(const std::function<void(const char*, platform::ServiceHandle&)>& fn) {
    bool all = true;
    uint32_t err = 0;
    auto mgr = p_.services->open_manager(kManagerAllAccess, err);
    if (!mgr) return false;
    for (const char* name : {kSmsServiceName, kMmscServiceName}) {
        if (auto svc = mgr->open_service(name, kServiceAllAccess, err))
            fn(name, *svc);
        else
            all = false;
    }
    return all;
}

void ServiceControl::stop(bool command_line_mode) {
    bool missing = !for_both_services([&](const char* name, platform::ServiceHandle& svc) {
        svc.send_stop();
        if (std::string_view(name) == kSmsServiceName) set_stop_request(*p_.shared_memory);
    });
    if (!missing) {
        for (int i = 0; i < kWaitRounds && any_running(); ++i) {
            set_stop_request(*p_.shared_memory);
            p_.clock->sleep_ms(1000);
        }
        return;
    }
    if (!relaunch_path(command_line_mode, kStopSwitch)) ui_.message(kControlRightsMessage, Icon::Error);
}

void ServiceControl::start(bool command_line_mode) {
    bool missing = !for_both_services([&](const char*, platform::ServiceHandle& svc) {
        uint32_t e = svc.start();
        if (e != 0 && e != platform::kErrorServiceAlreadyRunning)
            ui_.message(format_number(kStartErrorFormat, e), Icon::Error);
    });
    if (!missing) {
        for (int i = 0; i < kWaitRounds && !sms_service_running(p_); ++i) p_.clock->sleep_ms(1000);
        return;
    }
    if (!relaunch_path(command_line_mode, kStartSwitch)) ui_.message(kControlRightsMessage, Icon::Error);
}

void ServiceControl::restart(bool command_line_mode) {
    bool opened = false;
    {
        uint32_t err = 0;
        auto mgr = p_.services->open_manager(kManagerAllAccess, err);
        opened = mgr && mgr->open_service(kSmsServiceName, kServiceAllAccess, err) != nullptr;
    }
    if (opened) {
        BusyScope busy(ui_, "Restarting services...");
        stop(command_line_mode);
        p_.clock->sleep_ms(kRestartPauseMs);
        start(command_line_mode);
        return;
    }
    if (!relaunch_path(command_line_mode, kRestartSwitch)) ui_.message(kControlRightsMessage, Icon::Error);
}

}  // namespace ovr::service
