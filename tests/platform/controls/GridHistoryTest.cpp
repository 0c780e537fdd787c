// The grid's edit history: what forms a step, what undo and redo put back, and what ends it.
#include "platform/controls/GridHistory.h"
#include "platform/controls/SpreadGrid.h"

#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using namespace zpp::controls;

namespace {

enum Col { kCode = 1, kName, kQty, kCheck };

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid.SetMaxCols(4);
        grid.SetMaxRows(200);
        grid.SetColCellType(kQty, CellType::Number);
        grid.SetColCellType(kCheck, CellType::CheckBox);
        for (int r = 1; r <= 4; ++r) {
            grid.SetText(kCode, r, QStringLiteral("c%1").arg(r));
            grid.SetText(kName, r, QStringLiteral("n%1").arg(r));
        }
        grid.MarkRowsUnchanged(); // as after a load: nothing to undo yet
        grid.resize(600, 400);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }
    // Typed into a cell and ended with Enter, as a user does.
    void Type(int col, int row, const QString& text) {
        grid.SetActiveCell(col, row);
        QTest::keyClicks(grid.View(), text);
        QTest::keyClick(grid.View()->indexWidget(grid.View()->currentIndex()), Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    QString Row(int r) const {
        return grid.Text(kCode, r) + "|" + grid.Text(kName, r) + "|" + grid.Text(kQty, r) +
               (grid.RowChanged(r) ? " *" : "");
    }

    SpreadGrid grid;
    GridHistory history{grid};
};

} // namespace

// A typed edit and what its check writes as the cell is left are one step; typing the same cell
// again before leaving it joins that step, an edit of another cell starts the next. Undo and
// redo put back texts and the rows' marks of unsaved edits.
TEST_F(HistoryTest, AnEditAndItsCheckAreOneStepUndoneAndRedoneWithTheRowsMarks) {
    grid.BeginFill(); // a fill's writes are no step
    grid.SetText(kQty, 2, "4");
    grid.EndFill();

    Type(kCode, 1, "x");
    Type(kCode, 1, "y");               // typed again before it was left
    grid.SetText(kName, 1, "named y"); // the check's own write
    history.Seal();
    Type(kQty, 2, "7");
    grid.SetText(kName, 3, "no edit of its own joins the open step");
    Type(kQty, 3, "9"); // another cell: the step before it closes
    history.Seal();
    EXPECT_EQ(history.UndoCount(), 3);
    EXPECT_EQ(Row(1) + " " + Row(2) + " " + Row(3),
              "y|named y| * c2|n2|7.00 * c3|no edit of its own joins the open step|9.00 *");

    EXPECT_EQ(history.Undo(), GridHistory::Outcome::Done);
    EXPECT_EQ(Row(3), "c3|no edit of its own joins the open step| *");
    EXPECT_EQ(history.Undo(), GridHistory::Outcome::Done);
    EXPECT_EQ(Row(2) + " " + Row(3), "c2|n2|4.00 c3|n3|");
    EXPECT_EQ(history.Undo(), GridHistory::Outcome::Done);
    EXPECT_EQ(Row(1), "c1|n1|");
    EXPECT_EQ(grid.ChangedRowCount(), 0);
    EXPECT_EQ(history.Undo(), GridHistory::Outcome::Nothing);

    EXPECT_EQ(history.Redo(), GridHistory::Outcome::Done);
    EXPECT_EQ(Row(1), "y|named y| *");
    EXPECT_EQ(history.RedoCount(), 2);
    // A new edit ends what could be redone.
    Type(kQty, 4, "1");
    history.Seal();
    EXPECT_EQ(history.RedoCount(), 0);
    EXPECT_EQ(history.Redo(), GridHistory::Outcome::Nothing);
}

// A caller's step (a fill down) is undone whole, nested steps inside it included; writes that
// leave every cell as it was (a refused value put back) make no step and keep what could be
// redone; a tick is no edit.
TEST_F(HistoryTest, ACallersStepIsOneUndoAndAStepThatChangesNothingIsNone) {
    Type(kQty, 1, "1");
    history.BeginStep();
    for (int r = 2; r <= 150; ++r) { // past the count that writes with redraw off
        history.BeginStep();
        grid.SetText(kQty, r, "1");
        history.EndStep();
    }
    history.EndStep();
    EXPECT_EQ(history.UndoCount(), 2);
    EXPECT_EQ(history.Undo(), GridHistory::Outcome::Done);
    EXPECT_TRUE(grid.Redraw());
    EXPECT_EQ(grid.Text(kQty, 150) + grid.Text(kQty, 2) + grid.Text(kQty, 1), "1.00");
    EXPECT_EQ(grid.ChangedRowCount(), 1);

    history.BeginStep();
    grid.SetText(kCode, 1, "refused");
    grid.SetText(kCode, 1, "c1");
    grid.SetText(kCheck, 1, "1");
    history.EndStep();
    Type(kCheck, 2, " ");
    history.Seal();
    EXPECT_EQ(history.UndoCount(), 1);
    EXPECT_EQ(history.RedoCount(), 1);
    EXPECT_EQ(history.Redo(), GridHistory::Outcome::Done);
    EXPECT_EQ(grid.Text(kQty, 150), "1.00");
}

// A save's clearing of the marks and a reload of the rows end the history; a cell changed
// behind it (a fill) makes an undo over it stale, which drops the steps before it too.
TEST_F(HistoryTest, SavesReloadsAndChangesBehindItsBackEndTheHistory) {
    Type(kCode, 1, "a");
    Type(kCode, 2, "b");
    history.Seal();
    grid.MarkRowsUnchanged();
    EXPECT_EQ(history.UndoCount() + history.RedoCount(), 0);

    Type(kCode, 1, "a");
    history.Seal();
    grid.SetMaxRows(201);
    EXPECT_EQ(history.UndoCount(), 0);

    Type(kCode, 1, "b");
    Type(kCode, 2, "c");
    history.Seal();
    grid.BeginFill();
    grid.SetText(kCode, 2, "filled");
    grid.EndFill();
    EXPECT_EQ(history.Undo(), GridHistory::Outcome::Stale);
    EXPECT_EQ(grid.Text(kCode, 2) + grid.Text(kCode, 1), "filledb");
    EXPECT_EQ(history.UndoCount(), 0);
}

// Rows that move take their steps with them; an order that is not one of every row ends them.
TEST_F(HistoryTest, StepsFollowRowsThatMove) {
    Type(kCode, 1, "one");
    history.Seal();
    Type(kCode, 2, "two"); // left open: the order maps an open step too
    // Rows 1 and 2 change places, as a sort would move them with their texts.
    QVector<int> order(grid.MaxRows());
    std::iota(order.begin(), order.end(), 1);
    std::swap(order[0], order[1]);
    for (int c : {kCode, kName}) {
        const QString first = grid.Text(c, 1);
        grid.BeginFill();
        grid.SetText(c, 1, grid.Text(c, 2));
        grid.SetText(c, 2, first);
        grid.EndFill();
    }
    history.RowsMoved(order);
    EXPECT_EQ(history.Undo(), GridHistory::Outcome::Done);
    EXPECT_EQ(history.Undo(), GridHistory::Outcome::Done);
    EXPECT_EQ(grid.Text(kCode, 1) + grid.Text(kCode, 2), "c2c1");

    Type(kCode, 1, "again");
    history.Seal();
    order[0] = 1; // row 1 twice, row 2 nowhere
    history.RowsMoved(order);
    EXPECT_EQ(history.Undo(), GridHistory::Outcome::Nothing);
}
