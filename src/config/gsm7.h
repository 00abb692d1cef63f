// Display of received 7-bit SMS texts: the service stores such a text as
// hexadecimal, two digits per septet; this turns it into UTF-8 following the
// 3GPP TS 23.038 default alphabet and its extension table.
//
// Rules of this conversion:
// - The text must be an even number of hexadecimal digits (either letter
//   case) and nothing else; any other text is left unchanged, as is an
//   empty one.
// - Septet 0x1B escapes to the extension table for the septet after it.
//   An extension code without its own character shows the default alphabet's
//   character for that code, as TS 23.038 asks of a receiver; 0x1B 0x1B (the
//   reserved second escape) and an escape at the very end show a space.
// - A pair of digits above 0x7F is not a septet and shows "?".
// - The UDH text is not used: the stored text holds the message's own
//   septets only, without its header. National language shift tables named
//   in a UDH are not supported; such texts show with the default tables.
// - The result is never longer than the text (a septet, two digits, gives at
//   most two bytes; an escaped pair, four digits, at most three) and never
//   holds a NUL, so converting in place is safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ovr::config {

// Converts the NUL-terminated text into out, which may be the text itself
// and must hold as many bytes as the text (with its NUL). udh may be null.
void GSM7ToUTF8String(const char* udh, const char* text, char* out);

// The UTF-8 text, or nothing when the text is not hexadecimal septets.
std::optional<std::string> gsm7_hex_to_utf8(std::string_view hex);

}  // namespace ovr::config
