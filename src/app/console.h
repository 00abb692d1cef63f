// The console's run from process start to exit: start-up, the switches, the
// wizard and main-sheet loop, and the final offer to activate the services.
// The front end supplies how sheets are shown and how long work runs.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/service_actions.h"
#include "app/sheet.h"
#include "pages/page.h"

namespace ovr::app {

inline constexpr const char* kManualName = "OvrinSMS Lite.pdf";
// The HTML manual, one chapter a page; preferred where it is installed.
inline constexpr const char* kHtmlManual = "manual/index.html";

// Shows a sheet modally until it closes; returns its result (less than 1
// when it was cancelled or could not be shown).
class SheetRunner {
public:
    virtual ~SheetRunner() = default;
    virtual int run(Sheet& sheet) = 0;
};

// Runs long work behind a wait indicator with the title and text given.
class BusyRunner {
public:
    virtual ~BusyRunner() = default;
    virtual void run(const std::string& title, const std::string& text, const std::function<void()>& work) = 0;
};

// Runs the work in place (command line, tests).
class InlineBusyRunner final : public BusyRunner {
public:
    void run(const std::string&, const std::string&, const std::function<void()>& work) override { work(); }
};

struct StartupHooks {
    // Prepares networking; false ends the process with -1.
    std::function<bool()> start_network;
    std::function<void()> stop_network;
};
StartupHooks default_hooks();

// Start-up steps up to the keyword migration: fixes the INI paths, creates
// both files on a first run, removes stray per-user copies of the data
// directories, finds the manual. Fills ctx. Returns an exit code when the
// process must end (-1: networking could not start; "Error initializing
// Winsock\n" is written to `out`).
std::optional<int> start_up(pages::Context& ctx, std::ostream& out, const StartupHooks& hooks);

// Runs the switch action of the command line, if any, and returns its exit
// code (0); nothing when the console goes on interactively.
std::optional<int> run_switches(pages::Context& ctx, const std::vector<std::string>& args, ServiceActions& services);

// The wizard-then-main-sheet loop and the final offer; returns the exit code.
// A cancelled wizard ends the program (0), with the final offer first when
// that wizard's pass stopped the running services.
int run_sheet_loop(pages::Context& ctx, bool wizard_switch, ServiceActions& services, BusyRunner& busy,
                   SheetRunner& sheets);

// All of the above in order.
int run_console(pages::Context& ctx, const std::vector<std::string>& args, ServiceActions& services, BusyRunner& busy,
                SheetRunner& sheets, std::ostream& out, const StartupHooks& hooks);

}  // namespace ovr::app
