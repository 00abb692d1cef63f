#include "pages/mm7_dialog.h"

namespace ovr::pages {
namespace nt = nettest;

Mm7Dialog::Mm7Dialog(Context& ctx, const nt::TlsLibrary* tls, int handshake_limit_ms)
    : ctx_(ctx), tls_(tls), handshake_limit_ms_(handshake_limit_ms) {
    variations_.items = nt::mm7_variation_names();
    versions_.items = nt::mm7_versions();
    schemas_.items = nt::mm7_schemas();
    nt::Mm7Settings s = nt::load_mm7(nt::mm7_vasp_ini(ctx_.dirs.program_data));
    variations_.selected = static_cast<int>(s.variation);
    texts_[static_cast<size_t>(Text::Server)].text = s.server;
    texts_[static_cast<size_t>(Text::UserName)].text = s.user_name;
    texts_[static_cast<size_t>(Text::Password)].text = s.password;
    texts_[static_cast<size_t>(Text::VaspId)].text = s.vasp_id;
    texts_[static_cast<size_t>(Text::VasId)].text = s.vas_id;
    texts_[static_cast<size_t>(Text::ServiceCode)].text = s.service_code;
    if (!versions_.select(s.version)) {
        versions_.items.push_back(s.version);
        versions_.selected = static_cast<int>(versions_.items.size() - 1);
    }
    if (!schemas_.select(s.schema)) {
        schemas_.items.push_back(nt::kCustomSchema);
        schemas_.selected = static_cast<int>(schemas_.items.size() - 1);
    }
    strip_.checked = s.strip_white_space;
    apply_hiding();
}

void Mm7Dialog::apply_hiding() {
    bool show = variations_.selected != static_cast<int>(nt::Mm7Variation::PhpMultipart);
    for (size_t i = 0; i < texts_.size(); ++i) texts_[i].visible = show || i == static_cast<size_t>(Text::Server);
    versions_.visible = schemas_.visible = strip_.visible = show;
    ++revision_;
}

void Mm7Dialog::select_variation(int index) {
    if (index < 0 || static_cast<size_t>(index) >= variations_.items.size()) return;
    variations_.selected = index;
    apply_hiding();
}

void Mm7Dialog::select_version(int index) {
    if (index < 0 || static_cast<size_t>(index) >= versions_.items.size()) return;
    versions_.selected = index;
    ++revision_;
}

void Mm7Dialog::select_schema(int index) {
    if (index < 0 || static_cast<size_t>(index) >= schemas_.items.size()) return;
    schemas_.selected = index;
    ++revision_;
}

void Mm7Dialog::set_text(Text t, std::string_view text) {
    texts_[static_cast<size_t>(t)].text = cut_at_character(text, 1023);
    ++revision_;
}

void Mm7Dialog::set_strip_white_space(bool on) {
    strip_.checked = on;
    ++revision_;
}

nt::Mm7Settings Mm7Dialog::settings() const {
    nt::Mm7Settings s;
    s.variation = static_cast<nt::Mm7Variation>(variations_.selected < 0 ? 0 : variations_.selected);
    s.server = field(Text::Server).text;
    s.user_name = field(Text::UserName).text;
    s.password = field(Text::Password).text;
    s.vasp_id = field(Text::VaspId).text;
    s.vas_id = field(Text::VasId).text;
    s.service_code = field(Text::ServiceCode).text;
    s.version = versions_.current();
    s.schema = schemas_.current();
    s.strip_white_space = strip_.checked;
    return s;
}

bool Mm7Dialog::refuse(const std::string& message) {
    url_focus_ = true;
    ++revision_;
    ctx_.ui->error(message);
    return false;
}

bool Mm7Dialog::ok() {
    url_focus_ = false;
    last_check_ = {};
    const std::string& url = field(Text::Server).text;
    if (url.empty()) return refuse(kNoUrl);
    {
        BusyScope busy(*ctx_.ui, "Connecting to the server...");
        last_check_ = nt::check_mm7_server(nt::parse_mm7_url(url), tls_, handshake_limit_ms_);
    }
    if (!last_check_.ok) return refuse(last_check_.message);
    const std::string path = nt::mm7_vasp_ini(ctx_.dirs.program_data);
    if (!nt::save_mm7(path, settings())) return refuse("Unable to write " + path);
    ++revision_;
    return true;
}

}  // namespace ovr::pages
