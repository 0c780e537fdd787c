#include "platform/controls/SpreadGrid.h"
#include "platform/records/Error.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace zpp;
using namespace zpp::controls;

namespace zpp::controls {
void PrintTo(const RowBlock& b, std::ostream* os) {
    *os << b.First << '-' << b.Last;
}
} // namespace zpp::controls

namespace {

enum Col { kText = 1, kNumber, kDate, kCheck };

// Four columns, one of each type, ten rows; shown, so clicks and keys behave as for a user.
class GridTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid.SetMaxCols(4);
        grid.SetMaxRows(10);
        grid.SetColCellType(kNumber, CellType::Number);
        grid.SetColDecimals(kNumber, 2);
        grid.SetColMin(kNumber, 0);
        grid.SetColMax(kNumber, 100);
        grid.SetColCellType(kDate, CellType::Date);
        grid.SetColCellType(kCheck, CellType::CheckBox);
        grid.resize(600, 400);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }

    QTableView* View() { return grid.View(); }
    QModelIndex Index(int col, int row) { return View()->model()->index(row - 1, col - 1); }
    void Click(int col, int row) {
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, {},
                          View()->visualRect(Index(col, row)).center());
    }
    QWidget* OpenEditor(int col, int row) {
        grid.SetActiveCell(col, row);
        View()->edit(Index(col, row));
        return View()->indexWidget(Index(col, row));
    }
    // Enter commits through a queued call, as it does for a user.
    void Commit(QWidget* editor) {
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    QString FailureOf(int col, int row, const QString& text) {
        try {
            grid.SetText(col, row, text);
        } catch (const Error& e) {
            return e.Description();
        }
        return {};
    }

    SpreadGrid grid;
    // Every test of the fixture also holds the model to Qt's rules (a broken rule aborts).
    QAbstractItemModelTester tester{grid.View()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(GridTest, SetTextNormalisesEachCellType) {
    auto stored = [&](int col, const char* text) {
        grid.SetText(col, 1, text);
        return grid.Text(col, 1);
    };
    EXPECT_EQ(grid.Text(kCheck, 1), "0") << "an untouched check box reads 0";
    EXPECT_EQ(stored(kNumber, " 7 "), "7.00");
    EXPECT_EQ(stored(kNumber, "-1.236"), "-1.24") << "the range bounds editing, not the program";
    EXPECT_EQ(stored(kDate, "2026/1/2"), "2026-01-02");
    EXPECT_EQ(stored(kDate, "20261206"), "2026-12-06");
    EXPECT_EQ(stored(kDate, ""), "");
    EXPECT_EQ(stored(kCheck, "True"), "1");
    EXPECT_EQ(stored(kCheck, "2.5"), "1");
    EXPECT_EQ(stored(kCheck, ""), "0");
    EXPECT_EQ(stored(kText, "  钢板 12 "), "  钢板 12 ") << "text cells keep what they get";
}

TEST_F(GridTest, TextACellCannotHoldFailsNamingTheCell) {
    grid.SetText(kNumber, 3, "5");
    for (const char* bad : {"12abc", "1e999"})
        EXPECT_NE(FailureOf(kNumber, 3, bad), "") << bad;
    EXPECT_EQ(grid.Text(kNumber, 3), "5.00") << "a refused text leaves the cell alone";
    EXPECT_NE(FailureOf(kDate, 3, "2026-02-30"), "");
    EXPECT_NE(FailureOf(kCheck, 3, "yes"), "");

    const QString message = FailureOf(kDate, 3, "明天");
    EXPECT_TRUE(message.contains("3") && message.contains(QString::number(kDate)) && message.contains("明天"))
        << message.toStdString();
    EXPECT_THROW(grid.SetText(5, 1, "x"), Error);
    EXPECT_THROW(grid.SetText(1, 11, "x"), Error);
}

TEST_F(GridTest, SetValueStoresWhatSetTextOfTheValuesTextStores) {
    // Outcome of a write: the cell's text, or a mark for a refused value.
    auto outcome = [&](int col, const std::function<void()>& write) {
        grid.SetText(col, 5, "");
        try {
            write();
        } catch (const Error&) {
            return QString("refused");
        }
        return grid.Text(col, 5);
    };
    grid.SetCellDecimals(kNumber, 5, 4);
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    QVariantList values = {-0.0, 2.5, 0.125, 123456789012LL, 1e301, 1e-310, inf, nan, " 12.5 ", "abc", true};
    values << QDate(2026, 1, 2) << QVariant() << "2026-12-06";
    std::mt19937_64 rng(3);
    for (int i = 0; i < 2000; ++i)
        values << std::ldexp(double(rng() % (1ull << 53)), int(rng() % 120) - 80) * (i % 2 ? 1 : -1);
    for (int col : {kText, kNumber, kDate, kCheck})
        for (const QVariant& v : values)
            ASSERT_EQ(outcome(col, [&] { grid.SetValue(col, 5, v); }),
                      outcome(col, [&] { grid.SetText(col, 5, v.toString()); }))
                << col << " " << v.toString().toStdString();
    EXPECT_THROW(grid.SetValue(5, 1, 1.0), Error);
}

TEST_F(GridTest, CellLockOverridesColumnLockOverridesLockAll) {
    grid.SetLockAll(true);
    EXPECT_TRUE(grid.CellLocked(kText, 1));
    grid.SetColLock(kNumber, false);
    EXPECT_FALSE(grid.CellLocked(kNumber, 1)) << "an unlocked column beats lock-all";
    grid.SetCellLock(kNumber, 2, true);
    EXPECT_TRUE(grid.CellLocked(kNumber, 2));
    grid.SetCellLock(kText, 3, false);
    EXPECT_FALSE(grid.CellLocked(kText, 3)) << "an unlocked cell beats its locked column";
    grid.SetLockAll(false);
    grid.SetColLock(kDate, true);
    EXPECT_TRUE(grid.CellLocked(kDate, 5));
    EXPECT_FALSE(View()->model()->flags(Index(kDate, 5)) & Qt::ItemIsEditable);
    EXPECT_TRUE(View()->model()->flags(Index(kText, 5)) & Qt::ItemIsEditable);
}

TEST_F(GridTest, CellDecimalsOverrideTheColumnAndReRound) {
    grid.SetCellDecimals(kNumber, 2, 0);
    grid.SetText(kNumber, 1, "3.7");
    grid.SetText(kNumber, 2, "3.7");
    EXPECT_EQ(grid.Text(kNumber, 1), "3.70");
    EXPECT_EQ(grid.Text(kNumber, 2), "4");

    grid.MarkRowsUnchanged();
    grid.SetCellDecimals(kNumber, 1, 3);
    EXPECT_EQ(grid.Text(kNumber, 1), "3.700");
    EXPECT_FALSE(grid.RowChanged(1)) << "other decimals are not another value";
    grid.SetText(kNumber, 3, "1.5");
    grid.SetColDecimals(kNumber, 1);
    EXPECT_EQ(grid.Text(kNumber, 3), "1.5");
    EXPECT_EQ(grid.Text(kNumber, 1), "3.700") << "cells with their own decimals keep them";
}

TEST_F(GridTest, RowsChangeByTheirTextsNotByTicksAndCarryAHeaderMarkUntilMarkedUnchanged) {
    QAbstractItemModel* model = View()->model();
    auto header = [&](int row) { return model->headerData(row - 1, Qt::Vertical).toString(); };
    grid.SetText(kText, 1, "a");
    grid.MarkRowsUnchanged();
    EXPECT_EQ(grid.ChangedRowCount(), 0);
    QSignalSpy headers(model, &QAbstractItemModel::headerDataChanged);
    grid.SetText(kCheck, 2, "1");
    grid.SetText(kText, 1, "a");
    grid.SetText(kDate, 3, "2024-05-01");
    grid.SetText(kDate, 3, "2024-05-02");
    grid.SetMaxRows(11);
    std::vector<bool> changed;
    for (int r = 1; r <= 11; ++r)
        changed.push_back(grid.RowChanged(r));
    EXPECT_EQ(changed,
              std::vector<bool>({false, false, true, false, false, false, false, false, false, false, true}));
    EXPECT_EQ(grid.ChangedRowCount(), 2);
    EXPECT_EQ(header(3), "3*");
    EXPECT_EQ(header(2), "2") << "a tick is no edit";
    ASSERT_GE(headers.count(), 1) << "the header repaints a newly marked row";
    EXPECT_EQ(headers[0], (QVariantList{QVariant::fromValue(Qt::Vertical), 2, 2}));

    grid.SetMaxRows(10);
    EXPECT_EQ(grid.ChangedRowCount(), 1) << "a dropped row takes its mark with it";
    grid.SetRedraw(false);
    grid.SetText(kText, 5, "b");
    grid.SetRedraw(true);
    EXPECT_EQ(header(5), "5*");
    EXPECT_EQ(grid.ChangedRowCount(), 2);

    headers.clear();
    grid.MarkRowsUnchanged();
    EXPECT_EQ(grid.ChangedRowCount(), 0);
    EXPECT_EQ(header(3), "3");
    EXPECT_EQ(headers.count(), 1);

    // The row header is wide enough for a marked row the header never measured.
    grid.SetMaxRows(300);
    grid.MarkRowsUnchanged();
    grid.SetText(kText, 150, "c");
    QHeaderView* rows = View()->verticalHeader();
    EXPECT_GE(rows->sizeHint().width(), rows->fontMetrics().horizontalAdvance(header(150)) + 4);
}

TEST_F(GridTest, RowAndColumnCountsChangeWithoutLosingData) {
    grid.SetText(kText, 10, "last");
    grid.SetText(kCheck, 10, "1");
    grid.SetCellLock(kText, 10, true);
    grid.SetMaxRows(1000);
    EXPECT_EQ(View()->model()->rowCount(), 1000);
    EXPECT_EQ(grid.Text(kText, 10), "last");
    EXPECT_TRUE(grid.CellLocked(kText, 10));
    EXPECT_EQ(grid.Text(kCheck, 11), "0");
    EXPECT_FALSE(grid.CellLocked(kText, 11));

    grid.SetMaxRows(9);
    grid.SetMaxRows(10);
    EXPECT_EQ(grid.Text(kText, 10), "") << "a dropped row comes back empty";

    grid.SetMaxCols(6);
    EXPECT_EQ(View()->model()->columnCount(), 6);
    grid.SetText(6, 2, "new");
    grid.SetMaxCols(3);
    grid.SetMaxCols(6);
    EXPECT_EQ(grid.Text(6, 2), "") << "a dropped column comes back empty";
}

TEST_F(GridTest, EditorsMatchTheCellTypeAndLockedCellsGetNone) {
    QSignalSpy starting(&grid, &SpreadGrid::EditStarting);
    QSignalSpy changed(&grid, &SpreadGrid::Changed);

    auto* date = qobject_cast<QDateEdit*>(OpenEditor(kDate, 1));
    ASSERT_TRUE(date);
    EXPECT_EQ(starting.takeFirst(), (QVariantList{kDate, 1}));
    date->setDate(QDate(2026, 5, 17));
    Commit(date);
    EXPECT_EQ(grid.Text(kDate, 1), "2026-05-17");
    EXPECT_EQ(changed.takeFirst(), (QVariantList{kDate, 1}));

    date = qobject_cast<QDateEdit*>(OpenEditor(kDate, 1));
    Commit(date);
    EXPECT_TRUE(changed.isEmpty()) << "committing an unchanged value changes nothing";

    starting.clear();
    grid.SetCellLock(kText, 2, true);
    EXPECT_EQ(OpenEditor(kText, 2), nullptr);
    EXPECT_EQ(starting.count(), 0) << "no EditStarting for locked cells";

    // A handler may refuse the edit by locking the cell.
    auto refuse = QObject::connect(&grid, &SpreadGrid::EditStarting, &grid,
                                   [&](int c, int r) { grid.SetCellLock(c, r, true); });
    EXPECT_EQ(OpenEditor(kText, 3), nullptr);
    QObject::disconnect(refuse);
}

TEST_F(GridTest, NumberEditorRefusesWhatTheColumnCannotTake) {
    QSignalSpy changed(&grid, &SpreadGrid::Changed);
    grid.SetText(kNumber, 4, "50");
    auto* edit = qobject_cast<QLineEdit*>(OpenEditor(kNumber, 4));
    ASSERT_TRUE(edit);
    for (const char* bad : {"150", "-1", "abc"}) {
        edit->setText(bad);
        Commit(edit);
        EXPECT_EQ(View()->indexWidget(Index(kNumber, 4)), edit) << bad << ": the editor stays open";
        EXPECT_EQ(grid.Text(kNumber, 4), "50.00");
    }
    EXPECT_TRUE(changed.isEmpty());
    edit->setText("12.5");
    Commit(edit);
    EXPECT_EQ(grid.Text(kNumber, 4), "12.50");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.takeFirst(), (QVariantList{kNumber, 4}));
}

TEST_F(GridTest, CheckBoxesDrawAsBoxesAndToggleBySpaceAndClickUnlessLocked) {
    QSignalSpy changed(&grid, &SpreadGrid::Changed);
    grid.SetActiveCell(kCheck, 1);
    QTest::keyClick(View(), Qt::Key_Space);
    EXPECT_EQ(grid.Text(kCheck, 1), "1");
    QAbstractItemModel* model = View()->model();
    EXPECT_EQ(model->data(Index(kCheck, 1), Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(model->data(Index(kCheck, 1), Qt::DisplayRole).toString(), "") << "drawn as a box, not a digit";
    EXPECT_NE(model->data(Index(kCheck, 1), Qt::AccessibleTextRole).toString(),
              model->data(Index(kCheck, 2), Qt::AccessibleTextRole).toString());
    QTest::keyClick(View(), Qt::Key_Space);
    EXPECT_EQ(grid.Text(kCheck, 1), "0");
    EXPECT_EQ(changed.count(), 2);

    Click(kCheck, 3);
    EXPECT_EQ(grid.Text(kCheck, 3), "1");
    EXPECT_EQ(grid.ActiveRow(), 3);
    EXPECT_EQ(changed.count(), 3);

    grid.SetCellLock(kCheck, 3, true);
    Click(kCheck, 3);
    QTest::keyClick(View(), Qt::Key_Space);
    EXPECT_EQ(grid.Text(kCheck, 3), "1");
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(OpenEditor(kCheck, 4), nullptr) << "check boxes have no editor";
}

TEST_F(GridTest, LeaveCellCanKeepTheActiveCell) {
    QList<QList<int>> asked;
    bool refuse = true;
    QObject::connect(&grid, &SpreadGrid::LeaveCell, &grid, [&](int c, int r, int nc, int nr, bool* cancel) {
        asked.append({c, r, nc, nr});
        *cancel = refuse;
    });
    QSignalSpy clicked(&grid, &SpreadGrid::Clicked);
    grid.SetActiveCell(kText, 1);
    EXPECT_TRUE(asked.isEmpty()) << "moves by the program are not asked about";

    QTest::keyClick(View(), Qt::Key_Down);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], (QList<int>{kText, 1, kText, 2}));
    EXPECT_EQ(grid.ActiveRow(), 1);
    Click(kNumber, 3);
    EXPECT_EQ(grid.ActiveCol(), kText);
    EXPECT_EQ(grid.ActiveRow(), 1);
    EXPECT_TRUE(clicked.isEmpty()) << "a refused click is no click";
    EXPECT_FALSE(View()->selectionModel()->isSelected(Index(kNumber, 3))) << "nor does it select";

    refuse = false;
    QTest::keyClick(View(), Qt::Key_Down);
    EXPECT_EQ(grid.ActiveRow(), 2);
    Click(kNumber, 3);
    EXPECT_EQ(grid.ActiveCol(), kNumber);
    EXPECT_EQ(grid.ActiveRow(), 3);
    EXPECT_EQ(asked.size(), 4) << "each move is asked about once";
    EXPECT_EQ(clicked.takeFirst(), (QVariantList{kNumber, 3}));
}

TEST_F(GridTest, KeyDownSeesKeysBeforeTheViewButNotInsideAnEditor) {
    QList<int> keys;
    QObject::connect(&grid, &SpreadGrid::KeyDown, &grid, [&](int key, Qt::KeyboardModifiers, bool* handled) {
        keys.append(key);
        *handled = key == Qt::Key_Down;
    });
    grid.SetActiveCell(kText, 1);
    QTest::keyClick(View(), Qt::Key_F6);
    EXPECT_EQ(keys, (QList<int>{Qt::Key_F6}));
    QTest::keyClick(View(), Qt::Key_Down);
    EXPECT_EQ(grid.ActiveRow(), 1) << "a handled key is swallowed";
    QTest::keyClick(View(), Qt::Key_Right);
    EXPECT_EQ(grid.ActiveCol(), kNumber) << "unhandled keys work as usual";

    keys.clear();
    QWidget* editor = OpenEditor(kText, 2);
    ASSERT_TRUE(editor);
    QTest::keyClick(editor, Qt::Key_F6);
    EXPECT_TRUE(keys.isEmpty());
}

TEST_F(GridTest, SelectedRowBlocksMergeOverlappingAndAdjacentRanges) {
    QItemSelectionModel* sel = View()->selectionModel();
    auto select = [&](int col, int first, int last) {
        sel->select(QItemSelection(Index(col, first), Index(col, last)), QItemSelectionModel::Select);
    };
    EXPECT_TRUE(grid.SelectedRowBlocks().isEmpty());
    // The cell a click made active is no block of its own.
    grid.SetActiveCell(kText, 2);
    select(kText, 2, 2);
    EXPECT_TRUE(grid.SelectedRowBlocks().isEmpty());
    select(kText, 4, 6);
    select(kNumber, 1, 2);
    select(kCheck, 3, 3);
    select(kText, 8, 8);
    select(kText, 9, 10);
    select(kDate, 9, 9);
    EXPECT_EQ(grid.SelectedRowBlocks(), (QVector<RowBlock>{{1, 6}, {8, 10}}));
}

TEST_F(GridTest, RedrawOffSendsNothingPerCellAndOneRefreshAfterKeepingTheViewState) {
    QAbstractItemModel* model = View()->model();
    QSignalSpy data(model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    grid.SetText(kText, 1, "a");
    EXPECT_EQ(data.count(), 1) << "with redraw on a write shows at once";

    data.clear();
    grid.SetRedraw(false);
    for (int r = 1; r <= 10; ++r)
        for (int c = kText; c <= kNumber; ++c)
            grid.SetText(c, r, QString::number(r));
    EXPECT_EQ(data.count(), 0);
    grid.SetRedraw(true);
    EXPECT_EQ(data.count(), 1);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(model->data(Index(kNumber, 10)).toString(), "10.00");

    grid.SetColWidth(kText, 20);
    grid.SetColWidth(kNumber, 5);
    const int wide = View()->columnWidth(kText - 1);
    EXPECT_GT(wide, View()->columnWidth(kNumber - 1) * 2);
    grid.SetColHidden(kDate, true);
    grid.SetActiveCell(kNumber, 4);
    grid.SetRedraw(false);
    grid.SetMaxRows(20000);
    for (int r = 1; r <= 20000; ++r)
        grid.SetText(kText, r, QStringLiteral("行%1").arg(r));
    EXPECT_EQ(model->rowCount(), 10) << "the view keeps the old shape until redraw is on";
    grid.SetRedraw(true);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model->rowCount(), 20000);
    EXPECT_EQ(model->data(Index(kText, 20000)).toString(), "行20000");
    EXPECT_EQ(grid.ActiveCol(), kNumber);
    EXPECT_EQ(grid.ActiveRow(), 4) << "the active cell outlives the reset";
    EXPECT_TRUE(View()->isColumnHidden(kDate - 1)) << "and so do hidden columns and widths";
    EXPECT_EQ(View()->columnWidth(kText - 1), wide);
    grid.SetColHidden(kDate, false);
    EXPECT_GT(View()->columnWidth(kDate - 1), 0);

    grid.SetRedraw(false);
    grid.SetMaxRows(30000);
    grid.SetActiveCell(kText, 25000); // a row the view does not know yet
    EXPECT_EQ(grid.ActiveRow(), 25000);
    grid.SetRedraw(true);
    EXPECT_EQ(View()->currentIndex(), Index(kText, 25000));
}

} // namespace

TEST_F(GridTest, FindMovesOnInReadingOrderWrapsHonoursCaseAndSkipsHiddenColumns) {
    grid.SetText(1, 2, "Bolt M8");
    grid.SetText(1, 5, "bolt m10");
    grid.SetText(kNumber, 3, "12.5");
    using Cell = std::optional<std::pair<int, int>>;
    EXPECT_EQ(grid.Find("bolt", 1, 1, true, false), Cell({1, 2}));
    EXPECT_EQ(grid.Find("bolt", 1, 2, true, false), Cell({1, 5}));
    EXPECT_EQ(grid.Find("bolt", 1, 5, true, false), Cell({1, 2})) << "past the end it starts again";
    EXPECT_EQ(grid.Find("bolt", 1, 5, false, false), Cell({1, 2}));
    EXPECT_EQ(grid.Find("bolt", 1, 2, false, false), Cell({1, 5})) << "before the start it goes to the end";
    EXPECT_EQ(grid.Find("bolt", 1, 1, true, true), Cell({1, 5})) << "matching case";
    EXPECT_EQ(grid.Find("Bolt M8", 1, 2, true, true), Cell({1, 2})) << "a lone match is found again";
    EXPECT_EQ(grid.Find("12.50", 1, 1, true, false), Cell({kNumber, 3})) << "as the cell shows it";
    grid.SetColHidden(1, true);
    EXPECT_FALSE(grid.Find("bolt", 1, 1, true, false));
    EXPECT_FALSE(grid.Find("", 1, 1, true, false));
}

// Columns searched as one run of characters must give what a cell-by-cell walk in reading
// order gives, also after rewrites that leave old texts behind or cells out of row order.
TEST(GridFind, AgreesWithACellByCellWalkAfterAnyEdits) {
    SpreadGrid g;
    g.SetMaxCols(3);
    g.SetMaxRows(60);
    std::mt19937 rng(7);
    const QStringList words = {"ab", "AB", "xaby", "a", "b", "供应商甲", "甲", "", "ba"};
    auto word = [&]() -> QString { return words[int(rng() % words.size())] + (rng() % 4 == 0 ? "ab" : ""); };
    auto check = [&] {
        for (const QString needle : {"ab", "Ab", "甲", "b", "供应商甲ab", "zz"})
            for (bool forward : {true, false})
                for (bool matchCase : {true, false})
                    for (int r = 1; r <= 60; r += 7)
                        for (int c = 1; c <= 3; ++c) {
                            std::optional<std::pair<int, int>> expected;
                            for (int step = 1; step <= 180 && !expected; ++step) {
                                const int at =
                                    (((r - 1) * 3 + c - 1 + (forward ? step : -step)) % 180 + 180) % 180;
                                const int rr = at / 3 + 1, cc = at % 3 + 1;
                                if (!g.ColHidden(cc) &&
                                    g.Text(cc, rr).contains(needle, matchCase ? Qt::CaseSensitive
                                                                              : Qt::CaseInsensitive))
                                    expected = std::pair{cc, rr};
                            }
                            ASSERT_EQ(g.Find(needle, c, r, forward, matchCase), expected)
                                << needle.toStdString() << " from " << c << "," << r
                                << (forward ? " on" : " back");
                        }
    };
    // Filled in row order, then cut shorter in place: texts in row order with garbage between.
    for (int c = 1; c <= 3; ++c)
        for (int r = 1; r <= 60; ++r)
            g.SetText(c, r, word());
    for (int n = 0; n < 60; ++n) {
        const int c = 1 + int(rng() % 3), r = 1 + int(rng() % 60);
        g.SetText(c, r, g.Text(c, r).left(int(rng() % 3)));
    }
    check();
    // Rewritten in any order: texts out of row order.
    for (int n = 0; n < 300; ++n)
        g.SetText(1 + int(rng() % 3), 1 + int(rng() % 60), word());
    g.SetColHidden(2, true);
    check();
}

// Columns 1-3 frozen (1 hidden, 2 a tick box, 3 text), ten text columns after them, in a grid
// too narrow for all: the frozen view must act exactly as the main one.
class FrozenGrid : public ::testing::Test {
protected:
    void SetUp() override {
        grid.SetMaxCols(12);
        grid.SetMaxRows(100000);
        for (int c = 1; c <= 12; ++c)
            grid.SetColWidth(c, 12);
        grid.SetColHidden(1, true);
        grid.SetColCellType(2, CellType::CheckBox);
        grid.SetFrozenCols(3);
        grid.MarkRowsUnchanged();
        grid.resize(500, 300);
        grid.show();
        grid.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
        frozen = grid.FrozenView();
        ASSERT_TRUE(frozen && frozen->isVisible());
        QObject::connect(&grid, &SpreadGrid::LeaveCell, &grid,
                         [&](int c, int r, int nc, int nr, bool* cancel) {
                             moves.append({c, r, nc, nr});
                             leftText = grid.Text(c, r);
                             *cancel = refuse;
                         });
    }
    QModelIndex Index(int col, int row) { return grid.View()->model()->index(row - 1, col - 1); }
    void ClickIn(QTableView* view, int col, int row) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(Index(col, row)).center());
    }
    // Where a main-view column starts, as the user sees it (the frozen part covers the left).
    int Left(int col) { return grid.View()->columnViewportPosition(col - 1); }
    bool Active(int col, int row) { return grid.ActiveCol() == col && grid.ActiveRow() == row; }

    SpreadGrid grid;
    QTableView* frozen = nullptr;
    QList<QList<int>> moves;
    QString leftText;
    bool refuse = false;
};

TEST_F(FrozenGrid, ClicksKeysEditsAndTicksInTheFrozenPartGoThroughTheOneLeaveCellPath) {
    QSignalSpy clicked(&grid, &SpreadGrid::Clicked);
    QSignalSpy changed(&grid, &SpreadGrid::Changed);
    QList<int> keys;
    QObject::connect(&grid, &SpreadGrid::KeyDown, &grid,
                     [&](int key, Qt::KeyboardModifiers, bool*) { keys.append(key); });
    grid.SetActiveCell(12, 1);
    ASSERT_GT(grid.View()->horizontalScrollBar()->value(), 0);
    EXPECT_GE(Left(12), frozen->width()) << "a far cell is not left under the frozen part";

    ClickIn(frozen, 3, 2);
    EXPECT_TRUE(Active(3, 2));
    EXPECT_EQ(moves, (QList<QList<int>>{{12, 1, 3, 2}}));
    EXPECT_EQ(clicked.takeFirst(), (QVariantList{3, 2}));

    QTest::keyClick(frozen, Qt::Key_F6);
    EXPECT_EQ(keys, (QList<int>{Qt::Key_F6})) << "one KeyDown, however the key travels";
    QTest::keyClick(frozen, Qt::Key_Right);
    EXPECT_TRUE(Active(4, 2)) << "across the boundary";
    EXPECT_GE(Left(4), frozen->width());
    EXPECT_TRUE(grid.View()->hasFocus()) << "keys follow the cell to the view that shows it";
    QTest::keyClick(grid.View(), Qt::Key_Left);
    EXPECT_TRUE(frozen->hasFocus());
    QTest::keyClick(frozen, Qt::Key_Left);
    EXPECT_TRUE(Active(2, 2)) << "the hidden column 1 is skipped";
    EXPECT_EQ(moves.size(), 4) << "each move asks once";
    EXPECT_EQ(moves.back(), (QList<int>{3, 2, 2, 2}));

    // A key typed while the main view has the focus edits the frozen cell where it is seen.
    bool typed = false;
    QObject::connect(&grid, &SpreadGrid::EditStarting, &grid, [&] { typed = grid.OpenedByTyping(); });
    grid.SetActiveCell(3, 5);
    QTest::keyClick(grid.View(), Qt::Key_Q);
    QWidget* editor = frozen->indexWidget(Index(3, 5));
    ASSERT_TRUE(editor);
    EXPECT_TRUE(typed);
    EXPECT_EQ(grid.View()->indexWidget(Index(3, 5)), nullptr);
    moves.clear();
    ClickIn(grid.View(), 5, 6);
    EXPECT_EQ(leftText, "q") << "leaving by a click commits first";
    EXPECT_TRUE(Active(5, 6));

    grid.SetActiveCell(3, 7);
    grid.View()->edit(Index(3, 7));
    editor = frozen->indexWidget(Index(3, 7));
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, "w");
    QTest::keyClick(editor, Qt::Key_Tab);
    QCoreApplication::processEvents();
    EXPECT_EQ(leftText, "w") << "and so does Tab";
    EXPECT_TRUE(Active(4, 7));
    EXPECT_EQ(moves.size(), 2);

    changed.clear();
    ClickIn(frozen, 2, 8);
    EXPECT_EQ(grid.Text(2, 8), "1");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(grid.RowChanged(8));
    refuse = true;
    ClickIn(frozen, 2, 9);
    EXPECT_TRUE(Active(2, 8)) << "a refused click neither moves nor ticks";
    EXPECT_EQ(grid.Text(2, 9), "0");
}

TEST_F(FrozenGrid, FrozenPartFollowsRowsWidthsHiddenColumnsAndGivesWayWhenTooWide) {
    grid.ScrollToRow(100000);
    QTableView* main = grid.View();
    EXPECT_EQ(frozen->rowAt(0), main->rowAt(0)) << "rows line up at the very end";
    EXPECT_EQ(frozen->rowViewportPosition(99999), main->rowViewportPosition(99999));
    grid.SetRowHeight(24);
    EXPECT_EQ(frozen->verticalHeader()->defaultSectionSize(), 24);
    EXPECT_EQ(frozen->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);

    const int width = frozen->width(), third = main->columnWidth(2);
    grid.SetColHidden(3, true);
    EXPECT_TRUE(frozen->isColumnHidden(2));
    EXPECT_EQ(frozen->width(), width - third);
    grid.SetColHidden(3, false);
    EXPECT_EQ(frozen->width(), width);
    EXPECT_TRUE(frozen->isColumnHidden(0));
    EXPECT_TRUE(frozen->isColumnHidden(3)) << "only the frozen columns show there";

    frozen->horizontalHeader()->resizeSection(2, 150);
    EXPECT_EQ(main->columnWidth(2), 150) << "a width dragged there holds for the grid";
    EXPECT_GT(grid.ColWidth(3), 12);
    EXPECT_EQ(frozen->width(), main->columnWidth(1) + 150);

    grid.SetColWidth(3, 80);
    EXPECT_FALSE(frozen->isVisible()) << "too wide to freeze: everything scrolls";
    grid.SetColWidth(3, 12);
    EXPECT_TRUE(frozen->isVisible());
    grid.SetFrozenCols(0);
    EXPECT_FALSE(frozen->isVisible());
}
