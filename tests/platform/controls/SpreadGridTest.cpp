#include "platform/controls/SpreadGrid.h"
#include "platform/Golden.h"
#include "platform/records/Error.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QKeySequence>
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

// A user's session on a grid: each step is logged with the signals it caused, then where the
// active cell is, what it holds, which editor is open on it and (when asked) which view has the
// focus. LeaveCell is refused while `refuse`, KeyDown handles `swallow`, EditStarting locks the
// cell while `lockOnEdit`.
struct Session {
    explicit Session(SpreadGrid& g, bool focus = false) : grid(g), showFocus(focus) {
        QObject::connect(&g, &SpreadGrid::LeaveCell, &g, [this](int c, int r, int nc, int nr, bool* cancel) {
            log << QStringLiteral("  leave %1,%2 \"%3\" for %4,%5%6")
                       .arg(c)
                       .arg(r)
                       .arg(grid.Text(c, r))
                       .arg(nc)
                       .arg(nr)
                       .arg(refuse ? " refused" : "");
            *cancel = refuse;
        });
        QObject::connect(&g, &SpreadGrid::Clicked, &g,
                         [this](int c, int r) { log << QStringLiteral("  clicked %1,%2").arg(c).arg(r); });
        QObject::connect(&g, &SpreadGrid::Changed, &g, [this](int c, int r) {
            log << QStringLiteral("  changed %1,%2 to \"%3\"").arg(c).arg(r).arg(grid.Text(c, r));
        });
        QObject::connect(&g, &SpreadGrid::KeyDown, &g, [this](int key, Qt::KeyboardModifiers, bool* handled) {
            log << "  key " + QKeySequence(key).toString();
            *handled = key == swallow;
        });
        QObject::connect(&g, &SpreadGrid::EditStarting, &g, [this](int c, int r) {
            log << QStringLiteral("  edit starting %1,%2%3")
                       .arg(c)
                       .arg(r)
                       .arg(grid.OpenedByTyping() ? " by typing" : "");
            if (lockOnEdit)
                grid.SetCellLock(c, r, true);
        });
    }
    void operator()(const QString& step, const std::function<void()>& act) {
        log << step;
        act();
        QCoreApplication::processEvents();
        const int c = grid.ActiveCol(), r = grid.ActiveRow();
        QString state = QStringLiteral("  = %1,%2 \"%3\"").arg(c).arg(r).arg(grid.Text(c, r));
        for (QTableView* view : {grid.View(), grid.FrozenView()})
            if (QWidget* w = view ? view->indexWidget(view->model()->index(r - 1, c - 1)) : nullptr)
                state +=
                    QStringLiteral(" editor %1%2")
                        .arg(w->metaObject()->className(), view == grid.View() ? "" : " in the frozen part");
        if (showFocus)
            state += grid.View()->hasFocus()         ? " focus main"
                     : grid.FrozenView()->hasFocus() ? " focus frozen"
                                                     : "";
        log << state;
    }
    SpreadGrid& grid;
    bool showFocus;
    QStringList log;
    bool refuse = false, lockOnEdit = false;
    int swallow = 0;
};

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

TEST_F(GridTest, SetTextNormalisesEachCellTypeOrFailsNamingTheCell) {
    EXPECT_EQ(grid.Text(kCheck, 1), "0") << "an untouched check box reads 0";
    const struct {
        int col;
        const char* text;
        const char* stored; // nullptr: refused, the cell keeping what it had
    } cases[] = {{kNumber, " 7 ", "7.00"},
                 {kNumber, "-1.236", "-1.24"}, // the range bounds editing only
                 {kNumber, "12abc", nullptr},
                 {kNumber, "1e999", nullptr},
                 {kDate, "2026/1/2", "2026-01-02"},
                 {kDate, "20261206", "2026-12-06"},
                 {kDate, "", ""},
                 {kDate, "2026-02-30", nullptr},
                 {kCheck, "True", "1"},
                 {kCheck, "2.5", "1"},
                 {kCheck, "", "0"},
                 {kCheck, "yes", nullptr},
                 {kText, "  钢板 12 ", "  钢板 12 "}};
    for (const auto& c : cases) {
        grid.SetText(c.col, 3, c.col == kDate ? "2026-01-01" : "1");
        const QString before = grid.Text(c.col, 3), failure = FailureOf(c.col, 3, c.text);
        EXPECT_EQ(grid.Text(c.col, 3), c.stored ? QString(c.stored) : before) << c.col << " " << c.text;
        EXPECT_EQ(failure.isEmpty(), c.stored != nullptr) << c.col << " " << c.text;
    }
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
    QVariantList values = {-0.0,  2.5, 0.125, 123456789012LL, 1e301, 1e-310, 1e-299,
                           1e299, inf, nan,   " 12.5 ",       "abc", true};
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

    // While redraw is off the view keeps its old shape: what the grid no longer has reads empty.
    grid.SetRedraw(false);
    grid.SetMaxRows(5);
    grid.SetMaxCols(2);
    QAbstractItemModel* model = View()->model();
    ASSERT_EQ(model->rowCount() * 10 + model->columnCount(), 106);
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(model->data(model->index(r, c)).isValid(), r < 5 && c < 2) << r << "," << c;
    EXPECT_FALSE(model->headerData(2, Qt::Horizontal).isValid());
    grid.SetRedraw(true);
    EXPECT_EQ(model->rowCount() * 10 + model->columnCount(), 52);
}

// Editors by cell type, none on locked cells or check boxes; a number editor that stays open
// on what its column cannot take; ticks by Space and click; LeaveCell refusing key and mouse
// moves; KeyDown swallowing a key, but not seeing keys inside an editor.
TEST_F(GridTest, UserSessionMatchesItsGoldenLog) {
    Session s(grid);
    auto editor = [&] { return View()->indexWidget(Index(grid.ActiveCol(), grid.ActiveRow())); };
    s("open the date 3,1", [&] { OpenEditor(kDate, 1); });
    s("pick 2026-05-17, Enter", [&] {
        editor()->setProperty("date", QDate(2026, 5, 17));
        Commit(editor());
    });
    s("open it again, Enter", [&] { Commit(OpenEditor(kDate, 1)); });
    s("lock 1,2 and open it", [&] {
        grid.SetCellLock(kText, 2, true);
        OpenEditor(kText, 2);
    });
    s.lockOnEdit = true;
    s("open 1,3 while EditStarting locks it", [&] { OpenEditor(kText, 3); });
    s.lockOnEdit = false;
    s("open the number 2,4 holding 50", [&] {
        grid.SetText(kNumber, 4, "50");
        OpenEditor(kNumber, 4);
    });
    for (const char* text : {"150", "-1", "abc", "12.5"})
        s(QStringLiteral("type %1, Enter").arg(text), [&] {
            editor()->setProperty("text", text);
            Commit(editor());
        });
    s("go to 4,1, Space", [&] {
        grid.SetActiveCell(kCheck, 1);
        QTest::keyClick(View(), Qt::Key_Space);
    });
    QAbstractItemModel* model = View()->model();
    EXPECT_EQ(model->data(Index(kCheck, 1), Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(model->data(Index(kCheck, 1), Qt::DisplayRole).toString(), "") << "drawn as a box, not a digit";
    EXPECT_NE(model->data(Index(kCheck, 1), Qt::AccessibleTextRole).toString(),
              model->data(Index(kCheck, 2), Qt::AccessibleTextRole).toString());
    s("Space", [&] { QTest::keyClick(View(), Qt::Key_Space); });
    s("click 4,3", [&] { Click(kCheck, 3); });
    s("lock 4,3, click it, Space", [&] {
        grid.SetCellLock(kCheck, 3, true);
        Click(kCheck, 3);
        QTest::keyClick(View(), Qt::Key_Space);
    });
    s("open 4,4", [&] { OpenEditor(kCheck, 4); });
    s.refuse = true;
    s("refusing moves: go to 1,1", [&] { grid.SetActiveCell(kText, 1); });
    s("Down", [&] { QTest::keyClick(View(), Qt::Key_Down); });
    s("click 2,3", [&] { Click(kNumber, 3); });
    EXPECT_FALSE(View()->selectionModel()->isSelected(Index(kNumber, 3)))
        << "a refused click selects nothing";
    s.refuse = false;
    s("allowing moves: Down", [&] { QTest::keyClick(View(), Qt::Key_Down); });
    s("click 2,3", [&] { Click(kNumber, 3); });
    s.swallow = Qt::Key_Down;
    for (const Qt::Key key : {Qt::Key_F6, Qt::Key_Down, Qt::Key_Right})
        s("swallowing Down: " + QKeySequence(key).toString(), [&] { QTest::keyClick(View(), key); });
    s("open 1,5, F6 in the editor", [&] { QTest::keyClick(OpenEditor(kText, 5), Qt::Key_F6); });
    test::ExpectGolden("grid-session.txt", s.log.join(u'\n').toUtf8() + '\n');
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
    }
    QModelIndex Index(int col, int row) { return grid.View()->model()->index(row - 1, col - 1); }
    void ClickIn(QTableView* view, int col, int row) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(Index(col, row)).center());
    }
    // Where a main-view column starts, as the user sees it (the frozen part covers the left).
    int Left(int col) { return grid.View()->columnViewportPosition(col - 1); }

    SpreadGrid grid;
    QTableView* frozen = nullptr;
};

// Clicks, keys, edits and ticks in the frozen part go through the one LeaveCell path as in
// the main view; keys follow the cell to the view that shows it.
TEST_F(FrozenGrid, SessionMatchesItsGoldenLog) {
    Session s(grid, true);
    s("go to 12,1", [&] { grid.SetActiveCell(12, 1); });
    ASSERT_GT(grid.View()->horizontalScrollBar()->value(), 0);
    EXPECT_GE(Left(12), frozen->width()) << "a far cell is not left under the frozen part";
    s("click 3,2 in the frozen part", [&] { ClickIn(frozen, 3, 2); });
    s("F6 there", [&] { QTest::keyClick(frozen, Qt::Key_F6); });
    s("Right there, across the boundary", [&] { QTest::keyClick(frozen, Qt::Key_Right); });
    EXPECT_GE(Left(4), frozen->width());
    s("Left in the main view", [&] { QTest::keyClick(grid.View(), Qt::Key_Left); });
    s("Left in the frozen part, over hidden 1", [&] { QTest::keyClick(frozen, Qt::Key_Left); });
    s("go to 3,5, type q in the main view", [&] {
        grid.SetActiveCell(3, 5);
        QTest::keyClick(grid.View(), Qt::Key_Q);
    });
    s("click 5,6 in the main view", [&] { ClickIn(grid.View(), 5, 6); });
    s("go to 3,7, edit, type w, Tab", [&] {
        grid.SetActiveCell(3, 7);
        grid.View()->edit(Index(3, 7));
        QTest::keyClicks(frozen->indexWidget(Index(3, 7)), "w");
        QTest::keyClick(frozen->indexWidget(Index(3, 7)), Qt::Key_Tab);
    });
    s("tick 2,8 in the frozen part", [&] { ClickIn(frozen, 2, 8); });
    EXPECT_FALSE(grid.RowChanged(8)) << "a tick is no edit";
    s.refuse = true;
    s("refusing moves: tick 2,9", [&] { ClickIn(frozen, 2, 9); });
    EXPECT_EQ(grid.Text(2, 9), "0");
    test::ExpectGolden("frozen-session.txt", s.log.join(u'\n').toUtf8() + '\n');
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
