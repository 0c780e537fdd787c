#include "platform/controls/SpreadGrid.h"
#include "platform/Golden.h"
#include "platform/records/Error.h"

#include <QAbstractItemModelTester>
#include <QKeySequence>
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
using zpp::test::Fmt;

namespace {

// A user's session on a grid: each step is logged with the signals it caused, then where the
// active cell is, what it holds and which editor is open on it. LeaveCell is refused while
// `refuse`, KeyDown handles `swallow`, EditStarting locks the cell while `lockOnEdit`.
struct Session {
    explicit Session(SpreadGrid& g) : grid(g) {
        QObject::connect(&g, &SpreadGrid::LeaveCell, &g, [this](int c, int r, int nc, int nr, bool* cancel) {
            log << Fmt("  leave %1,%2 \"%3\" for %4,%5%6", c, r, grid.Text(c, r), nc, nr,
                       refuse ? " refused" : "");
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
            log << Fmt("  edit starting %1,%2%3", c, r, grid.OpenedByTyping() ? " by typing" : "");
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
        if (QWidget* w = grid.View()->indexWidget(grid.View()->model()->index(r - 1, c - 1)))
            state += QStringLiteral(" editor ") + w->metaObject()->className();
        log << state;
    }
    SpreadGrid& grid;
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

// Each text is written over a valid one: what the cell then holds, or that it was refused.
TEST_F(GridTest, SetTextNormalisesEachCellTypeOrFailsNamingTheCell) {
    const std::pair<int, QStringList> inputs[] = {{kNumber, {" 7 ", "-1.236", "12abc", "1e999"}},
                                                  {kDate, {"2026/1/2", "20261206", "", "2026-02-30"}},
                                                  {kCheck, {"True", "2.5", "", "yes"}},
                                                  {kText, {"  钢板 12 "}}};
    QStringList stored;
    for (const auto& [col, texts] : inputs)
        for (const QString& text : texts) {
            grid.SetText(col, 3, col == kDate ? "2026-01-01" : "1");
            const bool refused = !FailureOf(col, 3, text).isEmpty();
            stored << (refused ? "refused, kept " : "") + grid.Text(col, 3);
        }
    // The range bounds editing only.
    EXPECT_EQ(stored.join(" | "),
              "7.00 | -1.24 | refused, kept 1.00 | refused, kept 1.00 | 2026-01-02 | 2026-12-06 |  | "
              "refused, kept 2026-01-01 | 1 | 1 | 0 | refused, kept 1 |   钢板 12 ");
    EXPECT_EQ(grid.Text(kCheck, 1), "0") << "an untouched check box reads 0";
    const QString message = FailureOf(kDate, 3, "明天");
    EXPECT_TRUE(message.contains("3") && message.contains(QString::number(kDate)) && message.contains("明天"))
        << message.toStdString();
    EXPECT_FALSE(FailureOf(5, 1, "x").isEmpty() || FailureOf(1, 11, "x").isEmpty()) << "outside the grid";
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
    auto locks = [&] {
        const std::pair<int, int> cells[] = {{kText, 1}, {kNumber, 1}, {kNumber, 2}, {kText, 3}, {kDate, 5}};
        QString out;
        for (const auto& [c, r] : cells)
            out += grid.CellLocked(c, r) ? 'L' : '-';
        return out;
    };
    grid.SetLockAll(true);
    grid.SetColLock(kNumber, false);
    grid.SetCellLock(kNumber, 2, true);
    grid.SetCellLock(kText, 3, false);
    EXPECT_EQ(locks(), "L-L-L") << "an unlocked column beats lock-all, an unlocked cell its locked column";
    grid.SetLockAll(false);
    grid.SetColLock(kDate, true);
    EXPECT_EQ(locks(), "--L-L");
    EXPECT_FALSE(View()->model()->flags(Index(kDate, 5)) & Qt::ItemIsEditable);
    EXPECT_TRUE(View()->model()->flags(Index(kText, 5)) & Qt::ItemIsEditable);
}

TEST_F(GridTest, CellDecimalsOverrideTheColumnAndReRound) {
    auto texts = [&]() -> QString {
        return grid.Text(kNumber, 1) + " " + grid.Text(kNumber, 2) + " " + grid.Text(kNumber, 3);
    };
    grid.SetCellDecimals(kNumber, 2, 0);
    for (int row : {1, 2})
        grid.SetText(kNumber, row, "3.7");
    grid.SetText(kNumber, 3, "1.5");
    EXPECT_EQ(texts(), "3.70 4 1.50");
    grid.MarkRowsUnchanged();
    grid.SetCellDecimals(kNumber, 1, 3);
    grid.SetColDecimals(kNumber, 1);
    EXPECT_EQ(texts(), "3.700 4 1.5") << "cells with their own decimals keep them";
    EXPECT_EQ(grid.ChangedRowCount(), 0) << "other decimals are not another value";
}

// A note describes the value the cell held when noted: a user's edit makes it stale, and rows
// dropped from the grid take their notes with them.
TEST_F(GridTest, CellNotesShowAsTipAndCornerMarkWhileTheCellKeepsItsText) {
    grid.SetText(kNumber, 2, "4");
    grid.SetCellNote(kNumber, 2, "several");
    EXPECT_EQ(Index(kNumber, 2).data(Qt::ToolTipRole).toString(), "several");
    EXPECT_EQ(Index(kText, 2).data(Qt::ToolTipRole), QVariant());
    const QRect cell = View()->visualRect(Index(kNumber, 2));
    const QColor corner = View()->viewport()->grab().toImage().pixelColor(cell.topRight() + QPoint(-1, 1));
    EXPECT_GT(corner.red(), 2 * corner.blue()) << "the mark is drawn in the corner";

    QWidget* editor = OpenEditor(kNumber, 2);
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, "5");
    Commit(editor);
    EXPECT_EQ(grid.Text(kNumber, 2), "5.00");
    EXPECT_EQ(grid.CellNote(kNumber, 2), "");
    grid.SetText(kNumber, 2, "4");
    EXPECT_EQ(grid.CellNote(kNumber, 2), "several") << "the noted value again";

    grid.SetMaxRows(1);
    grid.SetMaxRows(10);
    grid.SetText(kNumber, 2, "4");
    EXPECT_EQ(grid.CellNote(kNumber, 2), "");
}

TEST_F(GridTest, RowsChangeByTheirTextsNotByTicksAndCarryAHeaderMarkUntilMarkedUnchanged) {
    QAbstractItemModel* model = View()->model();
    auto state = [&] {
        QStringList changed, headers;
        for (int r = 1; r <= grid.MaxRows(); ++r) {
            if (grid.RowChanged(r))
                changed << QString::number(r);
            headers << model->headerData(r - 1, Qt::Vertical).toString();
        }
        return Fmt("%1 changed: %2; headers %3", grid.ChangedRowCount(), changed.join(u','),
                   headers.join(u' '));
    };
    grid.SetText(kText, 1, "a");
    grid.MarkRowsUnchanged();
    QSignalSpy headers(model, &QAbstractItemModel::headerDataChanged);
    grid.SetText(kCheck, 2, "1"); // a tick is no edit
    grid.SetText(kText, 1, "a");
    grid.SetText(kDate, 3, "2024-05-01");
    grid.SetText(kDate, 3, "2024-05-02");
    grid.SetMaxRows(11);
    EXPECT_EQ(state(), "2 changed: 3,11; headers 1 2 3* 4 5 6 7 8 9 10 11*");
    EXPECT_EQ(headers.value(0), (QVariantList{QVariant::fromValue(Qt::Vertical), 2, 2}))
        << "the header repaints a newly marked row";

    grid.SetMaxRows(10); // a dropped row takes its mark with it
    grid.SetRedraw(false);
    grid.SetText(kText, 5, "b");
    grid.SetRedraw(true);
    EXPECT_EQ(state(), "2 changed: 3,5; headers 1 2 3* 4 5* 6 7 8 9 10");
    headers.clear();
    grid.MarkRowsUnchanged();
    EXPECT_EQ(state(), "0 changed: ; headers 1 2 3 4 5 6 7 8 9 10");
    EXPECT_EQ(headers.count(), 1);
}

TEST_F(GridTest, RowAndColumnCountsChangeWithoutLosingData) {
    grid.SetText(kText, 10, "last");
    grid.SetCellLock(kText, 10, true);
    grid.SetMaxRows(1000);
    grid.SetMaxCols(6);
    EXPECT_EQ(View()->model()->rowCount() * 10 + View()->model()->columnCount(), 10006);
    EXPECT_EQ(grid.Text(kText, 10) + "|" + grid.Text(kCheck, 11), "last|0");
    EXPECT_TRUE(grid.CellLocked(kText, 10) && !grid.CellLocked(kText, 11));

    grid.SetText(6, 2, "new");
    grid.SetMaxRows(9);
    grid.SetMaxRows(10);
    grid.SetMaxCols(3);
    grid.SetMaxCols(6);
    EXPECT_EQ(grid.Text(kText, 10) + grid.Text(6, 2), "") << "a dropped row or column comes back empty";

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

    // A new shape resets the view once, keeping the active cell (even on a row the view did not
    // know) and hidden columns.
    grid.SetColHidden(kDate, true);
    grid.SetRedraw(false);
    grid.SetMaxRows(20000);
    grid.SetActiveCell(kText, 15000);
    EXPECT_EQ(model->rowCount(), 10) << "the view keeps the old shape until redraw is on";
    grid.SetRedraw(true);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model->rowCount(), 20000);
    EXPECT_EQ(View()->currentIndex(), Index(kText, 15000));
    EXPECT_TRUE(View()->isColumnHidden(kDate - 1));
}

} // namespace

// Past the end the search starts again and before the start it goes to the end; a lone match is
// found again; cells are searched as they show; hidden columns are not.
TEST_F(GridTest, FindMovesOnInReadingOrderWrapsHonoursCaseAndSkipsHiddenColumns) {
    grid.SetText(1, 2, "Bolt M8");
    grid.SetText(1, 5, "bolt m10");
    grid.SetText(kNumber, 3, "12.5");
    auto find = [&](const char* text, int row, bool forward, bool matchCase) {
        const auto at = grid.Find(text, 1, row, forward, matchCase);
        return at ? Fmt("%1,%2", at->first, at->second) : QString("none");
    };
    EXPECT_EQ(QStringList({find("bolt", 1, true, false), find("bolt", 2, true, false),
                           find("bolt", 5, true, false), find("bolt", 5, false, false),
                           find("bolt", 2, false, false), find("bolt", 1, true, true),
                           find("Bolt M8", 2, true, true), find("12.50", 1, true, false)}),
              QStringList({"1,2", "1,5", "1,2", "1,2", "1,5", "1,5", "1,2", "2,3"}));
    grid.SetColHidden(1, true);
    EXPECT_EQ(find("bolt", 1, true, false) + find("", 1, true, false), "nonenone");
}
