// The queue viewer windows offscreen: header clicks, the selection across a
// refresh, and the Delete key with its question.
#include "ui/qt/queue_viewer_window.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <algorithm>

#include "pages/viewer_fixture.h"
#include "platform/fs.h"
#include "queue/delete_retry.h"
#include "ui/test_app.h"

using namespace ovr;

namespace {

QApplication& app() { return test::qt_app(); }

struct ViewerWindowTest : ::testing::Test, test::ViewerTree {
    ViewerWindowTest() {
        app();
        queue::set_sort_state(queue::ListKind::OutboundSms, 4);
    }
    static std::vector<std::string> shown_ids(ui::QueueViewerWindow& w) {
        std::vector<std::string> out;
        auto* m = w.table()->model();
        for (int r = 0; r < m->rowCount(); ++r) out.push_back(m->index(r, 0).data().toString().toStdString());
        return out;
    }
    static std::vector<int> selected_rows(ui::QueueViewerWindow& w) {
        std::vector<int> rows;
        for (const QModelIndex& i : w.table()->selectionModel()->selectedRows()) rows.push_back(i.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    static void click_header(ui::QueueViewerWindow& w, int column) {
        QHeaderView* h = w.table()->horizontalHeader();
        QPoint at(h->sectionViewportPosition(column) + 4, h->height() / 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, h->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, h->viewport()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(h->viewport(), &press);
        QApplication::sendEvent(h->viewport(), &release);
    }
    static void select(ui::QueueViewerWindow& w, std::initializer_list<int> rows) {
        auto* sel = w.table()->selectionModel();
        sel->clearSelection();
        for (int r : rows)
            sel->select(w.table()->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    static void key(ui::QueueViewerWindow& w, int k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(w.table(), &press);
    }
};

}  // namespace

TEST_F(ViewerWindowTest, HeaderClicksSortAscendingDescendingAscending) {
    request("B.REQ", "+3");
    request("A.REQ", "+1");
    request("C.REQ", "+2");
    ui::QueueViewerWindow w(ctx, pages::ViewerKind::OutboundSms);
    w.show();
    EXPECT_EQ(w.windowTitle(), "Outbound SMS Queue");
    EXPECT_EQ(w.status()->text(), "Outbound SMS Message Queue:  3 messages");
    EXPECT_EQ(w.timer()->interval(), 60000);
    // The inner width in sixths, the last column all of it.
    const int inner = w.table()->viewport()->width();
    EXPECT_EQ(w.table()->columnWidth(0), inner / 6);
    EXPECT_EQ(w.table()->columnWidth(4), inner);

    select(w, {0});
    const std::string chosen = shown_ids(w)[0];
    click_header(w, 2);   // Recipient
    EXPECT_EQ(shown_ids(w), (std::vector<std::string>{"A.REQ", "C.REQ", "B.REQ"}));
    EXPECT_EQ(w.table()->horizontalHeader()->sortIndicatorSection(), 2);
    EXPECT_EQ(w.table()->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
    // The same message stays selected where it went.
    ASSERT_EQ(selected_rows(w).size(), 1u);
    EXPECT_EQ(shown_ids(w)[static_cast<size_t>(selected_rows(w)[0])], chosen);

    click_header(w, 2);
    EXPECT_EQ(shown_ids(w), (std::vector<std::string>{"B.REQ", "C.REQ", "A.REQ"}));
    EXPECT_EQ(w.table()->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    click_header(w, 2);
    EXPECT_EQ(shown_ids(w), (std::vector<std::string>{"A.REQ", "C.REQ", "B.REQ"}));
}

TEST_F(ViewerWindowTest, ARefreshKeepsTheSelectedMessage) {
    queue::set_sort_state(queue::ListKind::OutboundSms, 1);
    request("B.REQ", "+2");
    request("C.REQ", "+3");
    ui::QueueViewerWindow w(ctx, pages::ViewerKind::OutboundSms);
    w.show();
    w.viewer().tick();
    select(w, {1});   // C.REQ
    ASSERT_EQ(w.viewer().selected(), std::vector<int>{1});

    request("A.REQ", "+1");
    w.viewer().tick();
    EXPECT_EQ(shown_ids(w), (std::vector<std::string>{"A.REQ", "B.REQ", "C.REQ"}));
    EXPECT_EQ(selected_rows(w), std::vector<int>{2});
    EXPECT_EQ(w.table()->currentIndex().row(), 2);
    EXPECT_EQ(w.status()->text(), "Outbound SMS Message Queue:  3 messages");

    // Two rows selected: the refresh leaves the list alone.
    select(w, {0, 1});
    request("0.REQ", "+0");
    w.viewer().tick();
    EXPECT_EQ(shown_ids(w).size(), 3u);
    EXPECT_EQ(selected_rows(w), (std::vector<int>{0, 1}));
}

TEST_F(ViewerWindowTest, DeleteKeyAsksAndRemovesTheSelectedRows) {
    queue::set_sort_state(queue::ListKind::OutboundSms, 1);
    for (const char* n : {"A.REQ", "B.REQ", "C.REQ"}) request(n, "+1");
    ui::QueueViewerWindow w(ctx, pages::ViewerKind::OutboundSms);
    w.show();
    w.viewer().tick();
    select(w, {0, 2});
    ui.script({Answer::No, Answer::Yes});
    key(w, Qt::Key_Delete);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Delete 2 messages?");
    EXPECT_EQ(shown_ids(w).size(), 3u);

    key(w, Qt::Key_Delete);
    EXPECT_EQ(shown_ids(w), std::vector<std::string>{"B.REQ"});
    EXPECT_TRUE(selected_rows(w).empty());
    EXPECT_FALSE(platform::fs::exists(outbound_sms("A.REQ")));
    EXPECT_FALSE(platform::fs::exists(outbound_sms("C.REQ")));
    EXPECT_TRUE(platform::fs::exists(outbound_sms("B.REQ")));
    EXPECT_EQ(w.status()->text(), "Outbound SMS Message Queue:  3 messages");

    // Enter opens the selected row.
    select(w, {0});
    key(w, Qt::Key_Return);
    EXPECT_EQ(ui.edited, std::vector<std::string>{outbound_sms("B.REQ")});
    queue::wait_for_deletion_tasks();
}

TEST_F(ViewerWindowTest, ReceivedMmsOpensTheDetailsDialog) {
    mms_header("M1", "From: +1\r\nX-OvrinMMS-Content-Location: M1/part.txt;text/plain\r\n");
    ui::QueueViewerWindow w(ctx, pages::ViewerKind::ReceivedMms);
    std::string shown;
    w.show_details = [&](const std::string& p) { shown = p; };
    w.show();
    select(w, {0});
    key(w, Qt::Key_Enter);
    EXPECT_EQ(shown, received_mms("M1.HDR"));

    ui::MmsDetailsDialog dialog(ctx, shown);
    EXPECT_EQ(dialog.windowTitle(), "MMS Message Details");
    EXPECT_TRUE(dialog.header()->toPlainText().startsWith("From: +1"));
    EXPECT_FALSE(dialog.header()->textCursor().hasSelection());
    ASSERT_EQ(dialog.parts()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.parts()->topLevelItem(0)->text(0), "part.txt (text/plain)");
    dialog.view_button()->click();   // a named text part goes to the shell, as any named non-SMIL part
    EXPECT_EQ(ui.opened, std::vector<std::string>{received_mms("M1/part.txt")});
}
