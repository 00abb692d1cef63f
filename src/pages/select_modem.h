// The wizard's Select Modem page: the local modems and the network modem
// devices found on the network, or an address and port typed in. Next proves
// the choice (the modem test, or the device's "GET /init") behind the wait
// window and only then stores it as Modem1.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "modem/discovery.h"
#include "modem/network_device.h"
#include "pages/fields.h"
#include "pages/page.h"

namespace ovr::pages {

class SelectModemPage final : public PageModel {
public:
    static constexpr uint32_t kRefreshMs = 1000;
    // Readers of Modem1 keep 249 characters: field 3 holds no more, and a
    // typed device whose entry would be longer is refused.
    static constexpr size_t kMaxEntry = 249;

    struct Options {
        bool discover = true;            // run the discovery thread while the page exists
        uint32_t pass_seconds = 120;     // one discovery pass
        uint32_t pause_ms = 5000;        // after a pass that ended early
        modem::HttpReadLimits limits{};  // the device query's reader
        int connect_timeout_ms = 10000;
    };

    explicit SelectModemPage(Context& ctx) : SelectModemPage(ctx, Options{}) {}
    SelectModemPage(Context& ctx, Options options);
    // Stops the discovery thread (it is gone within 200 ms).
    ~SelectModemPage() override;

    std::string title() const override { return "OvrinSMS Lite Setup Wizard:  Select Modem"; }
    std::string template_name() const override { return "DIALOG_WIZADDMODEM"; }
    void created(PageSite& site) override;
    void shown() override;
    bool wizard_next() override;
    uint32_t refresh_interval_ms() const override { return kRefreshMs; }
    // Merges newly discovered devices into the list.
    void tick() override;
    // How the front end learns that discovery cached a new device, so the
    // list grows at once rather than at the next tick: `wake` runs on the
    // discovery thread and must only arrange for tick() on the page's own
    // thread (at most one wake waits for its tick). Set and cleared on the
    // page's thread; once cleared it is never called again.
    void set_discovery_wake(std::function<void()> wake);
    // Refills the list, keeping the selected entry when it is still there.
    void window_activated() override;

    // Fields, top to bottom.
    const Label& intro() const { return intro_; }
    const Label& list_label() const { return list_label_; }
    const std::vector<std::string>& items() const { return items_; }
    std::optional<size_t> selected() const { return selected_; }
    const Label& text_label() const { return text_label_; }
    const std::string& text() const { return text_; }
    const PushButton& test_and_add_button() const { return test_and_add_; }
    const PushButton& cancel_button() const { return cancel_; }
    // True while Next's query or modem test runs.
    bool busy() const { return busy_; }

    // User actions.
    void click_item(size_t i);
    // Typing in field 3: cut to kMaxEntry bytes at a whole UTF-8 character.
    void set_text(const std::string& text);

    static constexpr const char* kUnableToConnect = "Unable to connect to modem";

private:
    void fill(bool show_failure);
    void device_appended();  // on the discovery thread
    void select_text(const std::string& entry);
    bool query_device(const std::string& identifier);
    bool test_local_modem(const std::string& name);
    // Writes the section's key (nullopt: removes it), then Modem1; a failure
    // leaves Modem1 as it was and tells the user.
    bool store(const std::string& entry, const char* key, std::optional<std::string> value);
    void run_busy(const std::string& text, const std::function<void()>& work);

    Options options_;
    std::unique_ptr<modem::DiscoveryWorker> worker_;
    modem::NetworkEntryMerger merger_;
    std::mutex wake_mu_;
    std::function<void()> wake_;
    std::atomic<bool> wake_pending_{false};
    bool busy_ = false;

    Label intro_{"OvrinSMS Lite requires a GSM modem to send and/or receive SMS or MMS messages.\r\n\r\n"
                 "If using an Android device, please ensure the OvrinSMS Modem app is running."};
    Label list_label_{"Select Available Modem:"};
    std::vector<std::string> items_;
    std::optional<size_t> selected_;
    Label text_label_{"Or enter IP address and port: (example 10.0.0.200:8990)"};
    std::string text_;
    PushButton test_and_add_{"Test and Add Modem"};
    PushButton cancel_{"Cancel"};
};

}  // namespace ovr::pages
