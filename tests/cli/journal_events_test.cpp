// ovrinsmsctl events on the real platform's journal, pointed at a journal
// file the test writes.
#include <gtest/gtest.h>

#include "support/journal_files.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

TEST(JournalEvents, ListsTheServicesEntriesAndClearsByHidingThem) {
    if (journal_remote_program().empty()) GTEST_SKIP() << "systemd-journal-remote is not installed";
    ScratchDir d;
    std::string file = d.file("system.journal");
    const uint64_t t = 1780000000000000ull;
    ASSERT_EQ(append_journal(file, {{t, "OvrinSMS", "", 6, "Service started"},
                                    {t + 1000000, "cron", "cron.service", 3, "not ours"},
                                    {t + 2000000, "MMSCNT.EXE", "OvrinMMSC.service", 4, "Port busy"}}),
              "");
    std::map<std::string, std::string> env{{"OVRINSMS_JOURNAL", file},
                                           {"OVRINSMS_DATA_DIR", d.file("data/")},
                                           {"OVRINSMS_PRIVATE_DIR", d.file("private/")}};
    auto r = run_program("ovrinsmsctl", {"events", "--json"}, env);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Warning: Port busy\", \""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Info: Service started\"]"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("not ours"), std::string::npos);

    r = run_program("ovrinsmsctl", {"events", "--clear", "--yes"}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("The system journal keeps the events of every program."), std::string::npos) << r.err;
    ASSERT_EQ(append_journal(file, {{t + 3000000, "OvrinSMS", "", 3, "after the clear"}}), "");
    r = run_program("ovrinsmsctl", {"events"}, env);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Error: after the clear\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Service started"), std::string::npos);

    env["OVRINSMS_JOURNAL"] = d.file("missing.journal");
    r = run_program("ovrinsmsctl", {"events"}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unable to open event log"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace ovr::test
