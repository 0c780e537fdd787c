// Sorting the list by a column through its header's menu, driven with the mouse over a real
// store: edits, ticks, saves and pushes after a sort reach the entries they were made on.
#include "AppFixture.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "component/list/PlanSort.h"

#include <QCollator>
#include <QTableView>

using namespace zpp;
using namespace zpp::test;

namespace {

QStringList Keys(const controls::SpreadGrid& g) {
    QStringList keys;
    for (int r = 1; r <= g.MaxRows(); ++r)
        keys << g.Text(col::Key, r);
    return keys;
}

// The list's own row records, which the print reads by place, in the grid's order.
QStringList RecordKeys(frmPurchasePlan& list) {
    QStringList keys;
    const RecordListPtr& rows = list.PurchasePlanUI()->Rows();
    for (int r = 1; rows && r <= rows->Count(); ++r)
        keys << rows->ValueOf(r, "FKey", QVariant()).toString();
    return keys;
}

// Where column col breaks the order (numbers by value, else the locale's order with numbers in
// texts by value; empty cells last): the first row out of place, 0 when none is.
int OutOfOrder(const controls::SpreadGrid& g, int col, bool ascending, bool numbers) {
    QCollator collator;
    collator.setNumericMode(true);
    for (int r = 2; r <= g.MaxRows(); ++r) {
        const QString a = g.Text(col, r - 1), b = g.Text(col, r);
        if (b.isEmpty())
            continue;
        if (a.isEmpty())
            return r;
        const int cmp = numbers ? (a.toDouble() < b.toDouble() ? -1 : a.toDouble() > b.toDouble())
                                : collator.compare(a, b);
        if (ascending ? cmp > 0 : cmp < 0)
            return r;
    }
    return 0;
}

QString Indicator(controls::SpreadGrid& g) {
    QHeaderView* h = g.View()->horizontalHeader();
    return h->isSortIndicatorShown()
               ? QString("%1 %2")
                     .arg(h->sortIndicatorSection() + 1)
                     .arg(h->sortIndicatorOrder() == Qt::AscendingOrder ? "asc" : "desc")
               : QString("none");
}

} // namespace

// Sorted by quantity through the header's menu, a plain header click still selects a column; notes
// typed and rows ticked after the sort are saved to and pushed from their own entries. The sort
// holds over the reload after the push, and 取消排序 gives back the order the rows were read in.
TEST_P(AppTest, EditsAndTicksMadeAfterASortReachTheirOwnEntries) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    const QStringList read = Keys(g);

    HeaderCommand(g, col::Qty, PlanSort::Descending);
    EXPECT_EQ(OutOfOrder(g, col::Qty, false, true), 0);
    ASSERT_NE(Keys(g), read) << "the demo list must not come in quantity order already";
    EXPECT_EQ(Indicator(g), QString("%1 desc").arg(col::Qty));
    EXPECT_EQ(RecordKeys(*list), Keys(g));

    QHeaderView* header = g.View()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(col::Price - 1) + 5, header->height() / 2));
    EXPECT_EQ(g.SelectedRowBlocks(), QVector<controls::RowBlock>({{1, g.MaxRows()}}));
    EXPECT_EQ(Indicator(g), QString("%1 desc").arg(col::Qty));

    const QString first = g.Text(col::Key, 1), third = g.Text(col::Key, 3);
    for (int r : {1, 3}) {
        h.Click(col::Memo, r);
        h.Type(QString("sorted %1").arg(r));
        h.Key(Qt::Key_Return);
    }
    h.Tool("Save");
    EXPECT_EQ(Entry(first, "memo") + "|" + Entry(third, "memo"), "sorted 1|sorted 3");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM plan_entries WHERE memo LIKE 'sorted %'"), 2);

    QStringList ticked;
    for (int r : PushableRows(g, 3, false)) {
        h.Click(col::CheckBox, r);
        ticked << g.Text(col::Key, r);
    }
    ASSERT_EQ(ticked.size(), 3);
    const qint64 lastOrder = db->Scalar("SELECT COALESCE(MAX(id), 0) FROM purchase_orders").toLongLong();
    FollowPush();
    h.Tool("PushBill");
    QStringList pushed =
        RowTexts(*db, QString("SELECT plan_id || '_' || entry_id FROM purchase_order_line_sources"
                              " WHERE order_id > %1")
                          .arg(lastOrder));
    pushed.sort();
    ticked.sort();
    EXPECT_EQ(pushed, ticked);

    // The list read again after the push comes sorted as chosen.
    EXPECT_EQ(OutOfOrder(g, col::Qty, false, true), 0);
    EXPECT_EQ(Indicator(g), QString("%1 desc").arg(col::Qty));
    EXPECT_EQ(RecordKeys(*list), Keys(g));

    // A note still open in its editor when the header's menu is used goes with its row.
    h.Click(col::Memo, 2);
    const QString open = g.Text(col::Key, 2);
    h.Type("open editor");
    ASSERT_TRUE(h.Editor());
    HeaderCommand(g, col::Qty, PlanSort::Unsorted);
    h.Tool("Save");
    EXPECT_EQ(Entry(open, "memo"), "open editor");
    QStringList loaded;
    const RecordListPtr& rows = list->PurchasePlanUI()->Loaded();
    for (int r = 1; r <= rows->Count(); ++r)
        loaded << rows->ValueOf(r, "FKey", QVariant()).toString();
    EXPECT_EQ(Keys(g), loaded);
    EXPECT_EQ(RecordKeys(*list), loaded);
    EXPECT_EQ(Indicator(g), "none");
}

// The merged view sorts by item name (the frozen columns' header) in the language's order; a note
// typed on a sorted merged row reaches every entry of it, and the unfolded list comes sorted too.
// From the View menu, the active cell's column sorts.
TEST_P(AppTest, TheMergedViewSortsAndUnfoldsSorted) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    const int entries = g.MaxRows();
    h.Tool("Merge");
    ASSERT_TRUE(State().IsMergedView);

    HeaderCommand(g, col::ItemName, PlanSort::Ascending);
    EXPECT_EQ(OutOfOrder(g, col::ItemName, true, false), 0);
    EXPECT_EQ(Indicator(g), QString("%1 asc").arg(col::ItemName));
    EXPECT_EQ(RecordKeys(*list), Keys(g));
    int merged = 1;
    while (merged < g.MaxRows() && !g.Text(col::Key, merged).contains(','))
        ++merged;
    const QStringList members = g.Text(col::Key, merged).split(',');
    ASSERT_GT(members.size(), 1);
    h.Click(col::Memo, merged);
    h.Type("merged sorted");
    h.Key(Qt::Key_Return);
    h.Tool("Save");
    for (const QString& k : members)
        EXPECT_EQ(Entry(k, "memo"), "merged sorted") << k.toStdString();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM plan_entries WHERE memo = 'merged sorted'"), members.size());

    h.Tool("Merge");
    ASSERT_FALSE(State().IsMergedView);
    EXPECT_EQ(g.MaxRows(), entries);
    EXPECT_EQ(OutOfOrder(g, col::ItemName, true, false), 0);
    EXPECT_EQ(Indicator(g), QString("%1 asc").arg(col::ItemName));
    EXPECT_EQ(RecordKeys(*list), Keys(g));

    h.Click(col::Memo, 5); // the View menu sorts by the active cell's column
    list->Tool("mnuView", PlanSort::Descending)->trigger();
    EXPECT_EQ(OutOfOrder(g, col::Memo, false, false), 0);
    EXPECT_TRUE(!g.Text(col::Memo, 1).isEmpty() && g.Text(col::Memo, g.MaxRows()).isEmpty());
    EXPECT_EQ(Indicator(g), QString("%1 desc").arg(col::Memo));
}
