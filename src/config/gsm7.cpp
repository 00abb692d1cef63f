#include "config/gsm7.h"

#include <cstdint>
#include <cstring>

namespace ovr::config {
namespace {

// The default alphabet, septet -> Unicode code point. 0x1B (escape) is
// handled before this table is consulted.
constexpr uint16_t kDefault[128] = {
    0x0040, 0x00A3, 0x0024, 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC,  // @ £ $ ¥ è é ù ì
    0x00F2, 0x00C7, 0x000A, 0x00D8, 0x00F8, 0x000D, 0x00C5, 0x00E5,  // ò Ç LF Ø ø CR Å å
    0x0394, 0x005F, 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8,  // Δ _ Φ Γ Λ Ω Π Ψ
    0x03A3, 0x0398, 0x039E, 0x0020, 0x00C6, 0x00E6, 0x00DF, 0x00C9,  // Σ Θ Ξ (esc) Æ æ ß É
    0x0020, 0x0021, 0x0022, 0x0023, 0x00A4, 0x0025, 0x0026, 0x0027,  //   ! " # ¤ % & '
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // ( ) * + , - . /
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 0 - 7
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 8 9 : ; < = > ?
    0x00A1, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // ¡ A - G
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // H - O
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // P - W
    0x0058, 0x0059, 0x005A, 0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7,  // X Y Z Ä Ö Ñ Ü §
    0x00BF, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // ¿ a - g
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // h - o
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // p - w
    0x0078, 0x0079, 0x007A, 0x00E4, 0x00F6, 0x00F1, 0x00FC, 0x00E0,  // x y z ä ö ñ ü à
};

constexpr uint8_t kEscape = 0x1B;

// The extension table; 0 where a code has no character of its own.
uint16_t extension(uint8_t code) {
    switch (code) {
        case 0x0A: return 0x000C;  // form feed (page break)
        case 0x14: return 0x005E;  // ^
        case 0x1B: return 0x0020;  // reserved second escape: a space
        case 0x28: return 0x007B;  // {
        case 0x29: return 0x007D;  // }
        case 0x2F: return 0x005C;  // backslash
        case 0x3C: return 0x005B;  // [
        case 0x3D: return 0x007E;  // ~
        case 0x3E: return 0x005D;  // ]
        case 0x40: return 0x007C;  // |
        case 0x65: return 0x20AC;  // €
        default: return 0;
    }
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool is_septet_hex(std::string_view hex) {
    if (hex.empty() || hex.size() % 2 != 0) return false;
    for (char c : hex)
        if (hex_value(c) < 0) return false;
    return true;
}

size_t put_utf8(char* out, uint16_t cp) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
}

// Converts validated digits; out may be the input itself, since every step
// reads its digits before it writes fewer bytes than it read. Returns the
// number of bytes written.
size_t convert(const char* in, size_t len, char* out) {
    size_t r = 0, w = 0;
    auto septet_at = [&](size_t pos) {
        return static_cast<uint8_t>(hex_value(in[pos]) << 4 | hex_value(in[pos + 1]));
    };
    while (r < len) {
        uint8_t s = septet_at(r);
        r += 2;
        uint16_t cp;
        if (s > 0x7F) {
            cp = '?';
        } else if (s == kEscape) {
            if (r >= len) {
                cp = ' ';
            } else {
                uint8_t e = septet_at(r);
                r += 2;
                if (e > 0x7F) cp = '?';
                else if (uint16_t x = extension(e)) cp = x;
                else cp = kDefault[e];
            }
        } else {
            cp = kDefault[s];
        }
        char buf[3];
        size_t n = put_utf8(buf, cp);
        std::memcpy(out + w, buf, n);
        w += n;
    }
    return w;
}

}  // namespace

std::optional<std::string> gsm7_hex_to_utf8(std::string_view hex) {
    if (!is_septet_hex(hex)) return std::nullopt;
    std::string out(hex.size(), '\0');
    out.resize(convert(hex.data(), hex.size(), out.data()));
    return out;
}

void GSM7ToUTF8String(const char* /*udh*/, const char* text, char* out) {
    if (!text || !out) return;
    size_t len = std::strlen(text);
    if (!is_septet_hex(std::string_view(text, len))) {
        if (out != text) std::memmove(out, text, len + 1);
        return;
    }
    out[convert(text, len, out)] = '\0';
}

}  // namespace ovr::config
