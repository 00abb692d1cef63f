#include <gtest/gtest.h>

#include "config/ini.h"
#include "fake_gateway.h"
#include "service/status_text.h"

namespace ovr::test {
namespace {

TEST(StatusText, SmsGatewayProblemsHideTheMmscState) {
    FakeGateway g;
    EXPECT_EQ(service::service_status_text(g.p).text, "Service is NOT Installed");
    ASSERT_TRUE(g.control().install_and_start(true));
    service::StatusText t = service::service_status_text(g.p);
    EXPECT_EQ(t.text, "Service is Active");
    EXPECT_FALSE(t.red);

    auto mmsc = g.p.shared_memory->create(service::kMmscBlockName, 16);
    mmsc->data()[4] = 1;
    EXPECT_EQ(service::service_status_text(g.p).text, "ERROR:  SMPP Port already in use");
    g.block->data()[4] = 1;
    EXPECT_EQ(service::service_status_text(g.p).text, "ERROR:  SMPP Server Port already in use");
    g.block->data()[2] = 1;
    t = service::service_status_text(g.p);
    EXPECT_EQ(t.text, "ERROR:  Web Port already in use");
    EXPECT_TRUE(t.red);

    // MMSC stopped behind a well SMS gateway.
    g.block->data()[2] = g.block->data()[4] = 0;
    {
        uint32_t err;
        auto mgr = g.p.services->open_manager(platform::kManagerAllAccess, err);
        mgr->open_service(service::kMmscServiceName, platform::kServiceAllAccess, err)->send_stop();
    }
    g.react();
    EXPECT_EQ(service::service_status_text(g.p).text, "Service is NOT Active");
    g.p.shared_memory->unlink(service::kMmscBlockName);
}

TEST(StatusText, ModemInformationReadsEveryModemKey) {
    FakeGateway g;
    std::string ini = g.scratch.path() + "RIRER.INI";
    std::string priv = g.scratch.path() + "private/";
    platform::fs::create_directories(priv);
    service::StatusText t = service::modem_information_text(g.p, ini, priv);
    EXPECT_EQ(t.text, "Service is NOT active");
    EXPECT_TRUE(t.red);

    ASSERT_TRUE(g.control().install_and_start(true));
    EXPECT_EQ(service::modem_information_text(g.p, ini, priv).text, "");
    // Modem1 empty, the fifth and the 203rd set (202 is there, so reading goes on).
    config::ini::write_string(ini, "RIRER", "Modem5", "COM3:");
    config::ini::write_string(ini, "RIRER", "Modem202", "x");
    config::ini::write_string(ini, "RIRER", "Modem203", "TAPI:USB/2");
    write_text(priv + "COM3-.ERR", "No answer");
    write_text(priv + "TAPI-USB-2.ERR", "SIM PIN required");
    t = service::modem_information_text(g.p, ini, priv);
    EXPECT_EQ(t.text, "COM3: : No answer\r\nTAPI:USB/2 : SIM PIN required\r\n");
    EXPECT_TRUE(t.red);
    // The field holds 1024 characters at most.
    write_text(priv + "COM3-.ERR", std::string(250, 'e'));
    for (int i = 6; i < 12; ++i) config::ini::write_string(ini, "RIRER", "Modem" + std::to_string(i), "COM3:");
    EXPECT_EQ(service::modem_information_text(g.p, ini, priv).text.size(), 1023u);
}

}  // namespace
}  // namespace ovr::test
