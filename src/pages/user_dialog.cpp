#include "pages/user_dialog.h"

#include <cstdio>

#include "config/ini.h"
#include "config/settings.h"
#include "config/text.h"

namespace ovr::pages {

bool is_safe_user_name(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.front() == '[' || name.front() == ';') return false;
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (blank(name.front()) || blank(name.back())) return false;
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '/' || c == '\\' || c == '=') return false;
    }
    return true;
}

std::string read_routing(const config::IniPaths& ini, std::string_view name) {
    if (name.empty()) return {};
    return config::ini::read_string(ini.rirer, kInboundRouting, name, "", kRecipientsBytes + 1);
}

UserDialog::UserDialog(Context& ctx, const config::UserFileHandle& file, const config::UserRecord& record)
    : ctx_(ctx), file_(file), record_(record), original_(record.name()) {
    password_.masked = true;
    name_.text = original_;
    password_.text = record.password();
    full_name_.text = record.full_name();
    web_.checked = !record.web_login_disabled();
    smpp_.checked = record.smpp_login_enabled();
    accept_.checked = record.accept_received();
    config::VaspRecord vasp;
    mm7_.checked = !original_.empty() && config::VASPFindUserRecord(original_, vasp);
    // The routing value is loaded whatever the SMPP box says, so an OK that
    // changes nothing keeps it.
    recipients_.text = read_routing(ctx.ini, original_);
    if (!recipients_.text.empty()) accept_.checked = true;
    ips_.text = cut_at_character(record.allowed_ips(), kAllowedIpsBytes);
    uint8_t level = record.web_menu_level();
    menu_ = level == config::kMenuTextSmsOnly ? 1 : (level >= 0xB2 && level <= 0xB4) ? -1 : 0;
    admin_.checked = web_.checked && record.administrator();
    update_enabled();
}

TextField& UserDialog::field(UserText t) {
    switch (t) {
        case UserText::Name: return name_;
        case UserText::Password: return password_;
        case UserText::FullName: return full_name_;
        case UserText::AllowedIps: return ips_;
        case UserText::Recipients: break;
    }
    return recipients_;
}

const TextField& UserDialog::text(UserText t) const { return const_cast<UserDialog*>(this)->field(t); }

CheckBox& UserDialog::check(UserBox b) {
    switch (b) {
        case UserBox::WebLogin: return web_;
        case UserBox::SmppLogin: return smpp_;
        case UserBox::Mm7Login: return mm7_;
        case UserBox::AcceptReceived: return accept_;
        case UserBox::Admin: break;
    }
    return admin_;
}

const CheckBox& UserDialog::box(UserBox b) const { return const_cast<UserDialog*>(this)->check(b); }

void UserDialog::update_enabled() {
    menu_label_.enabled = admin_.enabled = web_.checked;
    recipients_.enabled = recipients_label_.enabled = accept_.checked;
}

bool UserDialog::set_text(UserText t, const std::string& text) {
    static constexpr size_t limits[] = {kUserNameBytes, kPasswordBytes, kFullNameBytes, kAllowedIpsBytes,
                                        kRecipientsBytes};
    size_t limit = limits[static_cast<int>(t)];
    // A cut password would be a different password: it is refused whole.
    if (text.size() > limit && t == UserText::Password) return false;
    std::string v = cut_at_character(text, limit);
    TextField& f = field(t);
    if (f.text != v) {
        f.text = v;
        touched();
    }
    return v.size() == text.size();
}

void UserDialog::click(UserBox b) {
    CheckBox& c = check(b);
    if (!c.enabled) return;
    c.checked = !c.checked;
    update_enabled();
    touched();
}

void UserDialog::select_menu(int item) {
    if (item < -1 || item > 1 || menu_ == item) return;
    menu_ = item;
    touched();
}

bool UserDialog::refuse(Refusal r, const std::string& message) {
    refusal_ = r;
    focus_ = UserText::Name;
    touched();
    ctx_.ui->error(message);
    return false;
}

bool UserDialog::ok() {
    refusal_ = Refusal::None;
    config::UserRecord rec;
    rec.set_name(name_.text);
    rec.set_password(password_.text);
    rec.set_full_name(full_name_.text);
    rec.set_web_login_disabled(!web_.checked);
    rec.set_smpp_login_enabled(smpp_.checked);
    const std::string name = rec.name();
    if (name.empty()) return refuse(Refusal::Required, kRequired);
    // Names become a directory and an INI key: ".." or "a/b" would reach
    // outside the user's own directory.
    if (!is_safe_user_name(name)) return refuse(Refusal::Invalid, kInvalidName);
    bool renamed = !config::equal_ignoring_case(name, original_);
    config::UserRecord other;
    if (renamed && config::SMSFindUserRecord(file_, name, other)) {
        char buf[128];
        std::snprintf(buf, sizeof buf, kAlreadyDefinedFormat, name.c_str());
        return refuse(Refusal::Taken, buf);
    }
    rec.set_allowed_ips(ips_.text);
    rec.set_web_menu_level(menu_ == 1 ? config::kMenuTextSmsOnly : config::kMenuAllOptions);
    rec.set_administrator(web_.checked && admin_.checked);
    rec.set_accept_received(accept_.checked);
    bool had_old = renamed && !original_.empty();
    Before before;
    before.routing = config::ini::read_value(ctx_.ini.rirer, kInboundRouting, name);
    config::VaspRecord found;
    if (config::VASPFindUserRecord(name, found)) before.account = found;
    if (had_old && config::VASPFindUserRecord(original_, found)) before.old_account = found;
    before_ = std::move(before);
    config::write_setting(ctx_.ini.rirer, kInboundRouting, name, accept_.checked ? recipients_.text : "");
    record_ = rec;

    config::VaspRecord vasp;
    if (mm7_.checked) {
        // A renamed account keeps whatever else its old MMSC record held.
        if (!config::VASPFindUserRecord(name, vasp) && !(had_old && config::VASPFindUserRecord(original_, vasp)))
            vasp = config::VaspRecord{};
        vasp.set_name(name);
        vasp.set_password(rec.password());
        vasp.set_full_name(rec.full_name());
        vasp.set_mm7_flags();
        vasp.set_allowed_ips(rec.allowed_ips());
        config::VASPAddUser(vasp);
    } else {
        config::VASPDeleteUser(name);
    }
    // The old name's login must not outlive the rename.
    if (had_old) config::VASPDeleteUser(original_);
    return true;
}

void UserDialog::undo_ok() {
    if (!before_) return;
    const std::string name = record_.name();
    if (before_->routing)
        config::ini::write_string(ctx_.ini.rirer, kInboundRouting, name, *before_->routing);
    else
        config::ini::remove_key(ctx_.ini.rirer, kInboundRouting, name);
    if (before_->account)
        config::VASPAddUser(*before_->account);
    else
        config::VASPDeleteUser(name);
    if (before_->old_account) config::VASPAddUser(*before_->old_account);
    before_.reset();
}

}  // namespace ovr::pages
