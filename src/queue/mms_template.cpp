#include "queue/mms_template.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace ovr::queue {
namespace {

// Header field names and well-known values of the MMS encapsulation and of
// WSP, each with its top bit set as they travel.
constexpr unsigned char kMessageType = 0x8C, kSendReq = 0x80;
constexpr unsigned char kTransactionId = 0x98;
constexpr unsigned char kMmsVersion = 0x8D, kVersion12 = 0x92;
constexpr unsigned char kFrom = 0x89, kInsertAddressToken = 0x81;
constexpr unsigned char kSubject = 0x96;
constexpr unsigned char kMessageClass = 0x8A, kPersonal = 0x80;
constexpr unsigned char kContentType = 0x84;
constexpr unsigned char kMultipartRelated = 0xB3;   // application/vnd.wap.multipart.related
constexpr unsigned char kParamType = 0x89, kParamStart = 0x8A, kParamCharset = 0x81;
constexpr unsigned char kUtf8 = 0xEA;                // IANA MIBenum 106
constexpr unsigned char kTextPlain = 0x83, kImageGif = 0x9D;
constexpr unsigned char kContentLocation = 0x8E, kContentId = 0xC0;

void text_string(std::string& out, const std::string& s) {
    out += s;
    out += '\0';
}

struct Part {
    std::string content_type;   // encoded
    std::string content_id;     // without the angle brackets
    std::string location;
    std::string data;
};

std::string part_headers(const Part& p) {
    std::string h = p.content_type;
    h += static_cast<char>(kContentId);
    h += '"';   // a quoted string
    text_string(h, "<" + p.content_id + ">");
    h += static_cast<char>(kContentLocation);
    text_string(h, p.location);
    return h;
}

// A general-form content type: the media type and a UTF-8 charset.
std::string with_utf8(std::string media) {
    media += static_cast<char>(kParamCharset);
    media += static_cast<char>(kUtf8);
    std::string out;
    append_value_length(out, static_cast<uint32_t>(media.size()));
    return out + media;
}

std::string smil() {
    return std::string(
               "<smil>\r\n"
               "<head>\r\n"
               "<layout>\r\n"
               "<root-layout width=\"160\" height=\"120\"/>\r\n"
               "<region id=\"Image\" top=\"0\" left=\"0\" width=\"100%\" height=\"70%\" fit=\"meet\"/>\r\n"
               "<region id=\"Text\" top=\"70%\" left=\"0\" width=\"100%\" height=\"30%\"/>\r\n"
               "</layout>\r\n"
               "</head>\r\n"
               "<body>\r\n"
               "<par dur=\"5000ms\">\r\n"
               "<img src=\"") +
           kTemplateImageLocation + "\" region=\"Image\"/>\r\n<text src=\"" + kTemplateTextLocation +
           "\" region=\"Text\"/>\r\n"
           "</par>\r\n"
           "</body>\r\n"
           "</smil>\r\n";
}

// LZW for a GIF of at most four colours without a code table: a clear code
// before every second pixel keeps every code three bits wide, since the
// table never grows past its first free entry. Larger than real compression,
// but a few hundred bytes for the picture and nothing to get wrong.
std::string lzw_small(const std::vector<unsigned char>& pixels) {
    constexpr unsigned kClear = 4, kEnd = 5, kWidth = 3;
    std::string out;
    uint32_t acc = 0;
    unsigned bits = 0;
    auto put = [&](unsigned code) {
        acc |= code << bits;
        bits += kWidth;
        while (bits >= 8) {
            out += static_cast<char>(acc & 0xFF);
            acc >>= 8;
            bits -= 8;
        }
    };
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % 2 == 0) put(kClear);
        put(pixels[i]);
    }
    put(kEnd);
    if (bits > 0) out += static_cast<char>(acc & 0xFF);
    return out;
}

void le16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

}  // namespace

void append_uintvar(std::string& out, uint32_t v) {
    char groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<char>(v & 0x7F);
        v >>= 7;
    } while (v != 0);
    while (n-- > 0) out += static_cast<char>(groups[n] | (n > 0 ? 0x80 : 0));
}

void append_value_length(std::string& out, uint32_t n) {
    if (n < 31) {
        out += static_cast<char>(n);
        return;
    }
    out += static_cast<char>(31);
    append_uintvar(out, n);
}

std::string make_template_gif() {
    constexpr uint16_t w = kTemplateImageWidth, h = kTemplateImageHeight;
    // 0 blue background, 1 white paper, 2 dark grey lines, 3 red stamp.
    std::vector<unsigned char> px(size_t(w) * h, 0);
    constexpr int left = 6, right = w - 7, top = 5, bottom = h - 6;
    auto at = [&](int x, int y) -> unsigned char& { return px[size_t(y) * w + size_t(x)]; };
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            at(x, y) = (x == left || x == right || y == top || y == bottom) ? 2 : 1;
    // The flap: two lines from the top corners meeting in the middle.
    constexpr int cx = (left + right) / 2, cy = (top + bottom) / 2 + 1;
    for (int x = left; x <= cx; ++x) {
        int y = top + (x - left) * (cy - top) / (cx - left);
        at(x, y) = 2;
        at(right - (x - left), y) = 2;
    }
    // The stamp.
    for (int y = top + 2; y <= top + 7; ++y)
        for (int x = right - 7; x <= right - 2; ++x) at(x, y) = 3;
    std::string g = "GIF89a";
    le16(g, w);
    le16(g, h);
    g += static_cast<char>(0x91);   // global colour table of 4 entries, 2 bits of colour resolution
    g += '\0';                      // background colour index
    g += '\0';                      // no aspect ratio
    const unsigned char palette[12] = {0x1F, 0x5F, 0xAF, 0xFF, 0xFF, 0xFF, 0x40, 0x40, 0x40, 0xD0, 0x20, 0x20};
    g.append(reinterpret_cast<const char*>(palette), sizeof palette);
    g += static_cast<char>(0x2C);   // image descriptor
    le16(g, 0);
    le16(g, 0);
    le16(g, w);
    le16(g, h);
    g += '\0';   // no local colour table, not interlaced
    g += static_cast<char>(2);   // minimum code size
    std::string data = lzw_small(px);
    for (size_t at = 0; at < data.size(); at += 255) {
        size_t n = std::min<size_t>(255, data.size() - at);
        g += static_cast<char>(n);
        g.append(data, at, n);
    }
    g += '\0';   // block terminator
    g += static_cast<char>(0x3B);
    return g;
}

std::string make_mms_test_template() {
    std::string m;
    m += static_cast<char>(kMessageType);
    m += static_cast<char>(kSendReq);
    m += static_cast<char>(kTransactionId);
    text_string(m, "MMSTEST");
    m += static_cast<char>(kMmsVersion);
    m += static_cast<char>(kVersion12);
    // The gateway puts its own address in.
    m += static_cast<char>(kFrom);
    m += '\x01';
    m += static_cast<char>(kInsertAddressToken);
    m += static_cast<char>(kSubject);
    text_string(m, kTemplateSubject);
    m += static_cast<char>(kMessageClass);
    m += static_cast<char>(kPersonal);

    // multipart/related, its start the SMIL part; always the last header.
    std::string ct;
    ct += static_cast<char>(kMultipartRelated);
    ct += static_cast<char>(kParamStart);
    text_string(ct, "<smil>");
    ct += static_cast<char>(kParamType);
    text_string(ct, "application/smil");
    m += static_cast<char>(kContentType);
    append_value_length(m, static_cast<uint32_t>(ct.size()));
    m += ct;

    std::string smil_type;
    text_string(smil_type, "application/smil");
    const Part parts[] = {
        {with_utf8(smil_type), "smil", kTemplateSmilLocation, smil()},
        {with_utf8(std::string(1, static_cast<char>(kTextPlain))), "text", kTemplateTextLocation, kTemplateText},
        {std::string(1, static_cast<char>(kImageGif)), "image", kTemplateImageLocation, make_template_gif()},
    };
    append_uintvar(m, static_cast<uint32_t>(std::size(parts)));
    for (const Part& p : parts) {
        std::string headers = part_headers(p);
        append_uintvar(m, static_cast<uint32_t>(headers.size()));
        append_uintvar(m, static_cast<uint32_t>(p.data.size()));
        m += headers;
        m += p.data;
    }
    return m;
}

}  // namespace ovr::queue
