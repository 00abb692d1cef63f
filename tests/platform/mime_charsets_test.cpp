// The character sets of the 2-Way page: the host's MIME table and the
// simulated platform's file.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/registry.h"
#include "support/scratch.h"

namespace ovr::platform {

TEST(MimeCharsets, HostTableIsAlphabeticalLowerCaseAndHasUtf8) {
    std::vector<std::string> names = host_mime_charsets();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_NE(std::find(names.begin(), names.end(), "utf-8"), names.end());
    for (const auto& n : names) EXPECT_EQ(n.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << n;
    EXPECT_LT(names.size(), 100u);
}

TEST(MimeCharsets, AFileIsReadBoundedAndAMissingOneLeavesTheHost) {
    test::ScratchDir d;
    std::string f = d.file("charsets");
    std::string text = "koi8-r\r\n\n" + std::string(501, 'x') + "\nutf-8  \n";
    for (int i = 0; i < 2000; ++i) text += "cs" + std::to_string(i) + "\n";
    test::write_text(f, text);
    auto names = charsets_from_file(f);
    ASSERT_TRUE(names);
    EXPECT_EQ(names->size(), 1024u);
    EXPECT_EQ((*names)[0], "koi8-r");
    EXPECT_EQ((*names)[1], "utf-8");
    EXPECT_FALSE(charsets_from_file(d.file("none")));
    EXPECT_EQ(make_link_registry(d.file("m/"), d.file("none"))->mime_charsets(), host_mime_charsets());
    test::write_text(f, "");
    EXPECT_TRUE(make_link_registry(d.file("m/"), f)->mime_charsets().empty());
}

}  // namespace ovr::platform
