#include <gtest/gtest.h>

#include "config/ini.h"
#include "support/scratch.h"

namespace ini = ovr::config::ini;
using ovr::test::ScratchDir;
using ovr::test::write_text;

TEST(IniRead, SmokeValue) {
    ScratchDir d;
    write_text(d.file("a.ini"), "[RIRER]\nModem1=COM7:\n");
    EXPECT_EQ(ini::read_string(d.file("a.ini"), "rirer", "MODEM1"), "COM7:");
}
