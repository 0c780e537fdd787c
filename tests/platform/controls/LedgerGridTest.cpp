#include "platform/controls/LedgerGrid.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <malloc.h>

using namespace zpp;
using namespace zpp::controls;

namespace {

// A ledger whose rows are served as "r<row>c<col>|..." and which counts what it was asked.
class LedgerView : public ::testing::Test {
protected:
    void Serve(int cols) {
        QObject::connect(&grid, &LedgerGrid::RowTextRequested, &grid, [this, cols](int row, QString* text) {
            ++asked[row];
            QStringList cells; // row 3 has an empty cell 2; no bar after the last cell
            for (int c = 1; c <= cols; ++c)
                cells << (row == 3 && c == 2 ? QString() : QStringLiteral("r%1c%2").arg(row).arg(c));
            *text = cells.join(u'|');
        });
    }
    QString Shown(int dataRow, int col) const {
        return grid.model()->data(grid.model()->index(dataRow - 1, col - 1)).toString();
    }

    LedgerGrid grid;
    std::map<int, int> asked;
};

std::size_t HeapInUse() {
    return mallinfo2().uordblks + mallinfo2().hblkhd;
}

} // namespace

TEST_F(LedgerView, ServedRowsOwnTextsAndSheetSizeAgreeWithTheModel) {
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid.SetMaxCols(3);
    grid.SetMaxRows(1001);
    Serve(3);
    EXPECT_EQ(grid.model()->rowCount(), 1000);
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal).toString(), "r1c2");
    EXPECT_EQ(Shown(1, 1), "r2c1");
    EXPECT_EQ(grid.Text(1001, 3), "r1001c3");
    EXPECT_EQ(grid.Text(3, 1) + "/" + grid.Text(3, 2) + "/" + grid.Text(3, 3), "r3c1//r3c3");
    EXPECT_EQ(grid.Text(0, 1), "");
    EXPECT_EQ(grid.Text(1002, 1), "");
    EXPECT_EQ(grid.Text(2, 4), "");

    // A row with a text of its own is no longer asked for: its other cells are empty.
    grid.SetText(5, 2, "自有");
    EXPECT_EQ(grid.Text(5, 2), "自有");
    EXPECT_EQ(grid.Text(5, 1), "");
    EXPECT_EQ(Shown(4, 2), "自有");
    EXPECT_EQ(grid.Text(6, 1), "r6c1");
    grid.SetText(1, 1, "编号");
    EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), "编号");

    // Shrinking drops own texts; the rows come back served.
    grid.SetText(900, 1, "x");
    grid.SetMaxRows(10);
    EXPECT_EQ(grid.model()->rowCount(), 9);
    grid.SetMaxRows(1001);
    EXPECT_EQ(grid.Text(900, 1), "r900c1");
    EXPECT_EQ(grid.Text(5, 2), "自有");

    grid.ClearTexts();
    EXPECT_EQ(grid.Text(5, 2), "r5c2");
    EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), "r1c1");

    grid.SetMaxCols(5);
    EXPECT_EQ(grid.model()->columnCount(), 5);
    EXPECT_EQ(grid.Text(2, 5), "") << "a short answer leaves the last cells empty";
    QCoreApplication::processEvents(); // the deferred change notice must fit the shrunken sheet
}

TEST_F(LedgerView, APaintAsksEachShownRowOnceAndARepaintNotAtAll) {
    grid.SetMaxCols(12);
    grid.SetMaxRows(100001);
    Serve(12);
    grid.resize(800, 500);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.viewport()->repaint();
    ASSERT_FALSE(asked.empty());
    for (const auto& [row, times] : asked)
        EXPECT_EQ(times, 1) << "row " << row;
    EXPECT_LT(asked.size(), 60u) << "only the rows on screen";

    const std::size_t before = asked.size();
    grid.viewport()->repaint();
    EXPECT_EQ(asked.size(), before);
    for (const auto& [row, times] : asked)
        EXPECT_EQ(times, 1);

    grid.ClearTexts();
    grid.viewport()->repaint();
    EXPECT_EQ(asked[2], 2) << "cleared texts are asked for again";
}

TEST_F(LedgerView, HiddenColumnsWidthsAndNumberAlignment) {
    grid.SetMaxCols(4);
    grid.SetMaxRows(3);
    grid.resize(600, 300);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.SetColHidden(2, true);
    EXPECT_TRUE(grid.isColumnHidden(1));
    EXPECT_TRUE(grid.ColHidden(2));

    grid.SetColWidth(1, 0.5);
    EXPECT_EQ(grid.columnWidth(0), grid.viewport()->width() / 2);
    grid.resize(900, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.columnWidth(0), grid.viewport()->width() / 2) << "fractions follow the view";

    const QFontMetricsF fm(grid.font());
    const QString sample = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    grid.SetColWidth(3, 10);
    EXPECT_EQ(grid.columnWidth(2), qRound(10 * fm.horizontalAdvance(sample) / sample.size()) + 6);
    EXPECT_EQ(grid.ColWidth(3), 10);

    grid.SetColCellType(4, 13);
    const QModelIndex number = grid.model()->index(0, 3);
    EXPECT_TRUE(grid.model()->data(number, Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    EXPECT_TRUE(grid.model()->data(grid.model()->index(0, 0), Qt::TextAlignmentRole).toInt() & Qt::AlignLeft);
}

TEST_F(LedgerView, CurrentRowDoubleClickAndEnterAreInDataRows) {
    grid.SetMaxCols(2);
    grid.SetMaxRows(6);
    Serve(2);
    grid.SetColHidden(1, true);
    grid.resize(400, 300);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    QSignalSpy activated(&grid, &LedgerGrid::RowActivated);
    grid.SetCurrentRow(3);
    EXPECT_EQ(grid.CurrentRow(), 3);
    EXPECT_EQ(grid.currentIndex().column(), 1) << "the first shown column";
    grid.SetCurrentRow(6);
    EXPECT_EQ(grid.CurrentRow(), 3) << "past the last data row";
    QTest::keyClick(&grid, Qt::Key_Return);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated[0][0].toInt(), 3);
    // A real double-click starts with a click; QTest sends only the double-click event.
    const QPoint cell = grid.visualRect(grid.model()->index(1, 1)).center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell);
    ASSERT_EQ(activated.count(), 2);
    EXPECT_EQ(activated[1][0].toInt(), 2);
}

TEST(LedgerSize, ABigSheetCostsNothingPerCellUntilTextsArePut) {
    LedgerGrid grid;
    grid.SetMaxCols(35);
    const std::size_t before = HeapInUse();
    grid.SetMaxRows(1000001);
    // The view's header keeps a few bytes a row; one byte a cell would be 35 MB.
    EXPECT_LT(HeapInUse() - before, std::size_t(20) << 20) << "no storage per cell for served rows";

    // Texts put in cost 12 bytes a cell besides their characters, not a heap block each (75 bytes).
    grid.SetMaxRows(100001);
    const std::size_t filled = HeapInUse();
    for (int r = 2; r <= 100001; ++r)
        for (int c = 1; c <= 35; ++c)
            grid.SetText(r, c, c % 2 ? QStringLiteral("A%1").arg(r) : QStringLiteral("螺栓%1").arg(c));
    EXPECT_LT(HeapInUse() - filled, std::size_t(3500000) * 36);
    EXPECT_EQ(grid.Text(77777, 3), "A77777");
    EXPECT_EQ(grid.Text(100001, 34), "螺栓34");
}
