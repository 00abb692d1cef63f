// The MM7 dialog: its lists, the hiding rule of the PHP upload, and an OK
// that writes only after the server answered.
#include "pages/mm7_dialog.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "config/ini.h"
#include "platform/fs.h"
#include "support/scratch.h"

namespace pages = ovr::pages;
namespace nt = ovr::nettest;
using D = pages::Mm7Dialog;
using ovr::test::ScratchDir;
using ovr::test::write_text;

namespace {

// A listening loopback socket: connections complete in the kernel's backlog.
struct Backlog {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    uint16_t port = 0;
    Backlog() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(fd, 4);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Backlog() { ::close(fd); }
};

class Mm7DialogTest : public ::testing::Test {
protected:
    Mm7DialogTest() {
        ctx.dirs = {dir.path(), dir.path() + "private/", dir.path()};
        ctx.ini = ovr::config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
    }
    std::string vasp() const { return nt::mm7_vasp_ini(dir.path()); }
    ScratchDir dir;
    ovr::ScriptedUi ui;
    pages::Context ctx;
};

}  // namespace

TEST_F(Mm7DialogTest, PhpUploadHidesTheMm7FieldsButKeepsTheirValues) {
    ovr::platform::fs::create_directories(dir.path() + "VASPOUT/ovrinsmslitemm7");
    write_text(vasp(), "[VASP]\nProtocol=MM7\nPHPMultipartPost=Yes\nVASPID=vasp1\nMM7Version=5.12.0\n"
                       "MM7Schema=urn:custom\n");
    D d(ctx, nullptr);
    EXPECT_EQ(d.variations().current(), "PHP Multipart File Upload");
    EXPECT_EQ(d.versions().current(), "5.12.0");
    EXPECT_EQ(d.versions().items.size(), nt::mm7_versions().size() + 1);
    EXPECT_EQ(d.schemas().current(), "(Custom)");
    EXPECT_TRUE(d.field(D::Text::Server).visible);
    for (auto t : {D::Text::UserName, D::Text::Password, D::Text::VaspId, D::Text::VasId, D::Text::ServiceCode})
        EXPECT_FALSE(d.field(t).visible);
    EXPECT_FALSE(d.versions().visible || d.schemas().visible || d.strip_white_space().visible);
    d.select_variation(2);
    EXPECT_TRUE(d.field(D::Text::VaspId).visible && d.versions().visible && d.strip_white_space().visible);
    d.select_variation(1);

    Backlog server;
    d.set_text(D::Text::Server, "127.0.0.1:" + std::to_string(server.port));
    ASSERT_TRUE(d.ok()) << (ui.boxes.empty() ? "" : ui.boxes.back().text);
    EXPECT_EQ(ui.busy.size(), 1u);
    EXPECT_EQ(ovr::config::ini::read_string(vasp(), "VASP", "VASPID"), "vasp1");
    EXPECT_EQ(ovr::config::ini::read_string(vasp(), "VASP", "MM7Version"), "5.12.0");
    EXPECT_EQ(ovr::config::ini::read_string(vasp(), "VASP", "MM7Schema"), "urn:custom");
}

TEST_F(Mm7DialogTest, RefusalsFocusTheUrlAndWriteNothing) {
    D d(ctx, nullptr);
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(ui.boxes.back().text, D::kNoUrl);
    EXPECT_TRUE(d.url_focused());
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    d.set_text(D::Text::Server, "http://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/x");
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(ui.boxes.back().text, "Unable to connect to server 127.0.0.1:" + std::to_string(ntohs(a.sin_port)));
    EXPECT_EQ(ui.boxes.back().icon, ovr::Icon::Error);
    EXPECT_TRUE(d.url_focused());
    EXPECT_FALSE(ovr::platform::fs::exists(vasp()));
}
