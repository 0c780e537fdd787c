// Sorting the grid: the order a column gives, and rows moved with everything that is theirs.
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Error.h"

#include <QAbstractItemModelTester>
#include <QCollator>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>
#include <numeric>
#include <random>

using namespace zpp;
using namespace zpp::controls;

namespace {

const QLocale kChinese(QLocale::Chinese, QLocale::China);

// A grid of one column per cell type: 1 number, 2 date, 3 text, 4 check box, 5 the row's name.
void MakeGrid(SpreadGrid& g, const QList<QStringList>& rows) {
    g.SetMaxCols(5);
    g.SetColCellType(1, CellType::Number);
    g.SetColDecimals(1, 1);
    g.SetColCellType(2, CellType::Date);
    g.SetColCellType(4, CellType::CheckBox);
    g.SetMaxRows(int(rows.size()));
    for (int r = 1; r <= rows.size(); ++r)
        for (int c = 1; c <= rows[r - 1].size(); ++c)
            g.SetText(c, r, rows[r - 1][c - 1]);
}

// Column col's texts in the order SortOrder gives for column by.
QStringList Sorted(const SpreadGrid& g, int by, bool ascending, int col, const QLocale& locale = kChinese) {
    QStringList texts;
    for (int r : g.SortOrder(by, ascending, locale))
        texts << g.Text(col, r);
    return texts;
}

} // namespace

TEST(GridSort, NumbersDatesAndTextsInTheirOwnOrderEmptiesLastEitherWay) {
    SpreadGrid g;
    MakeGrid(g, {{"10", "2026-01-05", "第10批", "1", "a"},
                 {"9", "2025-12-31", "张三", "0", "b"},
                 {"", "", "", "1", "c"},
                 {"2.5", "2026-01-05", "12", "0", "d"},
                 {"-1", "2024-02-29", "阿姨", "", "e"},
                 {"9", "", "第9批", "1", "f"},
                 {"", "2024-03-01", "3", "0", "g"},
                 {"0", "2023-12-31", "李四", "0", "h"}});
    // Numbers by value ("10" after "9"); equal values keep their order both ways.
    EXPECT_EQ(Sorted(g, 1, true, 5), QStringList({"e", "h", "d", "b", "f", "a", "c", "g"}));
    EXPECT_EQ(Sorted(g, 1, false, 5), QStringList({"a", "b", "f", "d", "h", "e", "c", "g"}));
    EXPECT_EQ(Sorted(g, 2, true, 5), QStringList({"h", "e", "g", "b", "a", "d", "c", "f"}));
    EXPECT_EQ(Sorted(g, 2, false, 5), QStringList({"a", "d", "b", "g", "e", "h", "c", "f"}));
    // Texts: numbers first, then the locale's order (pinyin), a number inside a text by value.
    EXPECT_EQ(Sorted(g, 3, true, 3), QStringList({"3", "12", "阿姨", "第9批", "第10批", "李四", "张三", ""}));
    EXPECT_EQ(Sorted(g, 3, false, 3),
              QStringList({"张三", "李四", "第10批", "第9批", "阿姨", "12", "3", ""}));
    // An empty check box is a clear one, not an empty cell.
    EXPECT_EQ(Sorted(g, 4, false, 5), QStringList({"a", "c", "f", "b", "d", "e", "g", "h"}));

    // Another language, another order.
    g.SetMaxRows(4);
    for (int r = 1; r <= 4; ++r)
        g.SetText(3, r, QStringList{"b", "B", "a", "A"}[r - 1]);
    EXPECT_EQ(Sorted(g, 3, true, 3, QLocale(QLocale::English)), QStringList({"a", "A", "b", "B"}));
    // A column that is not there leaves the rows as they are.
    EXPECT_EQ(g.SortOrder(9, true), QVector<int>({1, 2, 3, 4}));
}

// Against a plain stable sort of the rows, over texts the store keeps once per cell, shared
// between cells, and repeated in cells of their own, with ties and empty cells.
TEST(GridSort, AgreesWithAStableSortOfTheRows) {
    std::mt19937 random(7);
    const QStringList words = {"钢板",   "螺栓", "垫圈", "Bolt", "bolt", "第2批",
                               "第11批", "7",    "07",   "12.5", ""};
    SpreadGrid g;
    g.SetMaxCols(2);
    g.SetColCellType(1, CellType::Number);
    const int rows = 400;
    g.SetMaxRows(rows);
    QVector<int> shareFrom(rows, 0);
    for (int r = 1; r <= rows; ++r) {
        g.SetText(1, r, random() % 5 ? QString::number(int(random() % 40) - 20) : QString());
        if (r > 10 && random() % 3 == 0)
            shareFrom[r - 1] = int(random() % 10) + 1;
        else
            g.SetText(2, r, words[int(random() % words.size())]);
    }
    g.ShareTexts(2, 1, shareFrom);
    QCollator collator(kChinese);
    collator.setNumericMode(true);
    for (int col : {1, 2})
        for (bool ascending : {true, false}) {
            QVector<int> expected(rows);
            std::iota(expected.begin(), expected.end(), 1);
            std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
                const QString x = g.Text(col, a), y = g.Text(col, b);
                if (x.isEmpty() || y.isEmpty())
                    return !x.isEmpty() && y.isEmpty();
                bool xNumber = false, yNumber = false;
                const double xv = x.toDouble(&xNumber), yv = y.toDouble(&yNumber);
                const int kind = xNumber == yNumber ? 0 : xNumber ? -1 : 1;
                const int cmp = kind != 0 ? kind
                                : xNumber ? (xv < yv ? -1 : xv > yv)
                                          : collator.compare(x, y);
                return ascending ? cmp < 0 : cmp > 0;
            });
            EXPECT_EQ(g.SortOrder(col, ascending, kChinese), expected) << col << ascending;
        }
}

// Everything a row holds goes with it, the model telling its views as a model must; the
// selection and the active cell follow, and a row's text is found where it went.
TEST(GridSort, MovedRowsTakeTheirTextsMarksLocksDecimalsNotesAndSelection) {
    SpreadGrid g;
    QAbstractItemModelTester tester(g.View()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    MakeGrid(g, {{"1.5", "2026-01-01", "钢板", "1", "r1"},
                 {"2.5", "2026-01-02", "螺栓", "0", "r2"},
                 {"3.5", "", "垫圈", "1", "r3"},
                 {"4.5", "2026-01-04", "", "0", "r4"},
                 {"5.5", "2026-01-05", "钢板", "1", "r5"},
                 {"6.5", "2026-01-06", "螺母", "0", "r6"}});
    g.ShareTexts(3, 5, std::vector<int>{1}); // row 5 shares row 1's text
    g.SetFrozenCols(1);
    g.resize(600, 300);
    g.show();
    g.MarkRowsUnchanged();
    g.SetText(3, 2, "螺栓二"); // row 2 holds an edit
    g.SetCellLock(3, 3, true);
    g.SetCellDecimals(1, 4, 3);
    g.SetCellNote(2, 6, "各分录的值不同");
    g.SetActiveCell(2, 3);
    QItemSelectionModel* selection = g.View()->selectionModel();
    QAbstractItemModel* model = g.View()->model();
    selection->clearSelection();
    selection->select(QItemSelection(model->index(0, 0), model->index(1, 4)), QItemSelectionModel::Select);
    selection->select(QItemSelection(model->index(5, 2), model->index(5, 2)), QItemSelectionModel::Select);
    const QPersistentModelIndex kept(model->index(3, 1));
    QSignalSpy moved(&g, &SpreadGrid::RowsMoved);
    QSignalSpy entered(&g, &SpreadGrid::CellEntered);

    const QVector<int> order = {3, 1, 6, 2, 5, 4}; // new row i is old row order[i - 1]
    g.MoveRows(order);

    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(g.Text(5, i), QString("r%1").arg(order[i - 1]));
    EXPECT_EQ(g.Text(3, 5), "钢板");
    EXPECT_EQ(g.Text(3, 2), "钢板");
    EXPECT_EQ(g.Text(4, 1) + g.Text(4, 2) + g.Text(4, 3), "110");
    for (int i = 1; i <= 6; ++i) {
        EXPECT_EQ(g.RowChanged(i), order[i - 1] == 2) << i;
        EXPECT_EQ(g.CellLocked(3, i), order[i - 1] == 3) << i;
        EXPECT_EQ(g.CellDecimals(1, i), order[i - 1] == 4 ? 3 : 1) << i;
        EXPECT_EQ(g.CellNote(2, i).isEmpty(), order[i - 1] != 6) << i;
    }
    EXPECT_EQ(g.ChangedRowCount(), 1);
    EXPECT_EQ(g.Text(1, 6), "4.500"); // the row's own decimals moved with it
    g.SetText(1, 6, "7.25");
    EXPECT_EQ(g.Text(1, 6), "7.250");
    // Old rows 1 and 2 (whole) are rows 2 and 4; old row 6's one cell is row 3.
    EXPECT_EQ(g.SelectedRowBlocks(), QVector<RowBlock>({{2, 4}}));
    EXPECT_TRUE(selection->isSelected(model->index(2, 2)));
    EXPECT_FALSE(selection->isSelected(model->index(2, 0)));
    EXPECT_FALSE(selection->isSelected(model->index(2, 4)));
    EXPECT_TRUE(selection->isSelected(model->index(1, 4)) && selection->isSelected(model->index(3, 0)));
    EXPECT_EQ(g.ActiveCol() * 10 + g.ActiveRow(), 21);
    EXPECT_EQ(kept.row(), 5);
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(moved[0][0].value<QVector<int>>(), order);
    ASSERT_EQ(entered.size(), 1);
    EXPECT_EQ(entered[0][1].toInt(), 1);
    EXPECT_EQ(g.Find("螺母", 1, 1, true, true), std::optional(std::pair{3, 3}));
    EXPECT_EQ(g.Find("螺栓二", 1, 1, true, true), std::optional(std::pair{3, 4}));

    // An order that does not name every row once changes nothing.
    for (const QVector<int>& wrong : {QVector<int>{1, 2, 3}, QVector<int>{1, 1, 2, 3, 4, 5},
                                      QVector<int>{0, 1, 2, 3, 4, 5}, QVector<int>{2, 3, 4, 5, 6, 7}})
        EXPECT_THROW(g.MoveRows(wrong), Error);
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(g.Text(5, i), QString("r%1").arg(order[i - 1]));
    EXPECT_EQ(moved.size(), 1);
}

// What is typed into a cell still open in its editor goes with its row.
TEST(GridSort, AnOpenEditorIsCommittedBeforeItsRowMoves) {
    SpreadGrid g;
    MakeGrid(g, {{"1", "", "a", "0", "r1"}, {"2", "", "b", "0", "r2"}, {"3", "", "c", "0", "r3"}});
    g.resize(600, 300);
    g.show();
    g.SetActiveCell(3, 1);
    QTest::keyClick(g.View(), 'x'); // opens the editor, as typing does
    QWidget* editor = g.View()->indexWidget(g.View()->currentIndex());
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, "yz");
    g.MoveRows(std::vector<int>{3, 2, 1});
    EXPECT_EQ(g.Text(3, 3) + "|" + g.Text(5, 3), "xyz|r1");
    EXPECT_EQ(g.ActiveRow(), 3);
    EXPECT_FALSE(g.View()->indexWidget(g.View()->currentIndex()));
}

// With redraw off and rows added, the view learns of the rows only when redraw comes back;
// the active cell goes with its row all the same.
TEST(GridSort, RowsMovedWhileRedrawIsOffArriveWithTheRedraw) {
    SpreadGrid g;
    MakeGrid(g, {{"1", "", "a", "0", "r1"}, {"2", "", "b", "0", "r2"}});
    g.SetActiveCell(5, 1);
    g.SetRedraw(false);
    g.SetMaxRows(3);
    g.SetText(5, 3, "r3");
    g.MoveRows(std::vector<int>{3, 2, 1});
    g.SetRedraw(true);
    EXPECT_EQ(g.View()->model()->index(0, 4).data().toString() + g.Text(5, 3), "r3r1");
    EXPECT_EQ(g.ActiveRow(), 3);
}

// A click on a header selects its column and leaves the sort indicator alone; a right-click
// asks for the header's menu, in the frozen columns' header too.
TEST(GridSort, HeadersShowTheSortAndAskForTheirMenu) {
    SpreadGrid g;
    MakeGrid(g, {{"1", "", "a", "0", "r1"}, {"2", "", "b", "0", "r2"}, {"3", "", "c", "0", "r3"}});
    g.SetFrozenCols(2);
    g.resize(800, 300);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    g.SetSortIndicator(3, false);
    QHeaderView* main = g.View()->horizontalHeader();
    QHeaderView* frozen = g.FrozenView()->horizontalHeader();
    for (QHeaderView* h : {main, frozen})
        EXPECT_TRUE(h->isSortIndicatorShown() && h->sortIndicatorSection() == 2 &&
                    h->sortIndicatorOrder() == Qt::DescendingOrder);
    const auto sectionCentre = [](QHeaderView* h, int section) {
        return QPoint(h->sectionViewportPosition(section) + h->sectionSize(section) / 2, h->height() / 2);
    };
    QTest::mouseClick(main->viewport(), Qt::LeftButton, {}, sectionCentre(main, 4));
    EXPECT_EQ(main->sortIndicatorSection() * 10 + int(main->sortIndicatorOrder()), 21);
    EXPECT_EQ(g.SelectedRowBlocks(), QVector<RowBlock>({{1, 3}}));

    QSignalSpy asked(&g, &SpreadGrid::HeaderMenuRequested);
    for (auto [h, section] : {std::pair{frozen, 0}, std::pair{main, 3}}) {
        const QPoint at = sectionCentre(h, section);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, h->viewport()->mapToGlobal(at));
        QApplication::sendEvent(h->viewport(), &event);
    }
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0][0].toInt() * 10 + asked[1][0].toInt(), 14);
    EXPECT_EQ(asked[1][1].toPoint(), main->viewport()->mapToGlobal(sectionCentre(main, 3)));

    g.SetSortIndicator(0, true);
    EXPECT_FALSE(main->isSortIndicatorShown() || frozen->isSortIndicatorShown());
}

// Enough distinct texts that they are collated in two halves (on two threads where there are two
// cores): the halves come back as one order, the same as a plain stable sort's.
TEST(GridSort, ManyDistinctTextsSortAsFewDo) {
    std::mt19937 random(11);
    const QStringList heads = {"钢板", "螺栓", "垫圈", "Bolt", "bolt", "第"};
    SpreadGrid g;
    g.SetMaxCols(1);
    const int rows = 24000;
    g.SetRedraw(false);
    g.SetMaxRows(rows);
    QStringList texts;
    for (int r = 1; r <= rows; ++r) {
        texts << (r % 50 ? heads[int(random() % heads.size())] + QString::number(random() % 100000)
                         : QString());
        g.SetText(1, r, texts.back());
    }
    g.SetRedraw(true);
    QCollator collator(kChinese);
    collator.setNumericMode(true);
    for (bool ascending : {true, false}) {
        QVector<int> expected(rows);
        std::iota(expected.begin(), expected.end(), 1);
        std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
            const QString &x = texts[a - 1], &y = texts[b - 1];
            if (x.isEmpty() || y.isEmpty())
                return !x.isEmpty() && y.isEmpty();
            const int cmp = collator.compare(x, y);
            return ascending ? cmp < 0 : cmp > 0;
        });
        EXPECT_EQ(g.SortOrder(1, ascending, kChinese), expected) << ascending;
    }
}
