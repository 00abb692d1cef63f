#include "pages/mms_details.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "pages/viewer_fixture.h"

using namespace ovr;
using test::write_text;

namespace {

struct MmsDetailsTest : ::testing::Test, test::ViewerTree {};

constexpr const char* kHeader =
    "From: +15550001/TYPE=PLMN\r\n"
    "Subject: Holiday\r\n"
    "X-OvrinMMS-Content-Location: M1/smil.txt;application/SMIL\r\n"
    "x-ovrinmms-content-location: M1/image.jpg;image/jpeg;name=x\r\n"
    "X-OvrinMMS-Content-Location: M1/notes;text/plain\r\n"
    "X-OvrinMMS-Content-Location: M1/picture;image/gif\r\n"
    "X-OvrinMMS-Content-Location: M1/bare.bin\r\n";

}  // namespace

TEST_F(MmsDetailsTest, ListsThePartsInFileOrderWithTheFirstSelected) {
    write_text(received_mms("M1.HDR"), kHeader);
    pages::MmsDetails m(ctx, received_mms("M1.HDR"));
    EXPECT_EQ(m.title(), "MMS Message Details");
    EXPECT_EQ(m.header_text(), kHeader);
    EXPECT_EQ(m.entries(), (std::vector<std::string>{
                               "smil.txt (application/SMIL)\tM1/smil.txt",
                               "image.jpg (image/jpeg)\tM1/image.jpg",
                               "notes (text/plain)\tM1/notes",
                               "picture (image/gif)\tM1/picture",
                               "bare.bin\tM1/bare.bin",
                           }));
    EXPECT_EQ(m.selected(), 0);
}

TEST_F(MmsDetailsTest, ViewOpensTextAndSmilInTheEditorAndTheRestWithTheShell) {
    write_text(received_mms("M1.HDR"), kHeader);
    pages::MmsDetails m(ctx, received_mms("M1.HDR"));
    for (int i = 0; i < 5; ++i) {
        m.select(i);
        m.view();
    }
    EXPECT_EQ(ui.edited, (std::vector<std::string>{received_mms("M1/smil.txt"), received_mms("M1/notes")}));
    EXPECT_EQ(ui.opened, (std::vector<std::string>{received_mms("M1/image.jpg"), received_mms("M1/picture"),
                                                   received_mms("M1/bare.bin")}));
    m.select(-1);
    m.view();
    EXPECT_EQ(ui.edited.size() + ui.opened.size(), 5u);
}

TEST_F(MmsDetailsTest, APartThatIsALinkOrBehindOneIsNotOpened) {
    std::string secret = received_mms("../secret.txt");
    write_text(secret, "root only");
    ASSERT_EQ(mkdir(received_mms("M1").c_str(), 0755), 0);
    ASSERT_EQ(symlink(secret.c_str(), received_mms("M1/notes").c_str()), 0);
    ASSERT_EQ(symlink(received_mms("M1").c_str(), received_mms("M2").c_str()), 0);
    write_text(received_mms("M1/smil.txt"), "<smil/>");
    write_text(received_mms("M1.HDR"), std::string(kHeader) + "X-OvrinMMS-Content-Location: M2/smil.txt;text/plain\r\n");
    pages::MmsDetails m(ctx, received_mms("M1.HDR"));
    for (int i : {2, 5}) {  // the linked file, and a real file behind a linked directory
        m.select(i);
        m.view();
    }
    m.select(0);
    m.view();
    EXPECT_EQ(ui.edited, (std::vector<std::string>{received_mms("M1/smil.txt")}));
    EXPECT_TRUE(ui.opened.empty());
}

TEST_F(MmsDetailsTest, HeaderIsCutAndAPathLeavingTheDirectoryIsNotOpened) {
    std::string big = "X-OvrinMMS-Content-Location: ../../etc/passwd;text/plain\r\n"
                      "X-OvrinMMS-Content-Location: /etc/shadow;text/plain\r\n" +
                      std::string(9000, 'h');
    write_text(received_mms("BIG.HDR"), big);
    pages::MmsDetails m(ctx, received_mms("BIG.HDR"));
    EXPECT_EQ(m.header_text().size(), 8191u);
    ASSERT_EQ(m.entries().size(), 2u);
    m.view();
    m.select(1);
    m.view();
    EXPECT_TRUE(ui.edited.empty());

    pages::MmsDetails missing(ctx, received_mms("NONE.HDR"));
    EXPECT_EQ(missing.header_text(), "");
    EXPECT_TRUE(missing.entries().empty());
    EXPECT_EQ(missing.selected(), -1);
}
