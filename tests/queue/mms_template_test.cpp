// The shipped MMS test template read back as a receiving MMSC would: the
// encapsulation's headers, the multipart/related body and its three parts,
// the SMIL's references, and the GIF decoded with a full LZW decoder (with
// code widths that grow), so a fault in the packing cannot hide.
#include "queue/mms_template.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ovr::queue {
namespace {

struct Reader {
    const std::string& s;
    size_t at = 0;
    bool failed = false;

    unsigned byte() {
        if (at >= s.size()) {
            failed = true;
            return 0;
        }
        return static_cast<unsigned char>(s[at++]);
    }
    uint32_t uintvar() {
        uint32_t v = 0;
        for (int i = 0; i < 5; ++i) {
            unsigned b = byte();
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return v;
        }
        failed = true;
        return 0;
    }
    std::string text() {
        size_t end = s.find('\0', at);
        if (end == std::string::npos) {
            failed = true;
            return {};
        }
        std::string t = s.substr(at, end - at);
        at = end + 1;
        return t;
    }
    uint32_t value_length() {
        unsigned b = byte();
        return b < 31 ? b : uintvar();
    }
};

struct ParsedPart {
    std::string type;   // "0x83" for a well-known type, else the text
    bool utf8 = false;
    std::string content_id, location, data;
};

// The content type at the reader: a short integer, a text, or the general
// form with parameters (only charset understood here).
void read_part_type(Reader& r, ParsedPart& p) {
    unsigned first = static_cast<unsigned char>(r.s[r.at]);
    if (first & 0x80) {
        p.type = std::to_string(r.byte() & 0x7F);
        return;
    }
    if (first >= 32) {
        p.type = r.text();
        return;
    }
    size_t end = r.at + 1;
    end += r.value_length();
    unsigned media = static_cast<unsigned char>(r.s[r.at]);
    p.type = media & 0x80 ? std::to_string(r.byte() & 0x7F) : r.text();
    while (r.at < end && !r.failed) {
        unsigned param = r.byte();
        if (param == 0x81) p.utf8 = r.byte() == 0xEA;
        else r.failed = true;
    }
}

std::optional<std::vector<unsigned char>> decode_gif(const std::string& g, uint16_t& w, uint16_t& h) {
    if (g.size() < 13 + 12 + 10 || g.compare(0, 6, "GIF89a") != 0 || g.back() != 0x3B) return std::nullopt;
    auto u16 = [&](size_t at) { return uint16_t(uint8_t(g[at]) | uint8_t(g[at + 1]) << 8); };
    w = u16(6);
    h = u16(8);
    size_t colours = size_t(2) << (uint8_t(g[10]) & 7);
    size_t at = 13 + 3 * colours;
    if (uint8_t(g[at]) != 0x2C || u16(at + 5) != w || u16(at + 7) != h) return std::nullopt;
    at += 10;
    unsigned min = uint8_t(g[at++]);
    std::string data;
    while (at < g.size() && g[at] != 0) {
        size_t n = uint8_t(g[at]);
        data.append(g, at + 1, n);
        at += 1 + n;
    }
    // The classic decoder.
    const unsigned clear = 1u << min, end = clear + 1;
    std::vector<std::vector<unsigned char>> table;
    auto reset = [&] {
        table.assign(clear + 2, {});
        for (unsigned i = 0; i < clear; ++i) table[i] = {static_cast<unsigned char>(i)};
    };
    reset();
    unsigned width = min + 1;
    size_t bitpos = 0;
    std::vector<unsigned char> out;
    std::optional<unsigned> prev;
    while (true) {
        if ((bitpos + width + 7) / 8 > data.size()) return std::nullopt;   // no end code
        unsigned code = 0;
        for (unsigned i = 0; i < width; ++i, ++bitpos)
            code |= ((uint8_t(data[bitpos / 8]) >> (bitpos % 8)) & 1u) << i;
        if (code == clear) {
            reset();
            width = min + 1;
            prev.reset();
            continue;
        }
        if (code == end) break;
        std::vector<unsigned char> entry;
        if (code < table.size()) entry = table[code];
        else if (prev && code == table.size()) {
            entry = table[*prev];
            entry.push_back(entry[0]);
        } else {
            return std::nullopt;
        }
        out.insert(out.end(), entry.begin(), entry.end());
        if (prev && table.size() < 4096) {
            std::vector<unsigned char> added = table[*prev];
            added.push_back(entry[0]);
            table.push_back(added);
            if (table.size() == (1u << width) && width < 12) ++width;
        }
        prev = code;
    }
    for (unsigned char p : out)
        if (p >= colours) return std::nullopt;
    return out;
}

TEST(MmsTemplate, IsAnMmsSendRequestOfSmilTextAndImage) {
    const std::string t = make_mms_test_template();
    EXPECT_EQ(t, make_mms_test_template());   // the same bytes every build
    Reader r{t};
    // Headers up to and including the content type, which comes last.
    std::map<unsigned, std::string> headers;
    std::string start, root_type;
    unsigned content_type = 0;
    while (!r.failed && r.at < t.size()) {
        unsigned field = r.byte();
        if (field == 0x84) {
            uint32_t n = r.value_length();
            size_t end = r.at + n;
            content_type = r.byte();
            while (r.at < end && !r.failed) {
                unsigned param = r.byte();
                std::string v = r.text();
                if (param == 0x8A) start = v;
                if (param == 0x89) root_type = v;
            }
            break;
        }
        if (field == 0x98 || field == 0x96) headers[field] = r.text();
        else if (field == 0x89) {
            uint32_t n = r.value_length();
            headers[field] = std::to_string(n) + ":" + std::to_string(r.byte());
        }
        else headers[field] = std::to_string(r.byte());
    }
    ASSERT_FALSE(r.failed);
    EXPECT_EQ(static_cast<unsigned char>(t[0]), 0x8C);   // the message type comes first
    EXPECT_EQ(headers[0x8C], std::to_string(0x80));      // m-send-req
    EXPECT_EQ(headers[0x8D], std::to_string(0x92));      // version 1.2
    EXPECT_EQ(headers[0x89], "1:129");                   // From: insert-address-token
    EXPECT_EQ(headers[0x96], kTemplateSubject);
    EXPECT_FALSE(headers[0x98].empty());
    EXPECT_EQ(headers.count(0x97), 0u);   // no To: the routing companion has the recipients
    EXPECT_EQ(content_type, 0xB3u);       // multipart/related
    EXPECT_EQ(start, "<smil>");
    EXPECT_EQ(root_type, "application/smil");

    uint32_t count = r.uintvar();
    ASSERT_EQ(count, 3u);
    std::vector<ParsedPart> parts;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t hlen = r.uintvar(), dlen = r.uintvar();
        size_t hend = r.at + hlen;
        ASSERT_LE(hend + dlen, t.size());
        ParsedPart p;
        read_part_type(r, p);
        while (r.at < hend && !r.failed) {
            unsigned field = r.byte();
            if (field == 0xC0) {
                ASSERT_EQ(r.byte(), unsigned('"'));
                p.content_id = r.text();
            } else if (field == 0x8E) {
                p.location = r.text();
            } else {
                FAIL() << "unexpected part header " << field;
            }
        }
        ASSERT_FALSE(r.failed);
        ASSERT_EQ(r.at, hend);
        p.data = t.substr(r.at, dlen);
        r.at += dlen;
        parts.push_back(p);
    }
    EXPECT_EQ(r.at, t.size());   // nothing after the last part

    EXPECT_EQ(parts[0].type, "application/smil");
    EXPECT_TRUE(parts[0].utf8);
    EXPECT_EQ(parts[0].content_id, start);   // the start parameter names the SMIL
    EXPECT_EQ(parts[1].type, std::to_string(0x03));      // text/plain
    EXPECT_TRUE(parts[1].utf8);
    EXPECT_EQ(parts[1].data, kTemplateText);
    EXPECT_EQ(parts[2].type, std::to_string(0x1D));   // image/gif
    EXPECT_EQ(parts[2].data, make_template_gif());
    // The presentation shows the other two parts by their locations.
    EXPECT_NE(parts[0].data.find("<img src=\"" + parts[2].location + "\""), std::string::npos) << parts[0].data;
    EXPECT_NE(parts[0].data.find("<text src=\"" + parts[1].location + "\""), std::string::npos) << parts[0].data;
    EXPECT_EQ(parts[0].data.rfind("<smil>", 0), 0u);
    EXPECT_NE(parts[0].data.find("</smil>"), std::string::npos);
}

TEST(MmsTemplate, TheImageDecodesToEveryPixel) {
    uint16_t w = 0, h = 0;
    auto pixels = decode_gif(make_template_gif(), w, h);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(w, kTemplateImageWidth);
    EXPECT_EQ(h, kTemplateImageHeight);
    ASSERT_EQ(pixels->size(), size_t(w) * h);
    // A picture, not a blank: the background in the corner, paper and lines
    // inside, the stamp's red.
    EXPECT_EQ((*pixels)[0], 0);
    std::set<unsigned char> used(pixels->begin(), pixels->end());
    EXPECT_EQ(used.size(), 4u);
    EXPECT_LT(make_template_gif().size(), 2048u);
}

TEST(MmsTemplate, LengthsAreEncodedAsTheReaderExpects) {
    std::string s;
    append_uintvar(s, 0);
    append_uintvar(s, 127);
    append_uintvar(s, 128);
    append_uintvar(s, 0xFFFFFFFFu);
    EXPECT_EQ(s, std::string("\x00\x7F\x81\x00\x8F\xFF\xFF\xFF\x7F", 9));
    s.clear();
    append_value_length(s, 30);
    append_value_length(s, 31);
    append_value_length(s, 200);
    EXPECT_EQ(s, std::string("\x1E\x1F\x1F\x1F\x81\x48", 6));
}

}  // namespace
}  // namespace ovr::queue
