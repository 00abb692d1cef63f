#include <gtest/gtest.h>

#include <string>

#include "config/xml_reader.h"

namespace xml = ovr::config::xml;

namespace {

// The events as one line: <a k=v>, "text", </a>.
struct Trace final : xml::Handler {
    std::string out;
    bool start(std::string_view name, const std::vector<xml::Attribute>& attrs) override {
        out += "<" + std::string(name);
        for (const auto& a : attrs) out += " " + a.name + "=" + a.value;
        out += ">";
        return true;
    }
    bool end(std::string_view name) override {
        out += "</" + std::string(name) + ">";
        return true;
    }
    bool text(std::string_view t) override {
        if (t.find_first_not_of(" \t\r\n") != std::string_view::npos) out += "\"" + std::string(t) + "\"";
        return true;
    }
};

std::string events(std::string_view doc, const xml::Limits& limits = {}) {
    Trace t;
    std::string error;
    if (!xml::read(doc, t, error, limits)) return "error: " + error;
    return t.out;
}

}  // namespace

TEST(XmlReader, ReadsTheMarkupAProviderListUses) {
    EXPECT_EQ(events("\xEF\xBB\xBF<?xml version=\"1.0\" encoding='utf-8'?>\n"
                     "<!-- a comment -->\n<!DOCTYPE list SYSTEM \"list.dtd\">\n"
                     "<list format=\"2.0\">\n  <item a='1' b = \"x&amp;y\"/>\n"
                     "  <name xml:lang=\"de\">Caf&#233; &#x1F600; &lt;&gt;&quot;&apos;</name>\n"
                     "  <c><![CDATA[<raw & text>]]></c><!-- inside -->\n</list>\n"),
              "<list format=2.0><item a=1 b=x&y></item><name xml:lang=de>\"Café 😀 <>\"'\"</name>"
              "<c>\"<raw & text>\"</c></list>");
    // An internal subset is skipped, never applied.
    EXPECT_EQ(events("<!DOCTYPE a [<!ENTITY e \"boom\"> <!-- ] > -->]><a>&e;</a>"),
              "error: line 1: the unknown entity &e;");
}

TEST(XmlReader, RefusesMalformedAndTruncatedDocumentsWithTheLine) {
    struct Case {
        const char* doc;
        const char* error;
    } cases[] = {
        {"", "line 1: no root element"},
        {"<a>\n<b>\n", "line 3: the element <b> is not closed"},
        {"<a>\n</b>", "line 2: </b> closes <a>"},
        {"<a/><b/>", "line 1: a second root element <b>"},
        {"text<a/>", "line 1: text outside the root element"},
        {"<a x='1' x='2'/>", "line 1: the attribute x given twice"},
        {"<a x=1/>", "line 1: an unquoted attribute value"},
        {"<a x='1'y='2'/>", "line 1: attributes of <a> not separated by blanks"},
        {"<a x='<'/>", "line 1: a '<' in an attribute value"},
        {"<a>&#0;</a>", "line 1: a reference to no valid character &#0;"},
        {"<a>&#xD800;</a>", "line 1: a reference to no valid character &#xD800;"},
        {"<a>&#99999999;</a>", "line 1: a reference to no valid character &#99999999;"},
        {"<a>&#x;</a>", "line 1: an empty character reference"},
        {"<a>&#12a;</a>", "line 1: a malformed character reference &#12a;"},
        {"<a>fish & chips</a>", "line 1: an '&' that starts no reference"},
        {"<a><!-- open", "line 1: an unterminated comment"},
        {"<a><![CDATA[x", "line 1: an unterminated CDATA section"},
        {"<!DOCTYPE a [ <!ENTITY", "line 1: an unterminated DOCTYPE"},
        {"<a x='1", "line 1: an unterminated attribute value"},
        {"<a", "line 1: the tag <a> is not terminated"},
        {"<1a/>", "line 1: a missing or malformed name"},
        {"<a><!ELEMENT x></a>", "line 1: unknown markup"},
    };
    for (const Case& c : cases) EXPECT_EQ(events(c.doc), std::string("error: ") + c.error) << c.doc;
    std::string nul = "<a>x";
    nul += '\0';
    nul += "</a>";
    EXPECT_EQ(events(nul), "error: line 1: a NUL byte");
}

TEST(XmlReader, EveryLimitIsEnforcedBeforeItCostsMemory) {
    xml::Limits small;
    small.max_bytes = 64;
    small.max_depth = 3;
    small.max_name = 4;
    small.max_text = 8;
    small.max_attributes = 2;
    small.max_elements = 4;
    EXPECT_EQ(events(std::string(65, ' ') + "<a/>", small), "error: line 1: the document is larger than 64 bytes");
    EXPECT_EQ(events("<a><b><c><d>", small), "error: line 1: elements nested deeper than 3");
    EXPECT_EQ(events("<abcde/>", small), "error: line 1: a name longer than 4 bytes");
    EXPECT_EQ(events("<a>123456789</a>", small), "error: line 1: a text longer than 8 bytes");
    EXPECT_EQ(events("<a x='&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;'/>", small),
              "error: line 1: a text longer than 8 bytes");
    EXPECT_EQ(events("<a><![CDATA[123456789]]></a>", small), "error: line 1: a text longer than 8 bytes");
    EXPECT_EQ(events("<a x='1' y='2' z='3'/>", small), "error: line 1: more than 2 attributes on <a>");
    EXPECT_EQ(events("<a><b/><b/><b/><b/></a>", small), "error: line 1: more than 4 elements");
    EXPECT_EQ(events("<a><b><c/></b></a>", small), "<a><b><c></c></b></a>");
}

TEST(XmlReader, AHandlerStopsTheReadWithItsReason) {
    struct Stopper final : xml::Handler {
        bool start(std::string_view name, const std::vector<xml::Attribute>&) override { return name != "stop"; }
        bool end(std::string_view) override { return true; }
        bool text(std::string_view) override { return true; }
        std::string stop_reason() const override { return "not wanted here"; }
    } stopper;
    std::string error;
    EXPECT_FALSE(xml::read("<a>\n\n<stop/></a>", stopper, error));
    EXPECT_EQ(error, "line 3: not wanted here");
}
