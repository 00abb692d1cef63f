#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "config/gsm7.h"

using ovr::config::gsm7_hex_to_utf8;
using ovr::config::GSM7ToUTF8String;

namespace {

std::string in_place(const std::string& text) {
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    GSM7ToUTF8String("", buf.data(), buf.data());
    return std::string(buf.data());
}

std::string hex_of(std::initializer_list<int> septets) {
    std::string out;
    char b[3];
    for (int s : septets) {
        std::snprintf(b, sizeof b, "%02X", s);
        out += b;
    }
    return out;
}

}  // namespace

TEST(Gsm7, DefaultAlphabet) {
    EXPECT_EQ(in_place("48656C6C6F"), "Hello");
    EXPECT_EQ(in_place("48656c6c6f"), "Hello");
    EXPECT_EQ(in_place(hex_of({0x00, 0x01, 0x02, 0x03, 0x11, 0x24})), "@£$¥_¤");
    EXPECT_EQ(in_place(hex_of({0x10, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A})), "ΔΦΓΛΩΠΨΣΘΞ");
    EXPECT_EQ(in_place(hex_of({0x1C, 0x1D, 0x1E, 0x1F, 0x40, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0x60})), "ÆæßÉ¡ÄÖÑÜ§¿");
    EXPECT_EQ(in_place(hex_of({0x7B, 0x7C, 0x7D, 0x7E, 0x7F, 0x0A, 0x0D, 0x09, 0x0B, 0x0E})), "äöñüà\n\rÇØÅ");
}

TEST(Gsm7, ExtensionTableAndCodesWithoutMapping) {
    EXPECT_EQ(in_place(hex_of({0x1B, 0x65, 0x1B, 0x28, 0x1B, 0x29, 0x1B, 0x3C, 0x1B, 0x3E})), "€{}[]");
    EXPECT_EQ(in_place(hex_of({0x1B, 0x14, 0x1B, 0x2F, 0x1B, 0x3D, 0x1B, 0x40, 0x1B, 0x0A})), "^\\~|\f");
    // Unknown extension codes show the default character of that code.
    EXPECT_EQ(in_place(hex_of({0x1B, 0x41, 0x1B, 0x00})), "A@");
    EXPECT_EQ(in_place(hex_of({0x41, 0x1B, 0x1B, 0x42})), "A B");
    EXPECT_EQ(in_place(hex_of({0x41, 0x1B})), "A ");
    EXPECT_EQ(in_place("80FF41"), "??A");
    EXPECT_EQ(in_place("1B80"), "?");
}

TEST(Gsm7, TextThatIsNotSeptetHexStaysAsItIs) {
    for (std::string t : {"", "486", "48G5", "48 65", "4865 ", "Hello", "\xC3\xA4"}) {
        EXPECT_EQ(in_place(t), t) << t;
        EXPECT_FALSE(gsm7_hex_to_utf8(t)) << t;
    }
    char out[16];
    std::memset(out, 'x', sizeof out);
    GSM7ToUTF8String(nullptr, "zz", out);
    EXPECT_STREQ(out, "zz");
}

TEST(Gsm7, SeparateOutputAndNeverLonger) {
    char out[32];
    std::memset(out, 'x', sizeof out);
    GSM7ToUTF8String("050003A70201", "1B6548", out);
    EXPECT_STREQ(out, "€H");

    // Every septet and every escaped pair fits in the digits it came from.
    for (int a = 0; a < 256; ++a) {
        std::string one = hex_of({a});
        EXPECT_LE(gsm7_hex_to_utf8(one)->size(), one.size());
        std::string two = hex_of({0x1B, a});
        EXPECT_LE(gsm7_hex_to_utf8(two)->size(), two.size());
    }
}
