#include "pages/event_log_viewer.h"

#include <gtest/gtest.h>

#include "support/scratch.h"

using namespace ovr;
using pages::EventLogViewer;
using platform::EventType;
using Lines = std::deque<std::string>;

namespace {

struct NoLog : platform::EventLog {
    std::unique_ptr<platform::EventLogHandle> open_application(const std::string&) override { return nullptr; }
    uint32_t report(EventType, const std::string&, const std::vector<std::string>&, const platform::LocalTime&) override {
        return 0;
    }
};

struct EventViewerTest : ::testing::Test {
    test::ScratchDir d;
    ScriptedUi ui;
    platform::Platform p;
    pages::Context ctx;
    EventViewerTest() {
        p.event_log = platform::make_sim_event_log(d.path());
        ctx.platform = &p;
        ctx.ui = &ui;
    }
    uint32_t event(EventType type, const std::string& text, const std::string& source = "OvrinSMS", int second = 0) {
        return p.event_log->report(type, source, {text, "second string"}, {2026, 3, 4, 5, 6, second});
    }
};

TEST(EventLine, TimeThenTypeThenTheFirstString) {
    platform::EventRecord r;
    r.time = {2026, 3, 4, 5, 6, 7};
    r.type = EventType::Warning;
    r.strings = {"Modem not responding", "ignored"};
    EXPECT_EQ(pages::event_line(r), "2026-03-04 05:06:07 - Warning: Modem not responding");
    r.type = EventType::Error;
    EXPECT_EQ(pages::event_line(r), "2026-03-04 05:06:07 - Error: Modem not responding");
    r.type = static_cast<EventType>(8);  // audit and other types
    EXPECT_EQ(pages::event_line(r), "2026-03-04 05:06:07 - Info: Modem not responding");
    r.time.month = 13;
    r.strings = {"two\r\nlines"};
    EXPECT_EQ(pages::event_line(r), "Info: two  lines");
    r.strings.clear();
    EXPECT_EQ(pages::event_line(r), "Info: ");
}

TEST_F(EventViewerTest, ListsTheGatewaysEventsNewestFirstAndSkipsOthersForGood) {
    event(EventType::Information, "Service started", "OvrinSMS", 1);
    event(EventType::Error, "other program", "SomethingElse", 2);
    event(EventType::Warning, "Port busy", "ovrinsms", 3);
    EventLogViewer v(ctx);
    v.opened();
    EXPECT_EQ(v.lines(), (Lines{"2026-03-04 05:06:03 - Warning: Port busy", "2026-03-04 05:06:01 - Info: Service started"}));
    EXPECT_EQ(v.next_record(), 4u);

    uint64_t rev = v.revision();
    v.refresh();
    EXPECT_EQ(v.revision(), rev);  // nothing new: nothing read again
    event(EventType::Error, "other again", "SomethingElse");
    event(EventType::Error, "Modem error", "OvrinSMS", 9);
    v.refresh();
    EXPECT_EQ(v.lines().size(), 3u);
    EXPECT_EQ(v.lines().front(), "2026-03-04 05:06:09 - Error: Modem error");
    EXPECT_EQ(v.next_record(), 6u);

    // Opened again, the same events are listed again.
    EventLogViewer again(ctx);
    again.opened();
    EXPECT_EQ(again.lines(), v.lines());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(EventViewerTest, ClearAsksThenEmptiesTheLogAndNewEventsFollow) {
    event(EventType::Information, "one");
    EventLogViewer v(ctx);
    v.opened();
    ui.script({Answer::No});
    v.press_clear();
    EXPECT_EQ(v.lines().size(), 1u);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, EventLogViewer::kClearQuestion);
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::YesNo);
    EXPECT_EQ(ui.boxes[0].icon, Icon::Question);

    ui.script({Answer::Yes});
    v.press_clear();
    EXPECT_TRUE(v.lines().empty());
    EXPECT_EQ(v.next_record(), 0u);
    event(EventType::Information, "after the clear");
    v.refresh();
    EXPECT_EQ(v.lines(), (Lines{"2026-03-04 05:06:00 - Info: after the clear"}));
}

TEST_F(EventViewerTest, ALogClearedElsewhereIsFollowedFromItsNewStart) {
    for (int i = 0; i < 5; ++i) event(EventType::Information, "old " + std::to_string(i));
    EventLogViewer v(ctx);
    v.opened();
    p.event_log->open_application("")->clear();
    event(EventType::Information, "new");
    v.refresh();
    EXPECT_EQ(v.lines().front(), "2026-03-04 05:06:00 - Info: new");
    EXPECT_EQ(v.lines().size(), 6u);
}

TEST_F(EventViewerTest, AFullListWarnsOnceAndKeepsTheRefusedRecordForLater) {
    for (int i = 1; i <= 4; ++i) event(EventType::Information, "e" + std::to_string(i));
    EventLogViewer v(ctx, 3);
    v.opened();
    EXPECT_EQ(v.lines().size(), 3u);
    EXPECT_EQ(v.next_record(), 4u);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Too many events.  Please use Windows Event Log viewer to view all events.");
    EXPECT_EQ(ui.boxes[0].caption, "Warning");
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::Ok);
    v.refresh();
    EXPECT_EQ(ui.boxes.size(), 1u);  // not again every 5 seconds
    EXPECT_EQ(v.next_record(), 4u);

    ui.script({Answer::Yes});
    v.press_clear();  // room again: the warning may come back
    EXPECT_TRUE(v.lines().empty());
}

TEST_F(EventViewerTest, ARecordLargerThanTheReadBufferIsStillShownAndLaterOnesFollow) {
    event(EventType::Information, "small");
    event(EventType::Error, std::string(200 * 1024, 'x'));
    event(EventType::Information, "after");
    EventLogViewer v(ctx);
    v.opened();
    ASSERT_EQ(v.lines().size(), 3u);
    EXPECT_EQ(v.lines()[0], "2026-03-04 05:06:00 - Info: after");
    EXPECT_EQ(v.lines()[1].size(), std::string("2026-03-04 05:06:00 - Error: ").size() + 200 * 1024);
    EXPECT_EQ(v.next_record(), 4u);
}

TEST_F(EventViewerTest, ALogThatCannotBeOpenedSaysSo) {
    p.event_log = std::make_shared<NoLog>();
    EventLogViewer v(ctx);
    v.opened();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Unable to open event log");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Error);
    EXPECT_EQ(ui.boxes[0].caption, kProgramTitle);
    ui.script({Answer::Yes});
    v.press_clear();
    EXPECT_EQ(ui.texts().back(), "Unable to open event log");
}

}  // namespace
