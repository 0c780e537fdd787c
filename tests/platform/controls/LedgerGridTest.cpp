#include "platform/controls/LedgerGrid.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace zpp;
using namespace zpp::controls;

// The current row, Enter and a double-click count data rows (the sheet's row 1 holds the captions).
TEST(LedgerView, CurrentRowDoubleClickAndEnterAreInDataRows) {
    LedgerGrid grid;
    grid.SetMaxCols(2);
    grid.SetMaxRows(6);
    grid.SetColHidden(1, true);
    grid.resize(400, 300);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    QSignalSpy activated(&grid, &LedgerGrid::RowActivated);
    grid.SetCurrentRow(3);
    EXPECT_EQ(grid.currentIndex().column(), 1) << "the first shown column";
    grid.SetCurrentRow(1);
    EXPECT_EQ(grid.CurrentRow(), 1);
    grid.SetCurrentRow(6);
    EXPECT_EQ(grid.CurrentRow(), 1) << "past the last data row";
    QTest::keyClick(&grid, Qt::Key_Return);
    // A real double-click starts with a click; QTest sends only the double-click event.
    const QPoint cell = grid.visualRect(grid.model()->index(1, 1)).center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell);
    ASSERT_EQ(activated.count(), 2);
    EXPECT_EQ(activated[0][0].toInt() * 10 + activated[1][0].toInt(), 12);
}
