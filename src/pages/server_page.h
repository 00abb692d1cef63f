// The Server page: the ports the services listen on (the SMS gateway's web
// interface and optional SMPP server, the MMSC's optional MM7/EAIF port),
// whether the services are active, and one button that installs, starts or
// stops them. Also the wizard's "Server Settings" step, whose Next saves the
// ports and installs and starts the services.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "config/directories.h"
#include "pages/fields.h"
#include "pages/page.h"

namespace ovr::pages {

inline constexpr uint32_t kDefaultWebPort = 8800;

// A port as typed or stored: the value of its leading decimal digits, or 0
// when it has none or names no TCP port (above 65535).
uint32_t port_value(std::string_view text);

// The three ports as the services read them; 0 for an optional protocol
// that is off.
struct ServerPorts {
    uint32_t web = kDefaultWebPort;
    uint32_t smpp = 0;
    uint32_t mm7 = 0;
};

enum class PortField { Web, Smpp, Mm7 };

ServerPorts load_server_ports(const config::IniPaths& ini);
// Writes WebPort, SMPPPort (removed when 0) and the MM7/EAIF port (WebPort of
// MMSC.INI, removed when 0); false when a write failed.
bool save_server_ports(const config::IniPaths& ini, const ServerPorts& ports);

// Two listeners cannot share a port: the later of two equal enabled ports.
struct PortConflict {
    PortField field;
    uint32_t port;
};
std::optional<PortConflict> find_port_conflict(const ServerPorts& ports);
std::string port_conflict_message(uint32_t port);

// The address of the SMS gateway's web interface: "http://ADDRESS:PORT/"
// with `IPAddress` (127.0.0.1 when empty) and `WebPort` (8800 when unusable).
// An IPv6 address is bracketed; the any-addresses (0.0.0.0, "::") name no
// host a browser can reach, so they become the loopback address.
std::string web_interface_url(const config::IniPaths& ini);

class ServerPage final : public PageModel {
public:
    static constexpr uint32_t kRefreshMs = 1000;
    static constexpr const char* kSaveQuestion = "Save configuration changes?";

    // `wizard`: the page is the wizard's Server Settings step.
    // `console_dir`: where the service programs live (empty: beside the
    // running executable).
    ServerPage(Context& ctx, bool wizard = false, std::string console_dir = {});

    std::string title() const override;
    std::string template_name() const override { return "DIALOG_SERVER"; }
    void created(PageSite& site) override;
    void shown() override;
    bool left() override { return ports_usable(); }
    bool can_apply() override { return ports_usable(); }
    void apply() override;
    bool apply_succeeded() const override { return saved_; }
    bool cancel_requested() override { return confirm_cancel(); }
    bool wizard_next() override;
    uint32_t refresh_interval_ms() const override { return kRefreshMs; }
    void tick() override { refresh_status(); }

    // Fields.
    const TextField& web_port() const { return web_; }
    const CheckBox& smpp_enable() const { return smpp_enable_; }
    const TextField& smpp_port() const { return smpp_; }
    const Label& smpp_port_label() const { return smpp_label_; }
    const CheckBox& mm7_enable() const { return mm7_enable_; }
    const TextField& mm7_port() const { return mm7_; }
    const Label& mm7_port_label() const { return mm7_label_; }
    const Label& server_status() const { return status_; }
    const PushButton& service_button() const { return button_; }
    // The field the page last sent the focus to (after a refused port);
    // the view takes it once.
    std::optional<PortField> focus() const { return focus_; }
    std::optional<PortField> take_focus() { return std::exchange(focus_, std::nullopt); }

    // User actions.
    void set_port_text(PortField field, const std::string& text);
    void click_enable(PortField field);  // SMPP or MM7/EAIF
    void press_service_button();

    // The ports as the fields would store them.
    ServerPorts ports() const;

private:
    void load();
    void update_enabled();
    void refresh_status();
    // False after showing the conflict message with the focus on its field.
    bool ports_usable();
    void run_service_operation(const char* what, bool stop);

    bool wizard_;
    std::string console_dir_;
    bool loading_ = false;
    bool busy_ = false;
    bool saved_ = true;
    std::optional<PortField> focus_;

    TextField web_;
    CheckBox smpp_enable_{"Enable"};
    TextField smpp_;
    Label smpp_label_{"Port Number:"};
    CheckBox mm7_enable_{"Enable"};
    TextField mm7_;
    Label mm7_label_{"Port Number:"};
    Label status_;
    PushButton button_;
};

}  // namespace ovr::pages
