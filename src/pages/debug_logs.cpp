#include "pages/debug_logs.h"

#include "config/ini.h"
#include "config/settings.h"
#include "platform/fs.h"

namespace ovr::pages {
namespace {

struct LogSpec {
    const char* label;
    const char* ini;      // "" for RIRER.INI, whose path is fixed at start-up
    const char* section;
    const char* log;
};

constexpr LogSpec kSpecs[DebugLogsPage::kLogs] = {
    {"SMS Gateway (smsdebug.log, smppdebug.log, etc.)", "", "RIRER", "SMSDEBUG.LOG"},
    {"MMSC (mmscdebug.log)", "MMSC.INI", "MMSC", "MMSCDEBUG.LOG"},
    {"Operator MMSC over GPRS (mmswapdebug.log)", "MMSWAP.INI", "MMSWAP", "MMSWAPDEBUG.LOG"},
};

}  // namespace

DebugLogsPage::DebugLogsPage(Context& ctx) : PageModel(ctx) {
    for (size_t i = 0; i < kLogs; ++i) {
        rows_[i].check.label = kSpecs[i].label;
        rows_[i].view.label = "View";
        rows_[i].view.enabled = false;
    }
}

std::string DebugLogsPage::ini_file(size_t i) const {
    return *kSpecs[i].ini ? ctx().data_file(kSpecs[i].ini) : ctx().ini.rirer;
}

const char* DebugLogsPage::section(size_t i) { return kSpecs[i].section; }

std::string DebugLogsPage::log_file(size_t i) const { return ctx().data_file(kSpecs[i].log); }

void DebugLogsPage::created(PageSite& site) {
    PageModel::created(site);
    for (size_t i = 0; i < kLogs; ++i) rows_[i].check.checked = config::read_yes(ini_file(i), section(i), "Debug");
    touched();
    refresh();
}

void DebugLogsPage::refresh() {
    bool changed = false;
    for (size_t i = 0; i < kLogs; ++i) {
        // The log file is matched without regard to case, as the services
        // may write it in either spelling.
        std::string dir = ctx().dirs.program_data;
        bool present = !platform::fs::list_directory(dir, kSpecs[i].log).empty();
        if (rows_[i].view.enabled != present) {
            rows_[i].view.enabled = present;
            changed = true;
        }
    }
    if (changed) touched();
}

void DebugLogsPage::click_check(size_t i) {
    if (i >= kLogs) return;
    rows_[i].check.checked = !rows_[i].check.checked;
    touched();
    edited();
}

void DebugLogsPage::press_view(size_t i) {
    if (i >= kLogs || !rows_[i].view.enabled) return;
    // Open the file as it is spelled on disk. The services' users can write
    // the data directory and the editor may run elevated: a log that is a
    // link (or no file) is not opened.
    auto found = platform::fs::list_directory(ctx().dirs.program_data, kSpecs[i].log);
    if (!found.empty() && (found.front().is_symlink || found.front().is_directory)) return;
    std::string path = found.empty() ? log_file(i) : ctx().dirs.program_data + found.front().name;
    ui().run_editor(path);  // a failure to start is not reported
}

void DebugLogsPage::apply() {
    for (size_t i = 0; i < kLogs; ++i) {
        if (rows_[i].check.checked)
            config::ini::write_string(ini_file(i), section(i), "Debug", "Yes");
        else
            config::ini::remove_key(ini_file(i), section(i), "Debug");
    }
}

}  // namespace ovr::pages
