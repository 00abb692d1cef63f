// Sample received messages, dropped by the ctl command into the received
// directories as the SMS gateway service leaves them there:
// - an SMS file "*.SMS" with a "[SMS-IN]" section (Sender, PhoneNumber,
//   Data, ModemName; binary and dcs for the coded texts): plain text, UCS-2
//   as hexadecimal code units (dcs 08), or GSM 7-bit as two hexadecimal
//   digits a septet (dcs 00);
// - an MMS header file "*.HDR" (From, To, Subject, Date and one
//   X-OvrinMMS-Content-Location line per part) with its content directory
//   (the header's path without the extension) holding a text and an image.
// Each file appears under its final name only when complete; an MMS's content
// directory is complete before its header appears.
#pragma once

#include <string>

#include "config/directories.h"
#include "platform/clock.h"

namespace ovr::gwsim {

enum class SmsSample { Plain, Ucs2, Gsm7 };

// The texts the samples carry, as they read once converted for display.
inline constexpr const char* kPlainSampleText = "Hello from the simulated gateway";
inline constexpr const char* kUcs2SampleHex = "0047007200FC00DF006500204F60597D";   // "Grüße 你好"
inline constexpr const char* kGsm7SampleHex = "4869200020686F6D653A203501201B286F6B1B29201B65";   // "Hi @ home: 5£ {ok} €"

// The path written, or "" when the file could not be written.
std::string drop_received_sms(const config::Directories& dirs, SmsSample kind, const platform::LocalTime& now);
std::string drop_received_mms(const config::Directories& dirs, const platform::LocalTime& now);

}  // namespace ovr::gwsim
