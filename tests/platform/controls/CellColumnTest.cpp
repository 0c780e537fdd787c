#include "platform/controls/CellColumn.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <vector>

using zpp::controls::detail::CellColumn;

TEST(CellColumn, OverwritesGrowShrinkAndCompactionKeepEveryText) {
    // Random rewrites against a plain vector: in-place shrinks, tail growth, appends and
    // the compactions they trigger must never mix up two cells' characters.
    CellColumn col;
    std::vector<QString> ref;
    QRandomGenerator rng(42);
    auto resize = [&](int rows) {
        col.Resize(rows);
        ref.resize(rows);
    };
    resize(300);
    for (int step = 0; step < 20000; ++step) {
        const int row = int(rng.bounded(col.Size()));
        QString text(int(rng.bounded(12)), QChar(u'a' + rng.bounded(26)));
        if (rng.bounded(10) == 0)
            text = QStringLiteral("计划%1").arg(step);
        col.Set(row, text);
        ref[row] = text;
        if (step % 5000 == 4999)
            resize(col.Size() + int(rng.bounded(100)) - 50);
        if (step % 7000 == 6999)
            col.Squeeze();
    }
    for (int r = 0; r < col.Size(); ++r)
        ASSERT_EQ(col.Get(r).toString(), ref[r]) << "row " << r;
    EXPECT_LT(col.Garbage(), 20000u) << "garbage is reclaimed";
}
