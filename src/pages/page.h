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
#include "queue/test_result.h"

namespace ovr::pages {

// The windows a page can open (the queue viewers and the event log
// viewer, from the Status page; the dialogs of the 2-Way and E-mail pages).
// The front end implements it; tests record.
enum class ViewerKind { OutboundSms, OutboundMms, ReceivedSms, ReceivedMms };

class KeywordDialog;
class Mm7Dialog;

// A modal dialog's model (the user dialog, ...): its fields live in the
// subclass; OK either closes it (true) or keeps it open after saying why.
class DialogModel {
public:
    virtual ~DialogModel() = default;
    virtual std::string title() const = 0;
    virtual std::string template_name() const = 0;
    virtual bool ok() = 0;
    uint64_t revision() const { return revision_; }

protected:
    void touched() { ++revision_; }

private:
    uint64_t revision_ = 0;
};

class Windows {
public:
    virtual ~Windows() = default;
    virtual void open_queue_viewer(ViewerKind kind) = 0;
    virtual void open_event_log_viewer() = 0;
    // Modal dialogs over their models: true when the dialog closed with OK
    // (the model has saved). A front end without them cancels.
    virtual bool run_keyword_dialog(KeywordDialog&) { return false; }
    virtual bool run_mm7_dialog(Mm7Dialog&) { return false; }
    // Shows the dialog until OK is accepted (true) or it is cancelled
    // (false). Without a window system there is no dialog.
    virtual bool run_dialog(DialogModel&) { return false; }
    // The E-mail page's modal dialogs: the mailbox of a kind (1 SMS, 2 MMS)
    // and the authorised senders; 1 after a save or a removal, 0 on Cancel.
    virtual int edit_mailbox(int /*kind*/) { return 0; }
    virtual int edit_senders() { return 0; }
};

// The test messages of the Test Message page, kept for the whole process:
// a test sent in the wizard is still followed by the main sheet's page.
struct TestMessageState {
    struct Test {
        bool pending = false;    // its file was written and not yet seen gone
        bool done = false;       // one left the queue (or was withdrawn)
        uint32_t tag_value = 0;  // the tick count at send; its low 16 bits make the tag
        bool searching = false;  // gone, and its result still looked for
        queue::ResultSearch search;
    };
    Test sms, mms;
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
    TestMessageState tests;
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

// The site of a page run without a sheet (the command-line twin, benchmarks):
// nothing to mark, every apply accepted, no buttons.
class NullPageSite final : public PageSite {
public:
    void mark_changed(PageModel&) override {}
    bool apply_all() override { return true; }
    bool query_unsaved() override { return false; }
    void set_wizard_buttons(WizardButtons) override {}
    void press_button(SheetButton) override {}
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
    // Asked of every page before any applies: a page whose fields cannot be
    // stored as they stand says why (with the focus on the field) and
    // refuses, and nothing is applied.
    virtual bool can_apply() { return true; }
    // After apply(): false when the page could not write its settings (it
    // said so), so the sheet keeps them pending and stays open.
    virtual bool apply_succeeded() const { return true; }
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
    // The sheet's window became active again (the user came back to it from
    // another window); the current page is told.
    virtual void window_activated() {}

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
// With the HTML manual (an "index.html") and a chapter file that is there,
// the chapter opens instead of the contents.
void open_manual(Context& ctx, const std::string& chapter = {});
// The HTML manual's chapter of a page, by its dialog template ("" for the
// contents); every wizard page opens the wizard's chapter.
std::string manual_chapter(const std::string& template_name, bool wizard);

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
