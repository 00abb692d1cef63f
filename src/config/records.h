// The fixed records exchanged with the gateway's support library: the user
// record of the SMS gateway (522 bytes), the MM7/EAIF account of the MMSC
// (511 bytes) and the outbound route account (511 bytes). Every record is
// kept as its raw bytes so that fields this console does not know survive a
// read-modify-write; the accessors below name the fields it does know. Text
// fields are NUL-terminated and zero-padded within their width.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ovr::config {

// Reads the text of a field: up to its first NUL, never beyond its width.
inline std::string field_text(const uint8_t* rec, size_t offset, size_t width) {
    const char* p = reinterpret_cast<const char*>(rec + offset);
    return std::string(p, strnlen(p, width));
}

// Stores a text field: at most width - 1 characters (longer text is cut), then
// zeros to the end of the field. A NUL inside the text ends it.
inline void set_field_text(uint8_t* rec, size_t offset, size_t width, std::string_view text) {
    text = text.substr(0, std::min(text.find('\0'), width - 1));
    std::memset(rec + offset, 0, width);
    std::memcpy(rec + offset, text.data(), text.size());
}

// Every record kind begins with its account name: 51 bytes at offset 0.
inline constexpr size_t kRecordNameOffset = 0;
inline constexpr size_t kRecordNameWidth = 51;

template <size_t N>
struct FixedRecord {
    static constexpr size_t kSize = N;
    std::array<uint8_t, N> bytes{};

    std::string text(size_t offset, size_t width) const { return field_text(bytes.data(), offset, width); }
    void set_text(size_t offset, size_t width, std::string_view t) { set_field_text(bytes.data(), offset, width, t); }

    std::string name() const { return text(kRecordNameOffset, kRecordNameWidth); }
    void set_name(std::string_view n) { set_text(kRecordNameOffset, kRecordNameWidth, n); }

    friend bool operator==(const FixedRecord&, const FixedRecord&) = default;
};

// ---------------------------------------------------------------- user record

inline constexpr size_t kUserRecordSize = 522;

namespace user_field {
inline constexpr size_t kName = 0, kNameWidth = 51;
inline constexpr size_t kPassword = 51, kPasswordWidth = 51;
inline constexpr size_t kFullName = 102, kFullNameWidth = 101;
inline constexpr size_t kWebLoginDisabled = 203;   // 1 = web login disabled
inline constexpr size_t kSmppLoginEnabled = 204;   // 1 = SMPP login enabled
inline constexpr size_t kAllowedIps = 225, kAllowedIpsWidth = 50;
inline constexpr size_t kWebMenuLevel = 419;
inline constexpr size_t kAdministrator = 420;      // 'j' = may edit user accounts
inline constexpr size_t kAcceptReceived = 421;     // 1 = receives routed messages
}  // namespace user_field

inline constexpr uint8_t kMenuAllOptions = 0xB0;
inline constexpr uint8_t kMenuTextSmsOnly = 0xB1;
inline constexpr uint8_t kAdministratorMark = 'j';

struct UserRecord : FixedRecord<kUserRecordSize> {
    std::string password() const { return text(user_field::kPassword, user_field::kPasswordWidth); }
    void set_password(std::string_view t) { set_text(user_field::kPassword, user_field::kPasswordWidth, t); }
    std::string full_name() const { return text(user_field::kFullName, user_field::kFullNameWidth); }
    void set_full_name(std::string_view t) { set_text(user_field::kFullName, user_field::kFullNameWidth, t); }
    std::string allowed_ips() const { return text(user_field::kAllowedIps, user_field::kAllowedIpsWidth); }
    void set_allowed_ips(std::string_view t) { set_text(user_field::kAllowedIps, user_field::kAllowedIpsWidth, t); }

    bool web_login_disabled() const { return bytes[user_field::kWebLoginDisabled] != 0; }
    void set_web_login_disabled(bool on) { bytes[user_field::kWebLoginDisabled] = on ? 1 : 0; }
    bool smpp_login_enabled() const { return bytes[user_field::kSmppLoginEnabled] != 0; }
    void set_smpp_login_enabled(bool on) { bytes[user_field::kSmppLoginEnabled] = on ? 1 : 0; }
    uint8_t web_menu_level() const { return bytes[user_field::kWebMenuLevel]; }
    void set_web_menu_level(uint8_t level) { bytes[user_field::kWebMenuLevel] = level; }
    bool administrator() const { return bytes[user_field::kAdministrator] == kAdministratorMark; }
    void set_administrator(bool on) { bytes[user_field::kAdministrator] = on ? kAdministratorMark : 0; }
    bool accept_received() const { return bytes[user_field::kAcceptReceived] != 0; }
    void set_accept_received(bool on) { bytes[user_field::kAcceptReceived] = on ? 1 : 0; }
};

// ---------------------------------------------------------------- VASP record

inline constexpr size_t kVaspRecordSize = 511;

namespace vasp_field {
inline constexpr size_t kName = 0, kNameWidth = 51;
inline constexpr size_t kPassword = 51, kPasswordWidth = 51;
inline constexpr size_t kFullName = 102, kFullNameWidth = 101;
// The four flag bytes an MM7/EAIF account carries (203 = 1, 204 = 0, 205 = 1,
// 206 = 1).
inline constexpr size_t kFlags = 203;
// The permitted address list; the user dialog never stores more than 49
// characters, the field is given the same 50 bytes as in the user record.
inline constexpr size_t kAllowedIps = 267, kAllowedIpsWidth = 50;
}  // namespace vasp_field

struct VaspRecord : FixedRecord<kVaspRecordSize> {
    std::string password() const { return text(vasp_field::kPassword, vasp_field::kPasswordWidth); }
    void set_password(std::string_view t) { set_text(vasp_field::kPassword, vasp_field::kPasswordWidth, t); }
    std::string full_name() const { return text(vasp_field::kFullName, vasp_field::kFullNameWidth); }
    void set_full_name(std::string_view t) { set_text(vasp_field::kFullName, vasp_field::kFullNameWidth, t); }
    std::string allowed_ips() const { return text(vasp_field::kAllowedIps, vasp_field::kAllowedIpsWidth); }
    void set_allowed_ips(std::string_view t) { set_text(vasp_field::kAllowedIps, vasp_field::kAllowedIpsWidth, t); }
    // The flag bytes of an account that may log in over MM7/EAIF.
    void set_mm7_flags() {
        bytes[vasp_field::kFlags] = 1;
        bytes[vasp_field::kFlags + 1] = 0;
        bytes[vasp_field::kFlags + 2] = 1;
        bytes[vasp_field::kFlags + 3] = 1;
    }
};

// ------------------------------------------------------ outbound route account

// Only the route name (offset 0) is known; the rest is the MMSC's own and is
// kept byte for byte.
inline constexpr size_t kRouteRecordSize = 511;

struct RouteRecord : FixedRecord<kRouteRecordSize> {};

}  // namespace ovr::config
