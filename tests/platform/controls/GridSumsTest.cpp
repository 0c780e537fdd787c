#include "platform/controls/GridSums.h"
#include "platform/controls/SpreadGrid.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTableView>
#include <gtest/gtest.h>

using namespace zpp::controls;

namespace {

// Columns: 1 quantity (4 decimals), 2 text, 3 hidden number, 4 amount (2 decimals), 5 tick box.
struct Sheet {
    SpreadGrid grid;
    Sheet() {
        grid.SetMaxCols(5);
        grid.SetMaxRows(4);
        for (int c : {1, 3, 4})
            grid.SetColCellType(c, CellType::Number);
        grid.SetColDecimals(1, 4);
        grid.SetColDecimals(4, 2);
        grid.SetColCellType(5, CellType::CheckBox);
        grid.SetColHidden(3, true);
        const char* rows[][4] = {{"1.5", "12", "100", "2"},
                                 {"2", "x", "100", ""},
                                 {"", "7", "100", "3.25"},
                                 {"0.25", "", "", "1"}};
        for (int r = 1; r <= 4; ++r)
            for (int c = 1; c <= 4; ++c)
                grid.SetText(c, r, QString::fromLatin1(rows[r - 1][c - 1]));
        grid.SetText(5, 1, "1");
    }
    NumberSums Count(const QVector<CellBlock>& blocks, qint64 slice = 1 << 20) {
        SelectionSums sums(grid, blocks);
        for (int turns = 0; !sums.Step(slice); ++turns)
            EXPECT_LT(turns, 100);
        return sums.Sums();
    }
};

} // namespace

// Numbers as the cells show them (a quantity of 1.5 shows 1.5000); text, tick-box and hidden
// columns are passed by; overlapping blocks count a cell once; slices add up to the whole.
TEST(SelectionSums, CountNumberCellsAsShownOnceEachSkippingHiddenAndText) {
    Sheet s;
    const NumberSums all = s.Count({{1, 5, 1, 4}});
    EXPECT_EQ(all.Count, 6);
    EXPECT_DOUBLE_EQ(all.Sum, 1.5 + 2 + 0.25 + 2 + 3.25 + 1);
    EXPECT_EQ(all.Decimals, 4);
    EXPECT_DOUBLE_EQ(all.Average(), 10.0 / 6);

    const QVector<CellBlock> overlapping{{1, 1, 1, 3}, {1, 2, 2, 4}, {4, 4, 3, 3}, {3, 3, 1, 4}};
    const NumberSums once = s.Count(overlapping);
    EXPECT_EQ(once.Count, 4) << "1.5, 2, 0.25 and 3.25";
    EXPECT_DOUBLE_EQ(once.Sum, 7);
    EXPECT_EQ(SelectionSums(s.grid, overlapping).ShownCells(), 4 + 3 + 1) << "hidden column 3 not shown";

    const NumberSums sliced = s.Count(overlapping, 1);
    EXPECT_EQ(sliced.Count, once.Count);
    EXPECT_DOUBLE_EQ(sliced.Sum, once.Sum);

    const NumberSums amounts = s.Count({{4, 4, 1, 4}});
    EXPECT_EQ(amounts.Decimals, 2);
    EXPECT_EQ(s.Count({{2, 2, 1, 4}, {5, 5, 1, 4}}).Count, 0) << "texts and ticks are no numbers";
    EXPECT_EQ(s.Count({{1, 1, 3, 9}}).Count, 1) << "rows past the end are none";
}

// A worked-out column reads its row when asked, keeps nothing written to it, cannot be edited,
// and tells the views when a cell of its row changes.
TEST(FormulaColumn, FollowsItsRowAndKeepsNothing) {
    Sheet s;
    QAbstractItemModelTester tester(s.grid.View()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    s.grid.SetColFormula(4, [&s](int row) {
        return s.grid.Text(1, row).isEmpty() ? QString()
                                             : QString::number(s.grid.Text(1, row).toDouble() * 2);
    });
    EXPECT_EQ(s.grid.Text(4, 1), "3");
    EXPECT_EQ(s.grid.Text(4, 3), "");
    s.grid.SetText(4, 1, "99");
    EXPECT_EQ(s.grid.Text(4, 1), "3") << "a write is ignored";
    EXPECT_TRUE(s.grid.CellLocked(4, 1));
    EXPECT_FALSE(s.grid.View()->model()->flags(s.grid.View()->model()->index(0, 3)) & Qt::ItemIsEditable);

    QSignalSpy changed(s.grid.View()->model(), &QAbstractItemModel::dataChanged);
    s.grid.SetText(1, 2, "5");
    EXPECT_EQ(s.grid.Text(4, 2), "10");
    bool told = false;
    for (const QList<QVariant>& args : changed) {
        const auto tl = args[0].value<QModelIndex>(), br = args[1].value<QModelIndex>();
        told = told || (tl.row() <= 1 && br.row() >= 1 && tl.column() <= 3 && br.column() >= 3);
    }
    EXPECT_TRUE(told) << "the view repaints the worked-out cell of the changed row";
    EXPECT_EQ(s.grid.View()->model()->data(s.grid.View()->model()->index(1, 3)).toString(), "10");

    s.grid.SetColFormula(4, {});
    EXPECT_EQ(s.grid.Text(4, 1), "") << "a stored column again, empty";
    s.grid.SetText(4, 1, "2");
    EXPECT_EQ(s.grid.Text(4, 1), "2.00");
}
