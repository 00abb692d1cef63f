#include "pages/queue_viewer.h"

#include <gtest/gtest.h>

#include <atomic>

#include "pages/mms_details.h"
#include "pages/viewer_fixture.h"
#include "platform/fs.h"
#include "queue/delete_retry.h"

using namespace ovr;
using pages::QueueViewer;
using pages::ViewerKind;
using test::write_text;
namespace fs = platform::fs;

namespace {

struct QueueViewerTest : ::testing::Test, test::ViewerTree {
    void SetUp() override {
        for (auto k : {queue::ListKind::OutboundSms, queue::ListKind::OutboundMms, queue::ListKind::ReceivedSms,
                       queue::ListKind::ReceivedMms})
            queue::set_sort_state(k, queue::initial_sort_state(k));
    }
    std::vector<std::string> ids(const QueueViewer& v) {
        std::vector<std::string> out;
        for (int r = 0; r < v.row_count(); ++r) out.push_back(v.cell(r, 0));
        return out;
    }
    int row_of(const QueueViewer& v, const std::string& id) {
        for (int r = 0; r < v.row_count(); ++r)
            if (v.cell(r, 0) == id) return r;
        return -1;
    }
};

struct RecordingObserver : QueueViewer::Observer {
    std::vector<std::string> details;
    int removed = 0;
    int replaced = 0;
    void show_mms_details(const std::string& p) override { details.push_back(p); }
    void row_removed() override { ++removed; }
    void list_replaced() override { ++replaced; }
};

}  // namespace

TEST_F(QueueViewerTest, EachKindHasItsTitleColumnsAndStatusWords) {
    struct Expect {
        ViewerKind kind;
        const char* title;
        const char* empty;
        size_t columns;
    };
    for (const Expect& e : {Expect{ViewerKind::OutboundSms, "Outbound SMS Queue", "Outbound SMS Message Queue:  Empty", 5},
                            Expect{ViewerKind::OutboundMms, "Outbound MMS Queue", "Outbound MMS Message Queue:  Empty", 5},
                            Expect{ViewerKind::ReceivedSms, "Received SMS Messages", "Received SMS Messages:  None", 6},
                            Expect{ViewerKind::ReceivedMms, "Received MMS Messages", "Received MMS Messages:  None", 5}}) {
        QueueViewer v(ctx, e.kind);
        EXPECT_EQ(v.title(), e.title);
        EXPECT_EQ(v.status_line(), e.empty);
        EXPECT_EQ(v.columns().size(), e.columns);
        auto w = v.column_widths(601);
        ASSERT_EQ(w.size(), e.columns);
        EXPECT_EQ(w.front(), 100);
        EXPECT_EQ(w[e.columns - 2], 100);
        EXPECT_EQ(w.back(), 601);
    }
    EXPECT_EQ(QueueViewer(ctx, ViewerKind::ReceivedSms).columns().back(), "Text");

    request("A.REQ", "+1");
    EXPECT_EQ(QueueViewer(ctx, ViewerKind::OutboundSms).status_line(), "Outbound SMS Message Queue:  1 message");
    request("B.REQ", "+2");
    write_text(outbound_sms("NONUMBER.REQ"), "[SMS]\r\nData=x\r\n");   // counted, not listed
    QueueViewer v(ctx, ViewerKind::OutboundSms);
    EXPECT_EQ(v.status_line(), "Outbound SMS Message Queue:  3 messages");
    EXPECT_EQ(v.row_count(), 2);
}

TEST_F(QueueViewerTest, CellsAreTheEntryStringsAndReceivedTextsAreCut) {
    request("A.REQ", "+15550001", "alice");
    QueueViewer out(ctx, ViewerKind::OutboundSms);
    EXPECT_EQ(out.cell(0, 0), "A.REQ");
    EXPECT_EQ(out.cell(0, 1), "alice");
    EXPECT_EQ(out.cell(0, 2), "+15550001");
    EXPECT_EQ(out.cell(0, 4), "Queued");
    EXPECT_EQ(out.cell(0, 5), "");
    EXPECT_EQ(out.cell(1, 0), "");

    // 498 ASCII characters then two-byte ones: 499 characters, no half one.
    received("LONG.SMS", "+2", std::string(498, 'x') + "\xC3\xA9\xC3\xA9\xC3\xA9");
    QueueViewer in(ctx, ViewerKind::ReceivedSms);
    EXPECT_EQ(in.cell(0, 5), std::string(498, 'x') + "\xC3\xA9");
    EXPECT_EQ(in.cell(0, 4), "Received");
}

TEST_F(QueueViewerTest, OpensInTimeOrderClicksToggleAndRefreshUsesTheKeptState) {
    received("B.SMS", "+2", "b");
    received("A.SMS", "+1", "a");
    received("C.SMS", "+3", "c");
    {
        QueueViewer v(ctx, ViewerKind::ReceivedSms);
        EXPECT_EQ(v.shown_order(), -4);   // newest first
        v.set_selected({row_of(v, "B.SMS")});
        v.column_click(0);
        EXPECT_EQ(ids(v), (std::vector<std::string>{"A.SMS", "B.SMS", "C.SMS"}));
        EXPECT_EQ(v.selected(), std::vector<int>{1});   // the same message, where it went
        EXPECT_EQ(v.focus_row(), 1);
        v.column_click(0);
        EXPECT_EQ(ids(v), (std::vector<std::string>{"C.SMS", "B.SMS", "A.SMS"}));
        v.column_click(0);
        EXPECT_EQ(ids(v), (std::vector<std::string>{"A.SMS", "B.SMS", "C.SMS"}));
        v.column_click(6);   // beyond the last column: nothing
        EXPECT_EQ(queue::sort_state(queue::ListKind::ReceivedSms), 1);
    }
    // Reopened: the time order first, the chosen column at the first refresh.
    QueueViewer v(ctx, ViewerKind::ReceivedSms);
    EXPECT_EQ(v.shown_order(), -4);
    v.tick();
    EXPECT_EQ(v.shown_order(), 1);
    EXPECT_EQ(ids(v), (std::vector<std::string>{"A.SMS", "B.SMS", "C.SMS"}));
}

TEST_F(QueueViewerTest, RefreshKeepsOneSelectedRowAndNeverDisturbsSeveral) {
    queue::set_sort_state(queue::ListKind::OutboundSms, 1);
    request("B.REQ", "+2");
    request("C.REQ", "+3");
    QueueViewer v(ctx, ViewerKind::OutboundSms);
    RecordingObserver obs;
    v.set_observer(&obs);
    v.tick();
    v.set_selected({row_of(v, "C.REQ")});

    request("A.REQ", "+1");   // sorts before the selected row
    v.tick();
    EXPECT_EQ(v.status_line(), "Outbound SMS Message Queue:  3 messages");
    EXPECT_EQ(ids(v), (std::vector<std::string>{"A.REQ", "B.REQ", "C.REQ"}));
    EXPECT_EQ(v.selected(), std::vector<int>{2});
    EXPECT_EQ(v.scroll_row(), 2);

    // Two selected: a minute passes without any change.
    v.set_selected({0, 1});
    request("D.REQ", "+4");
    int replaced = obs.replaced;
    v.tick();
    EXPECT_EQ(obs.replaced, replaced);
    EXPECT_EQ(v.row_count(), 3);
    EXPECT_EQ(v.status_line(), "Outbound SMS Message Queue:  3 messages");

    // The selected file went: no selection, back to the top.
    v.set_selected({row_of(v, "C.REQ")});
    fs::remove_file(outbound_sms("C.REQ"));
    v.tick();
    EXPECT_TRUE(v.selected().empty());
    EXPECT_EQ(v.focus_row(), -1);
    EXPECT_EQ(v.scroll_row(), 0);
    EXPECT_EQ(v.row_count(), 3);
}

TEST_F(QueueViewerTest, ANewListIsDiscardedWhenSeveralRowsGotSelectedMeanwhile) {
    request("A.REQ", "+1");
    request("B.REQ", "+2");
    QueueViewer v(ctx, ViewerKind::OutboundSms);
    request("C.REQ", "+3");
    auto fresh = v.build_list(queue::sort_state(queue::ListKind::OutboundSms));
    v.set_selected({0, 1});
    v.apply_refresh(std::move(fresh));
    EXPECT_EQ(v.row_count(), 2);
    EXPECT_EQ(v.selected(), (std::vector<int>{0, 1}));
    EXPECT_EQ(v.status_line(), "Outbound SMS Message Queue:  3 messages");   // the total is new at once
}

TEST_F(QueueViewerTest, OpenShowsTheRowsFileItsCompanionOrTheDetails) {
    request("A.REQ", "+1");
    write_text(outbound_mms("M.MMS"), "mms");
    write_text(outbound_mms("m.ini"), "[Routing]\r\n[Recipients]\r\nRecip1=+1\r\n");
    received("R.SMS", "+1", "hi");
    mms_header("H", "From: +1\r\n");

    QueueViewer sms(ctx, ViewerKind::OutboundSms);
    sms.open();   // nothing selected
    EXPECT_TRUE(ui.edited.empty());
    sms.set_selected({0});
    sms.open();
    QueueViewer mms(ctx, ViewerKind::OutboundMms);
    mms.set_selected({0});
    mms.open();
    QueueViewer in(ctx, ViewerKind::ReceivedSms);
    in.set_selected({0});
    in.open();
    EXPECT_EQ(ui.edited, (std::vector<std::string>{outbound_sms("A.REQ"), outbound_mms("m.ini"), received_sms("R.SMS")}));

    QueueViewer hdr(ctx, ViewerKind::ReceivedMms);
    RecordingObserver obs;
    hdr.set_observer(&obs);
    hdr.set_selected({0});
    hdr.open();
    EXPECT_EQ(obs.details, std::vector<std::string>{received_mms("H.HDR")});
}

TEST_F(QueueViewerTest, DeleteAsksThenRemovesEverySelectedRow) {
    for (const char* n : {"A.REQ", "B.REQ", "C.REQ", "D.REQ"}) request(n, "+1");
    queue::set_sort_state(queue::ListKind::OutboundSms, 1);
    QueueViewer v(ctx, ViewerKind::OutboundSms);
    RecordingObserver obs;
    v.set_observer(&obs);
    v.tick();
    v.set_selected({0, 2, 3});
    ui.script({Answer::No});
    v.delete_selected();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Delete 3 messages?");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Question);
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::YesNo);
    EXPECT_EQ(ui.boxes[0].caption, kProgramTitle);
    EXPECT_EQ(v.row_count(), 4);
    EXPECT_TRUE(fs::exists(outbound_sms("A.REQ")));

    v.delete_selected();   // Yes
    EXPECT_EQ(obs.removed, 3);
    EXPECT_EQ(ids(v), std::vector<std::string>{"B.REQ"});
    EXPECT_TRUE(v.selected().empty());
    EXPECT_FALSE(fs::exists(outbound_sms("A.REQ")));
    EXPECT_FALSE(fs::exists(outbound_sms("C.REQ")));
    EXPECT_FALSE(fs::exists(outbound_sms("D.REQ")));
    EXPECT_TRUE(fs::exists(outbound_sms("B.REQ")));
    EXPECT_EQ(v.status_line(), "Outbound SMS Message Queue:  4 messages");   // until the next refresh

    v.set_selected({0});
    v.delete_selected();
    EXPECT_EQ(ui.boxes.back().text, "Delete Message?");
    v.delete_selected();   // nothing selected: no question
    EXPECT_EQ(ui.boxes.size(), 3u);
    queue::wait_for_deletion_tasks();
}

TEST_F(QueueViewerTest, DeletingMmsRemovesTheCompanionOrTheContentDirectory) {
    mms_pair("P", "+1");
    QueueViewer out(ctx, ViewerKind::OutboundMms);
    out.set_selected({0});
    out.delete_selected();
    EXPECT_FALSE(fs::exists(outbound_mms("P.MMS")));
    EXPECT_FALSE(fs::exists(outbound_mms("P.INI")));

    mms_header("H", "From: +1\r\n");
    // A header without a stem would name the whole directory as its content.
    write_text(received_mms(".HDR"), "From: +2\r\n");
    QueueViewer in(ctx, ViewerKind::ReceivedMms);
    ASSERT_EQ(in.row_count(), 2);
    in.set_selected({0, 1});
    in.delete_selected();
    EXPECT_EQ(in.row_count(), 0);
    EXPECT_FALSE(fs::exists(received_mms("H.HDR")));
    EXPECT_FALSE(fs::exists(received_mms("H")));
    EXPECT_FALSE(fs::exists(received_mms(".HDR")));
    EXPECT_TRUE(fs::is_directory(received_mms("")));
    queue::wait_for_deletion_tasks();
}

TEST_F(QueueViewerTest, TheListStaysWithItsKindAfterTheWindowCloses) {
    request("A.REQ", "+1");
    { QueueViewer v(ctx, ViewerKind::OutboundSms); }
    // A second viewer of the kind starts afresh.
    request("B.REQ", "+1");
    QueueViewer v(ctx, ViewerKind::OutboundSms);
    EXPECT_EQ(v.row_count(), 2);
}

TEST(DeleteWithRetry, RetriesEveryFiveSecondsAndGivesUpWithinTwoMinutes) {
    test::ScratchDir d;
    auto clock = std::make_shared<platform::FakeClock>();
    const std::string path = d.file("held.REQ");
    write_text(path, "x");
    std::atomic<int> tries{0};
    EXPECT_FALSE(queue::DeleteWithRetry(path, clock, [&](const std::string&) { return ++tries, false; }));
    queue::wait_for_deletion_tasks();
    EXPECT_TRUE(fs::exists(path));
    EXPECT_LE(clock->total_slept_ms(), queue::kDeleteRetryWindowMs);
    EXPECT_GE(clock->total_slept_ms(), queue::kDeleteRetryWindowMs - queue::kDeleteRetryPauseMs);
    EXPECT_EQ(tries.load(), 1 + 24);

    // Released after the third try: the task ends at once.
    auto clock2 = std::make_shared<platform::FakeClock>();
    std::atomic<int> tries2{0};
    EXPECT_FALSE(queue::DeleteWithRetry(path, clock2, [&](const std::string& p) {
        return ++tries2 >= 3 && fs::remove_file(p);
    }));
    queue::wait_for_deletion_tasks();
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(tries2.load(), 3);
    EXPECT_EQ(clock2->total_slept_ms(), uint64_t{queue::kDeleteRetryPauseMs});   // tries at once and after 5 s

    write_text(path, "x");
    EXPECT_TRUE(queue::DeleteWithRetry(path, clock2));   // gone at once: no task
    EXPECT_EQ(queue::running_deletion_tasks(), 0u);
}
