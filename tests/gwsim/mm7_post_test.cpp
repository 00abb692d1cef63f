// A received MMS routed via MM7 reaches the receiver simulator: as a
// DeliverReq, as a PHP upload, over TLS; a silent receiver is given up.
#include "mm7_post.h"

#include <gtest/gtest.h>

#include <chrono>

#include "config/ini.h"
#include "nettest/mm7.h"
#include "nettest/tls_library.h"
#include "platform/fs.h"
#include "platform/network.h"
#include "receiver.h"
#include "samples.h"
#include "support/scratch.h"

namespace ovr::gwsim {
namespace {

struct Mm7Post : ::testing::Test {
    Mm7Post() {
        platform::start_network();
        dirs = {d.path(), d.path() + "private/", d.path()};
        config::ini::write_profiles(config::ini_paths_for(dirs).rirer,
                                    {{"RIRER", "Modem1", "COM7:"}, {"Modem - COM7:", "MMSRouting", "ovrinsmslitemm7"}});
    }
    void route_to(const std::string& url, nettest::Mm7Variation v) {
        nettest::Mm7Settings s;
        s.server = url;
        s.variation = v;
        ASSERT_TRUE(nettest::save_mm7(nettest::mm7_vasp_ini(d.path()), s));
    }
    std::string received() { return drop_received_mms(dirs, {2026, 12, 7, 10, 0, 0, 0, 1}); }
    test::ScratchDir d;
    config::Directories dirs;
};

TEST_F(Mm7Post, DeliverReqAndUploadReachTheReceiver) {
    EXPECT_TRUE(mms_routed_to_mm7(dirs));
    mm7sim::Receiver rx({});
    ASSERT_TRUE(rx.listening());
    route_to("http://127.0.0.1:" + std::to_string(rx.port()) + "/mm7/in", nettest::Mm7Variation::Standard);
    PostResult r = post_received_mms(dirs, received());
    EXPECT_TRUE(r.delivered) << r.status;
    EXPECT_EQ(r.status, "HTTP/1.1 200 OK");
    route_to("127.0.0.1:" + std::to_string(rx.port()) + "/upload.php", nettest::Mm7Variation::PhpMultipart);
    EXPECT_TRUE(post_received_mms(dirs, received()).delivered);
    auto reqs = rx.requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].target, "/mm7/in");
    EXPECT_NE(reqs[0].body.find("<DeliverReq"), std::string::npos);
    EXPECT_NE(reqs[0].body.find("<Sender>+15550001/TYPE=PLMN</Sender>"), std::string::npos);
    EXPECT_EQ(reqs[1].target, "/upload.php");
    EXPECT_NE(reqs[1].body.find("filename=\"image.gif\""), std::string::npos);
    EXPECT_NE(reqs[1].body.find("GIF89a"), std::string::npos);
}

TEST_F(Mm7Post, OverTlsAndAgainstASilentReceiver) {
    if (!nettest::TlsLibrary::instance()) GTEST_SKIP() << "libsmsssl.so not beside the test";
    {
        mm7sim::Receiver::Options tls;
        tls.tls = true;
        mm7sim::Receiver rx(tls);
        route_to("https://127.0.0.1:" + std::to_string(rx.port()) + "/mm7", nettest::Mm7Variation::Standard);
        PostResult r = post_received_mms(dirs, received());
        EXPECT_TRUE(r.delivered) << r.status;
        EXPECT_EQ(rx.requests().size(), 1u);
    }
    mm7sim::Receiver::Options quiet;
    quiet.silent = true;
    mm7sim::Receiver silent(quiet);
    route_to("http://127.0.0.1:" + std::to_string(silent.port()) + "/", nettest::Mm7Variation::Standard);
    auto start = std::chrono::steady_clock::now();
    PostResult r = post_received_mms(dirs, received(), 300);
    EXPECT_FALSE(r.delivered);
    EXPECT_EQ(r.status, "no reply");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace
}  // namespace ovr::gwsim
