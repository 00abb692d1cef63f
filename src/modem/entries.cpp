#include "modem/entries.h"

#include <cstdio>

#include "config/text.h"

namespace ovr::modem {

namespace {
constexpr uint32_t kInitialCapsSize = 1276;
constexpr uint32_t kMaxCapsSize = 64 * 1024;   // no device needs more; stops a runaway driver
constexpr uint32_t kApiVersion = 0x00020001;
constexpr uint32_t kLowestApiVersion = 0x00010003;

bool begins_with(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && config::equal_ignoring_case(s.substr(0, prefix.size()), prefix);
}
}  // namespace

EntryKind entry_kind(std::string_view entry) {
    if (begins_with(entry, "SMPP - ")) return EntryKind::Smpp;
    if (begins_with(entry, "HTTP - ")) return EntryKind::Http;
    if (begins_with(entry, "UCP - ")) return EntryKind::Ucp;
    if (begins_with(entry, "CIMD - ")) return EntryKind::Cimd;
    if (begins_with(entry, "OvrinSMSModem - ")) return EntryKind::NetworkDevice;
    return EntryKind::LocalModem;
}

std::string ModemSectionName(std::string_view entry) {
    std::string out;
    if (entry_kind(entry) == EntryKind::LocalModem) out = "Modem - ";
    for (char c : entry) {
        if (c == '[') out += "\\x5B";
        else if (c == ']') out += "\\x5D";
        else out += c;
    }
    return out;
}

bool get_line_caps(platform::Tapi& tapi, uint32_t app, uint32_t device, uint32_t version,
                   platform::LineDevCaps& caps) {
    uint32_t size = kInitialCapsSize;
    for (int tries = 0; tries < 16; ++tries) {
        int32_t r = tapi.get_dev_caps(app, device, version, size, caps);
        if (static_cast<uint32_t>(r) == platform::tapi::kErrStructureTooSmall) {
            size += 1024;
        } else if (platform::tapi::failed(r)) {
            return false;
        } else if (caps.needed_size > size) {
            size = caps.needed_size;
        } else {
            return true;
        }
        if (size > kMaxCapsSize) return false;
    }
    return false;
}

std::vector<std::string> ListTapiModems(platform::Tapi& tapi, Ui& ui) {
    std::vector<std::string> list;
    uint32_t app = 0, count = 0, version = kApiVersion;
    int32_t r = tapi.initialize(kProgramTitle, 0, app, count, version);
    if (platform::tapi::failed(r)) {
        char text[100];
        std::snprintf(text, sizeof text, "Unable to initialize TAPI:  Error %X from lineInitialize",
                      static_cast<unsigned>(r));
        ui.message(text, Icon::None);
        return list;
    }
    for (uint32_t d = 0; d < count; ++d) {
        uint32_t v = 0;
        if (platform::tapi::failed(tapi.negotiate_api_version(app, d, kLowestApiVersion, kApiVersion, v))) continue;
        platform::LineDevCaps caps;
        if (!get_line_caps(tapi, app, d, v, caps)) continue;
        if (caps.media_modes & platform::tapi::kMediaModeDataModem) list.push_back(caps.line_name);
    }
    tapi.shutdown(app);
    return list;
}

std::optional<std::string> FindModemPort(platform::Registry& registry, std::string_view friendly_name) {
    for (const auto& m : registry.installed_modems()) {
        if (config::equal_ignoring_case(m.friendly_name, friendly_name) && m.attached_to && !m.attached_to->empty())
            return m.attached_to;
    }
    return std::nullopt;
}

}  // namespace ovr::modem
