// SMS request files and received SMS files: a "[SMS]" or "[SMS-IN]" section
// of key=value lines, and the "[ErrorDetail]" section the SMS service keeps
// while it retries a message. Also the display text of a received SMS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ovr::queue {

// A date-time as the services store it (all zero in a fresh record).
struct SmsDateTime {
    uint16_t year;
    uint16_t month;
    uint16_t day_of_week;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t millisecond;
};

// Receipt bits.
inline constexpr uint32_t kReplyRequested = 0x01;
inline constexpr uint32_t kReceiptRequested = 0x02;
inline constexpr uint32_t kReceiptAny = 0x04;
inline constexpr uint32_t kReceiptDelivered = 0x08;
inline constexpr uint32_t kReceiptIntransit = 0x10;
inline constexpr uint32_t kReceiptFailed = 0x20;
inline constexpr uint32_t kNonDelReceiptRequested = 0x40;

// One parsed file. Text fields are NUL-terminated with room for the number
// of characters in their size minus one; longer values are cut.
struct SmsFileRecord {
    char PhoneNumber[150];
    char Sender[150];
    char Data[8192];
    char udh[500];
    char SubmittedBy[500];
    char SubmitUser[250];
    char ServiceType[100];
    char RouteToLocalUser[100];
    char SMPPOptions[500];
    char SMSCRoute[100];
    char Validity[50];
    char BillingInfo[50];
    char LastErrorInfo[200];
    char ModemName[150];
    uint8_t pid;
    uint8_t dcs;
    uint32_t binary;   // 1 or 0
    int32_t RetryCount;
    uint32_t receipt_flags;
    SmsDateTime LastRetryTime;
    SmsDateTime FirstAttemptTime;
    char ReceiptMessageId[150];
};

// Files up to this size are parsed in a fixed buffer.
inline constexpr size_t kSmallFileBytes = 8192;
// Larger files are read whole into one heap block; beyond this size a file is
// treated as one whose buffer cannot be had and stays unparsed.
inline constexpr uint64_t kMaxSmsFileBytes = 16u << 20;

// Reads the open file from its start into the record (zeroed first). A file
// whose size cannot be had, or that cannot be read, leaves the record empty
// or partly filled.
void ParseSmsFile(int fd, SmsFileRecord& rec);
// The same when the caller already knows the file's size.
void ParseSmsFile(int fd, SmsFileRecord& rec, uint64_t size);
// The same over text already in memory (a NUL in it ends the text).
void ParseSmsText(std::string_view text, SmsFileRecord& rec);

// The value conversions of the key lines.
uint8_t parse_hex_byte(const char* value);
int32_t parse_decimal(const char* value);
SmsDateTime parse_time_stamp(const char* value);
// "\r" and then "\n" (backslash sequences) become CR and LF, in place.
void undo_line_break_escaping(char* text);

enum class DcsClass { Gsm7, Ucs2, Other };
DcsClass classify_dcs(uint8_t dcs);

// The text of a received SMS as it is shown: converted in place from the GSM
// 7-bit alphabet or from UCS-2 hexadecimal when binary is set and the DCS
// says so; otherwise left as stored. The buffer must be NUL-terminated.
void convert_display_text(const SmsFileRecord& rec, char* text);
std::string display_text(const SmsFileRecord& rec);

// Hexadecimal UCS-2 (four digits a unit) to UTF-8; out may be in. Out needs
// no more room than in. Stops at the first non-hex group start, at a unit of
// 0, or after 8192 units.
void DecodeUcs2Hex(const char* in, char* out);

}  // namespace ovr::queue
