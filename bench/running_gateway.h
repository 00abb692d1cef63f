// Shared by the Status page benchmarks: a sheet that asks nothing of its
// pages, and the simulated manager with both services installed and
// running, their "programs" standing in by holding the run locks.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <string>

#include "pages/page.h"
#include "platform/service_manager.h"
#include "service/control.h"

namespace ovr::bench {

struct NullSite : pages::PageSite {
    void mark_changed(pages::PageModel&) override {}
    bool apply_all() override { return true; }
    bool query_unsaved() override { return false; }
    void set_wizard_buttons(pages::WizardButtons) override {}
    void press_button(pages::SheetButton) override {}
};

// Replaces p.services; `held` keeps the run locks (the caller closes them).
inline void install_running_sim_services(platform::Platform& p, const std::string& bin, Ui& ui,
                                         std::map<std::string, int>& held) {
    p.services = platform::make_sim_service_manager(
        p.sim_root, true, [&p, &held](const platform::LaunchRequest& r, int& pid) {
            held[r.service] = dup(r.lock_fd);
            platform::sim::write_status(platform::sim::service_dir(p.sim_root, r.service),
                                        platform::ServiceState::Running, 0);
            pid = 0;
            return 0u;
        });
    for (const char* prog : {service::kSmsProgram, service::kMmscProgram}) {
        int fd = open((bin + prog).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
        if (fd >= 0) close(fd);
    }
    service::ServiceControl(p, ui, bin).install_and_start(true);
}

}  // namespace ovr::bench
