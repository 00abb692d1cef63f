#include "queue/sms_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

#include "config/text.h"
#include "queue/line_walk.h"
#include "queue/support_calls.h"

namespace ovr::queue {
namespace {

template <size_t N>
void store(char (&field)[N], const char* value) {
    size_t n = strnlen(value, N - 1);
    std::memcpy(field, value, n);
    field[n] = 0;
}

bool starts_with_ignoring_case(const char* line, std::string_view key) {
    for (size_t i = 0; i < key.size(); ++i) {
        if (line[i] == 0 || config::upper_char(line[i]) != config::upper_char(key[i])) return false;
    }
    return true;
}

// The lines of the first section whose header line begins with one of the
// given headers, up to the next line beginning with "[".
template <typename Fn>
void walk_section(char* text, std::initializer_list<std::string_view> headers, Fn&& on_line) {
    bool inside = false;
    walk_lines(text, [&](char* line) {
        if (!inside) {
            for (std::string_view h : headers) inside = inside || starts_with_ignoring_case(line, h);
            return true;
        }
        if (line[0] == '[') return false;
        on_line(line);
        return true;
    });
}

void set_receipt(SmsFileRecord& rec, const char* value, uint32_t bits) {
    if (config::is_yes_value(value)) rec.receipt_flags |= bits;
}

// The key lines, in the order they are tried: the first key a line begins
// with takes it.
void take_sms_key(SmsFileRecord& rec, const char* line) {
    struct Key {
        std::string_view name;
        void (*take)(SmsFileRecord&, const char*);
    };
    static const Key keys[] = {
        {"PhoneNumber=", [](SmsFileRecord& r, const char* v) { store(r.PhoneNumber, v); }},
        {"Sender=", [](SmsFileRecord& r, const char* v) { store(r.Sender, v); }},
        {"Data=",
         [](SmsFileRecord& r, const char* v) {
             store(r.Data, v);
             undo_line_break_escaping(r.Data);
         }},
        {"udh=", [](SmsFileRecord& r, const char* v) { store(r.udh, v); }},
        {"SubmittedBy=", [](SmsFileRecord& r, const char* v) { store(r.SubmittedBy, v); }},
        {"SubmitUser=", [](SmsFileRecord& r, const char* v) { store(r.SubmitUser, v); }},
        {"ServiceType=", [](SmsFileRecord& r, const char* v) { store(r.ServiceType, v); }},
        {"BillingInfo=", [](SmsFileRecord& r, const char* v) { store(r.BillingInfo, v); }},
        {"Validity=", [](SmsFileRecord& r, const char* v) { store(r.Validity, v); }},
        {"SMSCRoute=", [](SmsFileRecord& r, const char* v) { store(r.SMSCRoute, v); }},
        {"SMPPOptions=", [](SmsFileRecord& r, const char* v) { store(r.SMPPOptions, v); }},
        {"RouteToLocalUser=", [](SmsFileRecord& r, const char* v) { store(r.RouteToLocalUser, v); }},
        {"pid=", [](SmsFileRecord& r, const char* v) { r.pid = parse_hex_byte(v); }},
        {"dcs=", [](SmsFileRecord& r, const char* v) { r.dcs = parse_hex_byte(v); }},
        {"binary=", [](SmsFileRecord& r, const char* v) { r.binary = config::is_yes_value(v) ? 1 : 0; }},
        {"ReplyRequested=", [](SmsFileRecord& r, const char* v) { set_receipt(r, v, kReplyRequested); }},
        {"ReceiptRequested=", [](SmsFileRecord& r, const char* v) { set_receipt(r, v, kReceiptRequested); }},
        {"ReceiptFailed=", [](SmsFileRecord& r, const char* v) { set_receipt(r, v, kReceiptAny | kReceiptFailed); }},
        {"ReceiptDelivered=",
         [](SmsFileRecord& r, const char* v) { set_receipt(r, v, kReceiptAny | kReceiptDelivered); }},
        {"ReceiptIntransit=",
         [](SmsFileRecord& r, const char* v) { set_receipt(r, v, kReceiptAny | kReceiptIntransit); }},
        {"NonDelReceiptRequested=",
         [](SmsFileRecord& r, const char* v) { set_receipt(r, v, kNonDelReceiptRequested); }},
        {"ReceiptMessageId=", [](SmsFileRecord& r, const char* v) { store(r.ReceiptMessageId, v); }},
        {"ModemName=", [](SmsFileRecord& r, const char* v) { store(r.ModemName, v); }},
    };
    for (const Key& k : keys) {
        if (starts_with_ignoring_case(line, k.name)) {
            k.take(rec, line + k.name.size());
            return;
        }
    }
}

void take_retry_key(SmsFileRecord& rec, const char* line) {
    if (starts_with_ignoring_case(line, "RetryCount=")) {
        rec.RetryCount = parse_decimal(line + 11);
    } else if (starts_with_ignoring_case(line, "LastRetryTime=")) {
        rec.LastRetryTime = parse_time_stamp(line + 14);
    } else if (starts_with_ignoring_case(line, "FirstAttemptTime=")) {
        rec.FirstAttemptTime = parse_time_stamp(line + 17);
    } else if (starts_with_ignoring_case(line, "LastErrorInfo=")) {
        store(rec.LastErrorInfo, line + 14);
    }
}

// Parses a NUL-terminated, writable text; the two sections are found
// independently, so their order in the file does not matter.
void parse_buffer(char* text, SmsFileRecord& rec) {
    walk_section(text, {"[SMS]", "[SMS-IN]"}, [&](const char* line) { take_sms_key(rec, line); });
    walk_section(text, {"[ErrorDetail]"}, [&](const char* line) { take_retry_key(rec, line); });
}

int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

uint8_t parse_hex_byte(const char* value) {
    uint32_t v = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(value); hex_value(*p) >= 0; ++p)
        v = (v << 4) | static_cast<uint32_t>(hex_value(*p));
    return static_cast<uint8_t>(v & 0xFF);
}

int32_t parse_decimal(const char* value) {
    const char* p = value;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t v = 0;
    // Saturates instead of overflowing on absurdly long numbers.
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > static_cast<int64_t>(INT32_MAX) + 1) v = static_cast<int64_t>(INT32_MAX) + 1;
    }
    if (negative) v = -v;
    if (v > INT32_MAX) v = INT32_MAX;
    return static_cast<int32_t>(v);
}

SmsDateTime parse_time_stamp(const char* value) {
    for (int i = 0; i < 14; ++i) {
        if (value[i] < '0' || value[i] > '9') return SmsDateTime{2000, 1, 0, 1, 0, 0, 0, 0};
    }
    auto num = [&](int at, int len) {
        uint16_t n = 0;
        for (int i = 0; i < len; ++i) n = static_cast<uint16_t>(n * 10 + (value[at + i] - '0'));
        return n;
    };
    return SmsDateTime{num(0, 4), num(4, 2), 0, num(6, 2), num(8, 2), num(10, 2), num(12, 2), 0};
}

void undo_line_break_escaping(char* text) {
    for (char letter : {'r', 'n'}) {
        char* out = text;
        for (const char* in = text; *in;) {
            if (in[0] == '\\' && in[1] == letter) {
                *out++ = letter == 'r' ? '\r' : '\n';
                in += 2;
            } else {
                *out++ = *in++;
            }
        }
        *out = 0;
    }
}

void ParseSmsText(std::string_view text, SmsFileRecord& rec) {
    std::memset(&rec, 0, sizeof rec);
    if (text.size() > kMaxSmsFileBytes) return;
    char small[kSmallFileBytes + 1];
    std::unique_ptr<char[]> large;
    char* buf = small;
    if (text.size() > kSmallFileBytes) {
        large.reset(new (std::nothrow) char[text.size() + 16]);
        if (!large) return;
        buf = large.get();
    }
    std::memcpy(buf, text.data(), text.size());
    buf[text.size()] = 0;
    parse_buffer(buf, rec);
}

void ParseSmsFile(int fd, SmsFileRecord& rec) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size < 0) {
        std::memset(&rec, 0, sizeof rec);
        return;
    }
    ParseSmsFile(fd, rec, static_cast<uint64_t>(st.st_size));
}

void ParseSmsFile(int fd, SmsFileRecord& rec, uint64_t size) {
    std::memset(&rec, 0, sizeof rec);
    if (size > kMaxSmsFileBytes) return;
    char small[kSmallFileBytes + 1];
    std::unique_ptr<char[]> large;
    char* buf = small;
    if (size > kSmallFileBytes) {
        large.reset(new (std::nothrow) char[size + 16]);
        if (!large) return;
        buf = large.get();
    }
    size_t got = 0;
    while (got < size) {
        ssize_t r = pread(fd, buf + got, size - got, static_cast<off_t>(got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return;
        if (r == 0) break;  // the file shrank since its size was asked
        got += static_cast<size_t>(r);
    }
    buf[got] = 0;
    parse_buffer(buf, rec);
}

DcsClass classify_dcs(uint8_t dcs) {
    if (((dcs & 0xC0) == 0 && (dcs & 0x0C) == 0) || ((dcs & 0xF0) == 0xF0 && (dcs & 0x04) == 0) ||
        (dcs & 0xF0) == 0xD0 || (dcs & 0xF0) == 0xC0)
        return DcsClass::Gsm7;
    if (((dcs & 0xC0) == 0 && (dcs & 0x08) != 0) || (dcs & 0xF0) == 0xE0) return DcsClass::Ucs2;
    return DcsClass::Other;
}

void convert_display_text(const SmsFileRecord& rec, char* text) {
    if (rec.binary == 0) return;
    switch (classify_dcs(rec.dcs)) {
    case DcsClass::Gsm7:
        gsm7_to_utf8(rec.udh, text, text);
        break;
    case DcsClass::Ucs2:
        DecodeUcs2Hex(text, text);
        break;
    case DcsClass::Other:
        break;
    }
}

std::string display_text(const SmsFileRecord& rec) {
    char text[sizeof rec.Data];
    std::memcpy(text, rec.Data, sizeof text);
    text[sizeof text - 1] = 0;
    convert_display_text(rec, text);
    return text;
}

void DecodeUcs2Hex(const char* in, char* out) {
    // Every group of k digits gives at most k bytes, so the output never
    // overtakes the input and in == out is safe.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
    unsigned char* o = reinterpret_cast<unsigned char*>(out);
    for (int units = 0; units < 8192 && hex_value(*p) >= 0; ++units) {
        uint32_t u = 0;
        for (int n = 0; n < 4 && hex_value(*p) >= 0; ++n, ++p) u = (u << 4) | static_cast<uint32_t>(hex_value(*p));
        if (u == 0) break;
        if (u < 0x80) {
            *o++ = static_cast<unsigned char>(u);
        } else if (u < 0x800) {
            *o++ = static_cast<unsigned char>(0xC0 | (u >> 6));
            *o++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else {
            *o++ = static_cast<unsigned char>(0xE0 | (u >> 12));
            *o++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        }
    }
    *o = 0;
}

}  // namespace ovr::queue
