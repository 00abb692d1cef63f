#include "app/console.h"

#include <fstream>
#include <ostream>

#include "app/switches.h"
#include "config/ini.h"
#include "config/support.h"
#include "config/text.h"
#include "keywords/table.h"
#include "platform/dynlib.h"
#include "platform/fs.h"
#include "platform/network.h"

namespace ovr::app {
namespace fs = platform::fs;

namespace {

// The gateway's three directories, asked of the support library afresh.
config::Directories support_directories() {
    return config::Directories{config::GetProgramDataDirectory(), config::GetPrivateDataDirectory(),
                               config::GetRealProgramDirectory()};
}

// Sets the gateway's access rights on a directory given with its trailing
// separator, as the support library wants it without.
void set_trustees_on(std::string dir) {
    if (dir.empty() || dir.back() != '/') return;
    dir.pop_back();
    config::SetOvrinSMSTrustees(dir);
}

// Creates an empty file unless one exists; never truncates.
void create_if_missing(const std::string& path) {
    if (fs::exists(path)) return;
    std::ofstream f(path, std::ios::app | std::ios::binary);
}

// The entry at base + relative, each component of relative matched without
// regard to letter case; nothing when a component is missing.
std::optional<std::string> find_ignoring_case(const std::string& base, const std::string& relative) {
    std::string path = base;
    size_t pos = 0;
    while (pos <= relative.size()) {
        size_t slash = relative.find('/', pos);
        std::string part = relative.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        pos = slash == std::string::npos ? relative.size() + 1 : slash + 1;
        if (part.empty()) continue;
        std::string found;
        for (const auto& e : fs::list_directory(path)) {
            if (config::equal_ignoring_case(e.name, part)) {
                found = e.name;
                break;
            }
        }
        if (found.empty()) return std::nullopt;
        path += found;
        if (pos <= relative.size()) path += '/';
    }
    return path;
}

void remove_stray_copies() {
    // The per-user file-virtualisation copies of the gateway's directories.
    std::string profile = platform::get_env("USERPROFILE");
    if (profile.empty() || profile.size() >= 260) return;
    if (profile.back() != '/' && profile.back() != '\\') profile += '/';
    for (const char* rel : {"AppData/Local/VirtualStore/ProgramData/OvrinSMS",
                            "AppData/Local/VirtualStore/Program Files/OvrinSMS",
                            "AppData/Local/VirtualStore/Program Files (x86)/OvrinSMS"}) {
        auto dir = find_ignoring_case(profile, rel);
        if (!dir || !fs::is_directory(*dir)) continue;
        fs::recursive_delete(*dir);
        set_trustees_on(support_directories().program_data);
    }
}

bool exists_ignoring_case(const std::string& dir, const std::string& name) {
    for (const auto& e : fs::list_directory(dir))
        if (config::equal_ignoring_case(e.name, name)) return true;
    return false;
}

// The private data directory may be deleted unless that would take the
// program itself (or the whole file system) with it.
bool private_dir_deletable(const std::string& priv, const std::string& program) {
    std::string p = config::with_trailing_slash(priv);
    std::string r = config::with_trailing_slash(program);
    if (p.empty() || p == "/") return false;
    if (config::equal_ignoring_case(p, r)) return false;
    return !(r.size() > p.size() && config::equal_ignoring_case(r.substr(0, p.size()), p));
}

void delete_data_dir(pages::Context& ctx) {
    config::Directories d = support_directories();
    if (!private_dir_deletable(d.private_data, d.real_program)) return;
    if (ctx.ui->ask_yes_no("Delete Configuration files for OvrinSMS?")) fs::recursive_delete(d.private_data);
}

void modem_test(pages::Context& ctx, ServiceActions& services) {
    if (services.has_admin_rights()) {
        services.run_operator_modem_test();
        return;
    }
    const char* text = "Administrative rights are required for this test.";
    config::ini::write_string(ctx.data_file("MODEMTEST.INI"), "ModemTest", "Result", text);
    ctx.ui->error(text);
}

std::string read_modem1(const pages::Context& ctx) {
    return config::ini::read_string(ctx.ini.rirer, "RIRER", "Modem1", "", 261).substr(0, 249);
}

// The final offer: a configured gateway whose services are not both running
// is offered their start.
void offer_to_activate(const pages::Context& ctx, ServiceActions& services) {
    if (!read_modem1(ctx).empty() && !services.both_running() &&
        ctx.ui->ask_yes_no("Service is not active, do you wish to activate the service?"))
        services.install_and_start(false);
}

}  // namespace

StartupHooks default_hooks() { return StartupHooks{&platform::start_network, &platform::stop_network}; }

std::optional<int> start_up(pages::Context& ctx, std::ostream& out, const StartupHooks& hooks) {
    if (hooks.start_network && !hooks.start_network()) {
        out << "Error initializing Winsock\n";
        out.flush();
        return -1;
    }
    ctx.dirs = support_directories();
    ctx.ini = config::ini_paths_for(ctx.dirs);
    // A fresh developer or per-user set-up has no data directory yet; the
    // first-run files need one.
    if (!ctx.dirs.program_data.empty()) fs::create_directories(ctx.dirs.program_data);
    if (!fs::exists(ctx.ini.rirer)) {
        config::Directories d = support_directories();
        set_trustees_on(d.program_data);
        set_trustees_on(d.private_data);
        create_if_missing(ctx.ini.rirer);
    }
    config::SMSIniSetFilename(ctx.ini.rirer);
    create_if_missing(ctx.ini.mmsc);
    config::MMSCIniSetFilename(ctx.ini.mmsc);
    remove_stray_copies();
    if (fs::regular_file_exists(ctx.dirs.real_program + kHtmlManual)) {
        ctx.manual_path = ctx.dirs.real_program + kHtmlManual;
        ctx.help_available = true;
    } else {
        ctx.manual_path = ctx.dirs.real_program + kManualName;
        ctx.help_available = exists_ignoring_case(ctx.dirs.real_program, kManualName);
    }
    keywords::migrate(ctx.ini.rirer);
    return std::nullopt;
}

std::optional<int> run_switches(pages::Context& ctx, const std::vector<std::string>& args, ServiceActions& services) {
    Switches sw = parse_switches(args);
    if (sw.quiet) ctx.quiet = true;
    switch (sw.action) {
        case SwitchAction::None: return std::nullopt;
        case SwitchAction::Stop: services.stop(true); break;
        case SwitchAction::Start: services.start(true); break;
        case SwitchAction::Restart: services.restart(true); break;
        case SwitchAction::Install: {
            bool ok = services.install_and_start(true);
            if (!ctx.quiet) {
                if (ok)
                    ctx.ui->information("Service successfully installed!");
                else
                    ctx.ui->error("Service installation failed!");
            }
            break;
        }
        case SwitchAction::Remove: {
            services.stop(true);
            bool ok = services.remove(true);
            if (!ctx.quiet) {
                if (ok)
                    ctx.ui->information("Service successfully removed!");
                else
                    ctx.ui->error("Service removal failed!");
            }
            break;
        }
        case SwitchAction::DeleteDataDir: delete_data_dir(ctx); break;
        case SwitchAction::ModemTest: modem_test(ctx, services); break;
    }
    return 0;
}

int run_sheet_loop(pages::Context& ctx, bool wizard_switch, ServiceActions& services, BusyRunner& busy,
                   SheetRunner& sheets) {
    // Pages run their service operations behind the same wait window.
    ctx.run_busy = [&busy](const std::string& title, const std::string& text, const std::function<void()>& work) {
        busy.run(title, text, work);
    };
    for (;;) {
        ctx.current_modem = read_modem1(ctx);
        if (ctx.current_modem.empty() || ctx.rerun_wizard || wizard_switch) {
            ctx.rerun_wizard = false;
            // The wizard's modem tests need the modem the services hold.
            bool stopped = services.any_running();
            if (stopped) busy.run("Please wait...", "Stopping Services...", [&] { services.stop(false); });
            config::ini::write_string(ctx.ini.rirer, "RIRER", "Debug", "Yes");
            config::ini::write_string(ctx.data_file("MMSC.INI"), "MMSC", "Debug", "Yes");
            config::ini::write_string(ctx.data_file("MMSWAP.INI"), "MMSWAP", "Debug", "Yes");
            ctx.wizard_mode = true;
            Sheet wizard(SheetKind::Wizard, ctx, make_wizard_pages(ctx));
            int r = sheets.run(wizard);
            ctx.wizard_mode = false;
            if (r < 1) {
                // Cancelling must not leave the gateway stopped without a
                // word when this wizard is what stopped it.
                if (stopped) offer_to_activate(ctx, services);
                ctx.run_busy = nullptr;
                return 0;
            }
        }
        ctx.unsaved_changes = false;
        Sheet main(SheetKind::Main, ctx, make_main_pages(ctx));
        sheets.run(main);
        if (!ctx.rerun_wizard) break;
    }
    offer_to_activate(ctx, services);
    ctx.run_busy = nullptr;
    return 0;
}

int run_console(pages::Context& ctx, const std::vector<std::string>& args, ServiceActions& services, BusyRunner& busy,
                SheetRunner& sheets, std::ostream& out, const StartupHooks& hooks) {
    if (auto code = start_up(ctx, out, hooks)) return *code;
    int rc = 0;
    if (auto code = run_switches(ctx, args, services))
        rc = *code;
    else
        rc = run_sheet_loop(ctx, parse_switches(args).wizard, services, busy, sheets);
    if (hooks.stop_network) hooks.stop_network();
    return rc;
}

}  // namespace ovr::app
