#include <gtest/gtest.h>

#include "config/ini.h"
#include "support/scratch.h"

using namespace ovr;
namespace ini = config::ini;

TEST(IniBatch, AppliesEveryChangeInOneReplacementOrNoneWhenOneIsRefused) {
    test::ScratchDir d;
    std::string f = d.file("MMSC.INI");
    test::write_text(f, "; kept\n[MMSC]\nDebug=Yes\nOld=1\n[Outbound MMS Routing]\na=1\n");
    EXPECT_TRUE(ini::write_profiles(f, {{"MMSC", "DefaultOutboundRoute", "r"},
                                       {"MMSC", "Old", std::nullopt},
                                       {"Outbound MMS Routing", std::nullopt, std::nullopt},
                                       {"New", "k", "v"}}));
    EXPECT_EQ(test::read_text(f), "; kept\n[MMSC]\nDebug=Yes\nDefaultOutboundRoute=r\n[New]\nk=v\n");
    std::string before = test::read_text(f);
    EXPECT_FALSE(ini::write_profiles(f, {{"MMSC", "A", "1"}, {"MMSC", "B", "two\nlines"}}));
    EXPECT_EQ(test::read_text(f), before);
    // A new file is made; a batch that changes nothing leaves it alone.
    std::string g = d.file("VASP.INI");
    EXPECT_TRUE(ini::write_profiles(g, {{"VASP", "Protocol", "MM1"}}));
    EXPECT_EQ(ini::read_string(g, "VASP", "Protocol"), "MM1");
    EXPECT_TRUE(ini::write_profiles(g, {{"VASP", "Gone", std::nullopt}}));
    EXPECT_EQ(test::read_text(g), "[VASP]\nProtocol=MM1\n");
}
