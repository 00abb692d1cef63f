#include <gtest/gtest.h>

#include <cstring>

#include "platform/fs.h"
#include "service/status.h"
#include "service/status_text.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

using service::CounterSums;
using service::read_counter;

// A counter file whose number k is k + 1 (so every day is told apart), for
// `days` days.
void write_counter(const std::string& priv, const char* name, int year, size_t days, uint32_t base = 1) {
    std::string bytes;
    for (size_t k = 0; k < days; ++k) {
        uint32_t v = static_cast<uint32_t>(k) + base;
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (8 * i));
    }
    platform::fs::create_directories(priv + "STATS/");
    write_text(service::counter_path(priv, name, year), bytes);
}

uint32_t sum(uint32_t from, uint32_t to) {   // from + ... + to
    uint32_t s = 0;
    for (uint32_t v = from; v <= to; ++v) s += v;
    return s;
}

platform::LocalTime date(int y, int m, int d) { return {y, m, d, 12, 0, 0, 0, 0}; }

TEST(Counters, DayOfYearUsesOnlyTheDivisibleByFourRule) {
    EXPECT_EQ(service::day_of_year(2024, 1, 1), 1);
    EXPECT_EQ(service::day_of_year(2024, 3, 1), 61);
    EXPECT_EQ(service::day_of_year(2023, 3, 1), 60);
    EXPECT_EQ(service::day_of_year(2024, 12, 31), 366);
    EXPECT_EQ(service::day_of_year(2100, 3, 1), 61);   // the gateway counts 2100 as a leap year
    EXPECT_EQ(service::counter_path("/p/", "SMSSENT", 2024), "/p/STATS/SMSSENT-2024.CTR");
}

TEST(Counters, JanuaryFirstReachesIntoTheLastDaysOfTheYearBefore) {
    ScratchDir d;
    write_counter(d.path(), "SMSSENT", 2024, 366, 1);   // a year of 366 days
    write_counter(d.path(), "SMSSENT", 2025, 366, 1000);
    CounterSums s = read_counter(d.path(), "SMSSENT", date(2025, 1, 1));
    EXPECT_EQ(s.today, 1000u);
    // December 26 to 31 of 2024 are numbers 360 to 365, holding 361 to 366.
    EXPECT_EQ(s.last7, 1000u + sum(361, 366));
    EXPECT_EQ(s.last30, 1000u + sum(366 - 28, 366));

    // After a year of 365 days its last day is number 364.
    write_counter(d.path(), "SMSFAILED", 2022, 366, 1);
    write_counter(d.path(), "SMSFAILED", 2023, 1, 7);
    s = read_counter(d.path(), "SMSFAILED", date(2023, 1, 1));
    EXPECT_EQ(s.last7, 7u + sum(360, 365));
}

TEST(Counters, FebruaryTenthNeedsNoFileOfTheYearBefore) {
    ScratchDir d;
    write_counter(d.path(), "SMSRETRY", 2024, 366, 1);
    write_counter(d.path(), "SMSRETRY", 2023, 366, 5000);
    CounterSums s = read_counter(d.path(), "SMSRETRY", date(2024, 2, 10));
    EXPECT_EQ(s.today, 41u);
    EXPECT_EQ(s.last7, sum(35, 41));
    EXPECT_EQ(s.last30, sum(12, 41));   // January 12th to February 10th
}

TEST(Counters, DecemberThirtyFirstOfALeapYearIsTheLastNumber) {
    ScratchDir d;
    write_counter(d.path(), "MMSIN-MODEM", 2028, 366, 1);
    CounterSums s = read_counter(d.path(), "MMSIN-MODEM", date(2028, 12, 31));
    EXPECT_EQ(s, (CounterSums{366, sum(360, 366), sum(337, 366)}));
}

TEST(Counters, ShortMissingAndOddFiles) {
    ScratchDir d;
    write_counter(d.path(), "SMSSUBMIT", 2024, 10, 1);   // 40 bytes
    EXPECT_EQ(read_counter(d.path(), "SMSSUBMIT", date(2024, 1, 10)), (CounterSums{10, sum(4, 10), sum(1, 10)}));
    EXPECT_EQ(read_counter(d.path(), "SMSSUBMIT", date(2024, 1, 11)), (CounterSums{0, sum(5, 10), sum(1, 10)}));
    // Missing this year's and last year's files: all zero.
    EXPECT_EQ(read_counter(d.path(), "SMSSENT", date(2024, 1, 3)), (CounterSums{}));
    // A number cut short at the end of the file is not read.
    write_text(service::counter_path(d.path(), "SMSRECEIVED", 2024), std::string("\x05\0\0\0\x09", 5));
    EXPECT_EQ(read_counter(d.path(), "SMSRECEIVED", date(2024, 1, 2)), (CounterSums{0, 5, 5}));
    // A longer file is read only to its 366 numbers.
    write_counter(d.path(), "SMSFAILED", 2024, 500, 1);
    EXPECT_EQ(read_counter(d.path(), "SMSFAILED", date(2024, 12, 31)).today, 366u);
}

TEST(Counters, StatusPageRowsAddTheirTwoCountersWithoutWrapping) {
    ScratchDir d;
    std::string priv = d.path();
    // Both near the top of 32 bits: their sum needs more.
    write_counter(priv, "MMSIN-VASP", 2026, 40, 0xFFFFFF00u);
    write_counter(priv, "MMSIN-USER", 2026, 40, 0xFFFFFF00u);
    write_counter(priv, "SMSSENT", 2026, 40);
    auto rows = service::status_counter_rows(priv, date(2026, 2, 9));   // day 40: number 39
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_STREQ(rows[1].label, "SMS Sent:");
    EXPECT_EQ(rows[1].today, 40u);
    EXPECT_EQ(rows[1].last7, sum(34, 40));
    EXPECT_STREQ(rows[5].label, "MMS Processed:");
    EXPECT_EQ(rows[5].today, 2 * (0xFFFFFF00ull + 39));
    EXPECT_STREQ(rows[7].label, "MMS Received");
    EXPECT_EQ(rows[7].last30, 0u);
    EXPECT_EQ(service::count_field_text(0), "");
    EXPECT_EQ(service::count_field_text(12), "12");
}

TEST(ModemErrors, FileNamesAndContent) {
    ScratchDir d;
    EXPECT_EQ(service::modem_error_path("/p/", "COM3:"), "/p/COM3-.ERR");
    EXPECT_EQ(service::modem_error_path("/p/", "TAPI:a/b\\c"), "/p/TAPI-a-b-c.ERR");
    EXPECT_EQ(service::modem_error_path("/p/", "../../etc/passwd"), "/p/..-..-etc-passwd.ERR");
    EXPECT_EQ(service::read_modem_error(d.path(), "COM3:"), "");
    write_text(d.path() + "COM3-.ERR", "SIM PIN required");
    EXPECT_EQ(service::read_modem_error(d.path(), "COM3:"), "SIM PIN required");
    write_text(d.path() + "COM3-.ERR", std::string(400, 'x'));
    EXPECT_EQ(service::read_modem_error(d.path(), "COM3:").size(), 250u);
    write_text(d.path() + "COM3-.ERR", std::string("abc\0def", 7));
    EXPECT_EQ(service::read_modem_error(d.path(), "COM3:"), "abc");
}

TEST(SharedBlocks, AbsentShortAndGlobalBlocks) {
    ScratchDir d;
    auto shm = platform::make_posix_shared_memory(platform::sim_shared_memory_scope(d.path()));
    EXPECT_EQ(service::open_sms_block(*shm), nullptr);
    EXPECT_FALSE(service::set_stop_request(*shm));
    {   // Too short to hold the port bytes: treated as absent.
        auto tiny = shm->create(service::kSmsBlockName, 3);
        ASSERT_NE(tiny, nullptr);
        EXPECT_EQ(service::open_sms_block(*shm), nullptr);
        shm->unlink(service::kSmsBlockName);
    }
    // Only the machine-wide name exists: it is found second.
    auto global = shm->create(service::kSmsBlockGlobalName, 64);
    ASSERT_NE(global, nullptr);
    std::memset(global->data(), 0, 64);
    EXPECT_TRUE(service::set_stop_request(*shm));
    EXPECT_EQ(global->data()[0], 1);
    EXPECT_EQ(service::open_mmsc_block(*shm), nullptr);
    shm->unlink(service::kSmsBlockGlobalName);
}

}  // namespace
}  // namespace ovr::test
