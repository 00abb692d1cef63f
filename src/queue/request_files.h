// The request files the console drops into the outbound queues: a test SMS
// ("TEST%04X.REQ") and a test MMS pair ("TEST%04X.MMS" with its routing
// companion "TEST%04X.INI").
//
// A service may pick a file up the moment it appears, so each file is written
// under a temporary name that no queue pattern matches, in the same
// directory, and renamed to its final name only when complete; the companion
// reaches its name before the message file, so a counted message always has
// its companion. An existing file of the final name is replaced.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "queue/queue_dirs.h"

namespace ovr::queue {

// One optional "+" and then one or more decimal digits, nothing else.
bool is_valid_phone_number(std::string_view text);

// "TEST%04X" from the low 16 bits of a millisecond tick count.
std::string test_tag(uint64_t tick_ms);

// The exact bytes of the two texts.
std::string sms_request_text(const std::string& number);
std::string routing_companion_text(const std::string& tag, const std::string& number);

// Writes TAG.REQ in the outbound SMS queue itself; false when it cannot be
// created or written (nothing is left behind).
bool WriteSmsRequest(const QueueSetup& q, const std::string& tag, const std::string& number);

enum class MmsRequestResult { Ok, TemplateMissing, CreateFailed };

// The template copied into every test MMS: real program directory +
// "MMSTEST.MMS" (the name matched without regard to letter case).
std::string mms_template_path(const QueueSetup& q);

// Writes TAG.INI and TAG.MMS in the outbound MMS queue itself. When either
// cannot be created or written neither is left behind.
MmsRequestResult WriteMmsRequest(const QueueSetup& q, const std::string& tag, const std::string& number);

// Wake the services after a request was queued: "SMSOut" with the name of
// `Modem1`; "VASPOut" with a network modem device's name (when `Modem1` names
// one) and then with the route "ovrinsmslite".
void SignalSmsQueued(const QueueSetup& q);
void SignalMmsQueued(const QueueSetup& q);

}  // namespace ovr::queue
