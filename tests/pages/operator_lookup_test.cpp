// The Modem page's Lookup over the operator database.
#include "pages/operator_lookup.h"

#include <gtest/gtest.h>

using namespace ovr;
using pages::LookupOperatorSettings;

namespace {

const std::string kSmall = std::string(OVR_SOURCE_DIR) + "/tests/modem/operators/small.xml";

}  // namespace

TEST(OperatorLookup, FillsTheNetworksOwnOperatorAndSaysWhyWhenNothingCanBe) {
    struct Case {
        std::string database;
        std::vector<std::string> networks;
        std::optional<std::string> apn;   // of the settings found
        std::vector<std::string> boxes;
    } cases[] = {
        // An IMSI's three-digit MNC first, then its two-digit one.
        {kSmall, {"262061", "26206"}, "mms.t-one.de", {}},
        {kSmall, {"26201"}, "mms.t-one.de",
         {"The settings of Telekom One were filled in. Other operators on the network 26201:\r\n"
          "Virtual Mobile: mms.virtual"}},
        {kSmall, {"26207"}, std::nullopt, {"The operator of the network 26207 (Data Only) publishes no MMS settings."}},
        {kSmall, {"001010", "00101"}, std::nullopt,
         {"No operator of the network 001010 or 00101 is in the operator database."}},
        {kSmall, {}, std::nullopt,
         {"The modem did not say which network its SIM card belongs to, so no operator settings can be looked "
          "up.\r\n\r\nIt may be in use by the OvrinSMS service, or not answer."}},
        {"/nonexistent/serviceproviders.xml", {"26201"}, std::nullopt,
         {"No operator settings can be looked up:\r\n\r\nThe operator database /nonexistent/serviceproviders.xml "
          "is missing (install the package mobile-broadband-provider-info)."}},
    };
    for (const Case& c : cases) {
        ScriptedUi ui;
        auto found = LookupOperatorSettings(ui, c.database, c.networks);
        EXPECT_EQ(found ? std::optional<std::string>(found->apn) : std::nullopt, c.apn) << c.networks.size();
        EXPECT_EQ(ui.texts(), c.boxes);
    }
    ScriptedUi ui;
    auto one = LookupOperatorSettings(ui, kSmall, {"26206"});
    ASSERT_TRUE(one);
    EXPECT_EQ(one->login, "t-one");
    EXPECT_EQ(one->password, "m&s");
    EXPECT_EQ(one->proxy, "172.28.23.131:8008");
    EXPECT_EQ(one->url, "http://mms.t-one.de/servlets/mms");
}
