// The journal event log on journal files the tests write, read through the
// event log viewer as the console reads it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "pages/event_log_viewer.h"
#include "platform/fs.h"
#include "platform/platform.h"
#include "support/journal_files.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

using platform::EventType;
using Lines = std::deque<std::string>;

constexpr uint64_t kBase = 1780000000000000ull;  // microseconds

JournalEntry sms(uint64_t second, const std::string& text, int priority = 6) {
    return {kBase + second * 1000000, "OvrinSMS", "", priority, text};
}
JournalEntry other(uint64_t second, const std::string& text) {
    return {kBase + second * 1000000, "cron", "cron.service", 3, text};
}

std::vector<std::string> texts(const ScriptedUi& ui) {
    std::vector<std::string> t;
    for (const auto& b : ui.boxes) t.push_back(b.text);
    return t;
}

// The viewer's time text of an entry, in the machine's local time.
std::string at(uint64_t second) {
    time_t t = static_cast<time_t>(kBase / 1000000 + second);
    struct tm tm {};
    localtime_r(&t, &tm);
    char s[64];
    strftime(s, sizeof s, "%Y-%m-%d %H:%M:%S - ", &tm);
    return s;
}

struct Journal : ::testing::Test {
    ScratchDir d;
    std::string file = d.path() + "system.journal";
    std::string private_dir = d.path() + "private/";
    std::shared_ptr<platform::EventLog> log;
    ScriptedUi ui;
    platform::Platform p;
    pages::Context ctx;

    void SetUp() override {
        if (journal_remote_program().empty()) GTEST_SKIP() << "systemd-journal-remote is not installed";
        use(platform::JournalSource{{file}, {}});
    }
    void use(platform::JournalSource s) {
        log = platform::make_journal_event_log(std::move(s));
        p.event_log = log;
        ctx.platform = &p;
        ctx.ui = &ui;
        ctx.dirs.private_data = private_dir;
    }
    void add(const std::vector<JournalEntry>& e, const std::string& path = {}) {
        ASSERT_EQ(append_journal(path.empty() ? file : path, e), "");
    }
    // A journal directory of two files, as journald rotates them: a.journal
    // with the two oldest entries, b.journal with the third. Read from now on.
    std::string two_files() {
        std::string dir = d.path() + "journal/";
        platform::fs::create_directories(dir);
        add({sms(1, "oldest"), sms(2, "old")}, dir + "a.journal");
        add({sms(3, "middle")}, dir + "b.journal");
        use(platform::JournalSource{{}, dir});
        return dir;
    }
};

TEST_F(Journal, TheServicesEntriesAreNumberedRecordsWithTypeTimeAndText) {
    add({sms(1, "Service started", 6), other(2, "not ours"),
         {kBase + 3000000, "OvrinMMSC", "", 4, "MM7 port busy"},
         {kBase + 4000000, "SMSGWNT.EXE", "OvrinSMS.service", 3, "from the unit's output"},
         {kBase + 5000000, "ovrinsms", "", 3, "another program's name, in other letters"},
         sms(6, std::string("two\nlines\0nul", 13), 0), sms(7, "no priority", -1), sms(8, "debug", 7)});
    auto h = log->open_application(private_dir);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->oldest_record(), 1u);
    EXPECT_EQ(h->record_count(), 6u);
    auto all = h->read_forward(1, 1 << 20);
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 6u);
    std::vector<std::string> texts;
    for (size_t i = 0; i < all->size(); ++i) {
        EXPECT_EQ((*all)[i].number, i + 1);
        EXPECT_EQ((*all)[i].source, "OvrinSMS");
        texts.push_back((*all)[i].strings.at(0));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Service started", "MM7 port busy", "from the unit's output",
                                               "two\nlines nul", "no priority", "debug"}));
    EXPECT_EQ((*all)[0].type, EventType::Information);
    EXPECT_EQ((*all)[1].type, EventType::Warning);
    EXPECT_EQ((*all)[2].type, EventType::Error);
    EXPECT_EQ((*all)[3].type, EventType::Error);
    EXPECT_EQ((*all)[4].type, EventType::Information);
    EXPECT_EQ((*all)[5].type, EventType::Information);
    EXPECT_EQ(pages::event_line((*all)[1]), at(3) + "Warning: MM7 port busy");

    // Reads go backwards and forwards; a small buffer takes whole records,
    // at least one, and none when the first does not fit.
    auto some = h->read_forward(5, platform::event_record_size((*all)[4]) + 1);
    ASSERT_TRUE(some && some->size() == 1);
    EXPECT_EQ((*some)[0].number, 5u);
    auto back = h->read_forward(2, platform::event_record_size((*all)[1]) + platform::event_record_size((*all)[2]));
    ASSERT_TRUE(back && back->size() == 2);
    EXPECT_EQ((*back)[1].strings[0], "from the unit's output");
    EXPECT_EQ(h->read_forward(3, 10)->size(), 0u);
    EXPECT_EQ(h->read_forward(7, 1 << 20)->size(), 0u);
}

TEST_F(Journal, AnEmptyJournalAndOneThatCannotBeOpened) {
    add({other(1, "only others")});
    auto h = log->open_application(private_dir);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->oldest_record(), 0u);
    EXPECT_EQ(h->record_count(), 0u);
    EXPECT_EQ(h->read_forward(1, 1 << 20)->size(), 0u);

    use(platform::JournalSource{{d.path() + "missing.journal"}, {}});
    pages::EventLogViewer v(ctx);
    v.opened();
    EXPECT_EQ(texts(ui), (std::vector<std::string>{pages::EventLogViewer::kOpenFailed}));
}

TEST_F(Journal, TheViewerListsNewestFirstAndAddsOnlyWhatIsNew) {
    add({sms(1, "Service started"), other(2, "not ours"), sms(3, "Port busy", 4)});
    pages::EventLogViewer v(ctx);
    v.opened();
    EXPECT_EQ(v.lines(), (Lines{at(3) + "Warning: Port busy", at(1) + "Info: Service started"}));
    add({other(4, "still not ours"), sms(5, "Modem not responding", 3)});
    v.refresh();
    EXPECT_EQ(v.lines(), (Lines{at(5) + "Error: Modem not responding", at(3) + "Warning: Port busy",
                                at(1) + "Info: Service started"}));
    v.refresh();
    EXPECT_EQ(v.lines().size(), 3u);
    // Opening again lists the same events again.
    pages::EventLogViewer again(ctx);
    again.opened();
    EXPECT_EQ(again.lines(), v.lines());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(Journal, ClearingHidesWhatWasLoggedForEveryReaderAndKeepsTheJournal) {
    add({sms(1, "old one"), sms(2, "old two"), other(3, "not ours")});
    pages::EventLogViewer v(ctx);
    v.opened();
    v.press_clear();
    EXPECT_EQ(texts(ui), (std::vector<std::string>{pages::EventLogViewer::kClearJournalQuestion}));
    EXPECT_TRUE(v.lines().empty());
    EXPECT_TRUE(platform::fs::exists(private_dir + "EVENTLOG.CUR"));
    add({sms(4, "after the clear")});
    v.refresh();
    EXPECT_EQ(v.lines(), (Lines{at(4) + "Info: after the clear"}));
    // Another console (a fresh log object) hides the same; the journal
    // itself still holds every entry.
    use(platform::JournalSource{{file}, {}});
    pages::EventLogViewer fresh(ctx);
    fresh.opened();
    EXPECT_EQ(fresh.lines(), v.lines());
    auto whole = platform::make_journal_event_log({{file}, {}})->open_application(d.path() + "elsewhere/");
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->record_count(), 3u);
}

TEST_F(Journal, AMarkWhoseEntryIsGoneHidesWhatIsNotNewer) {
    std::string dir = two_files();
    pages::EventLogViewer v(ctx);
    v.opened();
    ASSERT_EQ(v.lines().size(), 3u);
    v.press_clear();
    // The marked entry goes with its file; older ones elsewhere stay hidden.
    add({sms(2, "late but old")}, dir + "c.journal");
    ASSERT_EQ(unlink((dir + "b.journal").c_str()), 0);
    add({sms(9, "new")}, dir + "a.journal");
    v.refresh();
    EXPECT_EQ(v.lines(), (Lines{at(9) + "Info: new"}));
}

TEST_F(Journal, NumbersStayWithTheirEntriesWhenTheJournalDropsItsOldest) {
    std::string dir = two_files();
    pages::EventLogViewer v(ctx);
    v.opened();
    ASSERT_EQ(v.lines().size(), 3u);
    EXPECT_EQ(v.next_record(), 4u);
    // journald removes its oldest file while new entries arrive: each new
    // event shows once, none is lost and none shows twice.
    ASSERT_EQ(unlink((dir + "a.journal").c_str()), 0);
    add({sms(4, "new one"), sms(5, "new two")}, dir + "b.journal");
    v.refresh();
    EXPECT_EQ(v.lines(), (Lines{at(5) + "Info: new two", at(4) + "Info: new one", at(3) + "Info: middle",
                                at(2) + "Info: old", at(1) + "Info: oldest"}));
    EXPECT_EQ(v.next_record(), 6u);
    // Even when every entry handed out is gone.
    ASSERT_EQ(unlink((dir + "b.journal").c_str()), 0);
    add({sms(6, "newest")}, dir + "c.journal");
    v.refresh();
    EXPECT_EQ(v.lines().front(), at(6) + "Info: newest");
    EXPECT_EQ(v.lines().size(), 6u);
}

TEST_F(Journal, AClearThatCannotStoreItsMarkSaysSoAndHidesNothing) {
    add({sms(1, "kept")});
    write_text(d.path() + "blocked", "");
    ctx.dirs.private_data = d.path() + "blocked/";  // a file where the directory should be
    pages::EventLogViewer v(ctx);
    v.opened();
    v.press_clear();
    EXPECT_EQ(texts(ui), (std::vector<std::string>{pages::EventLogViewer::kClearJournalQuestion,
                                                    pages::EventLogViewer::kClearFailed}));
    EXPECT_EQ(v.lines(), (Lines{at(1) + "Info: kept"}));
}

TEST_F(Journal, AHugeMessageIsCutAtAWholeCharacter) {
    std::string text = "x" + std::string(40000, '\xc3');
    for (size_t i = 2; i < text.size(); i += 2) text[i] = '\xa9';  // "é" after one "x"
    add({sms(1, text)});
    auto h = log->open_application(private_dir);
    ASSERT_NE(h, nullptr);
    auto r = h->read_forward(1, 1 << 20);
    ASSERT_TRUE(r && r->size() == 1);
    const std::string& got = (*r)[0].strings[0];
    EXPECT_LE(got.size(), 32768u);
    EXPECT_GT(got.size(), 30000u);
    EXPECT_EQ(got.size() % 2, 1u);  // "x" and whole two-byte characters
}

}  // namespace
}  // namespace ovr::test
