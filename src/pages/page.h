// The page protocol every page and sheet of the console follows. A page
// model holds its fields and reacts to the sheet's notifications; the sheet
// (app/sheet.h) implements PageSite; views (the Qt console) render the
// model's fields and forward clicks to it. Nothing here knows about windows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "config/directories.h"
#include "platform/platform.h"
#include "platform/ui.h"

namespace ovr::pages {

// The windows a page can open (the queue viewers and the event log
// viewer, from the Status page). The front end implements it; tests record.
enum class ViewerKind { OutboundSms, OutboundMms, ReceivedSms, ReceivedMms };

class Windows {
public:
    virtual ~Windows() = default;
    virtual void open_queue_viewer(ViewerKind kind) = 0;
    virtual void open_event_log_viewer() = 0;
};

// Process-wide state shared by start-up, the sheet loop and every page.
struct Context {
    config::Directories dirs;
    config::IniPaths ini;        // fixed at start-up for the life of the process
    std::string manual_path;     // real program directory + "OvrinSMS Lite.pdf"
    bool help_available = false; // the manual existed at start-up
    bool quiet = false;
    bool wizard_mode = false;    // set while the setup wizard runs
    bool rerun_wizard = false;   // a page asked for the wizard after the main sheet
    bool unsaved_changes = false;
    std::string current_modem;   // Modem1, at most 249 characters
    Ui* ui = nullptr;
    platform::Platform* platform = nullptr;
    Windows* windows = nullptr;  // none in the command-line twin
    // Runs long work (service operations) behind the front end's wait
    // window; in place when unset.
    std::function<void(const std::string& title, const std::string& text, const std::function<void()>& work)>
        run_busy;

    std::string data_file(const std::string& name) const { return dirs.program_data + name; }
};

enum class WizardButtons { Next, BackNext, BackFinish, Back, BackDisabledFinish };
enum class SheetButton { Back, Next, Finish, Ok, Cancel };

class PageModel;

// What a page may ask of the sheet that holds it.
class PageSite {
public:
    virtual ~PageSite() = default;
    // Enables Apply.
    virtual void mark_changed(PageModel& page) = 0;
    // Applies every page; true when all accepted.
    virtual bool apply_all() = 0;
    // The sheet-wide unsaved-changes query: asked of each page in tab order
    // until one answers.
    virtual bool query_unsaved() = 0;
    virtual void set_wizard_buttons(WizardButtons buttons) = 0;
    virtual void press_button(SheetButton button) = 0;
};

class PageModel {
public:
    virtual ~PageModel() = default;

    virtual std::string title() const = 0;
    // The dialog template the page stands for (DIALOG_STATUS, ...).
    virtual std::string template_name() const = 0;

    // Notifications from the sheet.
    virtual void created(PageSite& site) { site_ = &site; }
    virtual void shown() {}
    virtual bool left() { return true; }
    virtual void apply() {}
    // True when the last apply() refused (a check failed, the user
    // cancelled): the sheet then keeps the changes pending and stays open.
    virtual bool apply_refused() const { return false; }
    virtual bool cancel_requested() { return true; }
    virtual void help();
    virtual bool wizard_next() { return true; }
    virtual bool wizard_finish() { return true; }
    // The page's answer to the sheet-wide unsaved-changes query, if it gives one.
    virtual std::optional<bool> unsaved_query() { return std::nullopt; }

    // A page that refreshes itself names its interval (0: none); the view
    // calls tick() that often while the page exists.
    virtual uint32_t refresh_interval_ms() const { return 0; }
    virtual void tick() {}

    // Bumped whenever a field changes, so views know when to re-read.
    uint64_t revision() const { return revision_; }

protected:
    explicit PageModel(Context& ctx) : ctx_(ctx) {}
    PageSite* site() const { return site_; }
    Context& ctx() const { return ctx_; }
    Ui& ui() const { return *ctx_.ui; }
    void touched() { ++revision_; }
    // An edit: marks the page changed in the sheet and sets the console-wide
    // unsaved-changes flag.
    void edited();
    // The Cancel rule of the configuration pages: ask "Exit without saving
    // configuration changes?" while anything is unsaved; only Yes cancels.
    bool confirm_cancel();

private:
    Context& ctx_;
    PageSite* site_ = nullptr;
    uint64_t revision_ = 0;
};

// Opens the manual with the shell's "open", in the manual's own directory.
void open_manual(Context& ctx);

inline constexpr const char* kExitWithoutSaving = "Exit without saving configuration changes?";

// A page whose content lands later: only its title and template, and in the
// wizard the buttons its step gives.
class EmptyPage final : public PageModel {
public:
    EmptyPage(Context& ctx, std::string title, std::string template_name,
              std::optional<WizardButtons> wizard_buttons = std::nullopt)
        : PageModel(ctx), title_(std::move(title)), template_(std::move(template_name)),
          buttons_(wizard_buttons) {}
    std::string title() const override { return title_; }
    std::string template_name() const override { return template_; }
    void shown() override;

private:
    std::string title_;
    std::string template_;
    std::optional<WizardButtons> buttons_;
};

}  // namespace ovr::pages
