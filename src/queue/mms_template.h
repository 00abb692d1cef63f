// The MMS test template "MMSTEST.MMS" that ships in the program directory and
// is copied byte for byte into every test MMS: an m-send-req in the binary
// MMS encapsulation whose body is a multipart/related of a SMIL presentation,
// a text and a small GIF picture, the shape of a message a handset sends.
// The recipients are not in it: they come from the routing companion.
#pragma once

#include <cstdint>
#include <string>

namespace ovr::queue {

// What the template's parts are called; the SMIL refers to the other two by
// their Content-Location.
inline constexpr const char* kTemplateSubject = "OvrinSMS Test Message";
inline constexpr const char* kTemplateText = "OvrinSMS Test Message";
inline constexpr const char* kTemplateSmilLocation = "test.smil";
inline constexpr const char* kTemplateTextLocation = "text.txt";
inline constexpr const char* kTemplateImageLocation = "image.gif";
inline constexpr uint16_t kTemplateImageWidth = 48;
inline constexpr uint16_t kTemplateImageHeight = 32;

// The whole template, the same bytes every time.
std::string make_mms_test_template();

// The picture: an envelope on blue, four colours, GIF89a.
std::string make_template_gif();

// The encoding's building blocks, shared with whoever reads the bytes back.
void append_uintvar(std::string& out, uint32_t v);
// A Value-length: one octet below 31, else 31 and a uintvar.
void append_value_length(std::string& out, uint32_t n);

}  // namespace ovr::queue
