#include "platform/controls/CellColumn.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <vector>

using zpp::controls::detail::CellColumn;

TEST(CellColumn, RewritesSharingAndCompactionKeepEveryTextAndFindSeesThem) {
    // Random rewrites and shared texts against a plain vector: in-place shrinks, tail growth,
    // appends, cells sharing another's characters and the compactions all this triggers must
    // never mix up two cells' characters, and a find must answer as a cell-by-cell search.
    CellColumn col;
    std::vector<QString> ref;
    QRandomGenerator rng(42);
    auto resize = [&](int rows) {
        col.Resize(rows);
        ref.resize(rows);
    };
    auto checkFinds = [&](int step) {
        const QString needles[] = {"a", "Bc", "计划1", "zz", "q"};
        for (const QString& needle : needles)
            for (const bool forward : {true, false})
                for (const auto cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
                    const int from = int(rng.bounded(col.Size())), to = from + int(rng.bounded(col.Size()));
                    int want = -1;
                    for (int r = forward ? from : std::min(to, col.Size() - 1);
                         forward ? r <= std::min(to, col.Size() - 1) : r >= from; r += forward ? 1 : -1)
                        if (ref[std::size_t(r)].contains(needle, cs)) {
                            want = r;
                            break;
                        }
                    ASSERT_EQ(col.FindRow(needle, from, to, forward, cs), want)
                        << "step " << step << " needle " << needle.toStdString() << " rows " << from << ".."
                        << to;
                }
    };
    auto word = [&](int step) {
        QString text(int(rng.bounded(12)), QChar(u'a' + rng.bounded(26)));
        if (rng.bounded(10) == 0)
            text = QStringLiteral("计划%1").arg(step);
        else if (rng.bounded(10) == 0)
            text = QStringLiteral("xBc");
        return text;
    };
    // Written in row order and cut shorter in place: searched as one run of characters with
    // garbage between the texts, and pieces that make a needle across two of them.
    const QString pieces[] = {"z", "zb", "b", "c", "cz", "计划", "1", "x"};
    resize(300);
    for (int row = 0; row < 300; ++row)
        col.Set(row, ref[std::size_t(row)] = pieces[rng.bounded(8)]);
    for (int n = 0; n < 100; ++n) {
        const int row = int(rng.bounded(300));
        col.Set(row, ref[std::size_t(row)] = ref[std::size_t(row)].left(int(rng.bounded(3))));
    }
    checkFinds(-2);
    for (int step = 0; step < 20000; ++step) {
        const int row = int(rng.bounded(col.Size()));
        if (rng.bounded(3) == 0) {
            const int from = int(rng.bounded(col.Size()));
            col.Share(from, row);
            ref[std::size_t(row)] = ref[std::size_t(from)];
        } else {
            col.Set(row, ref[std::size_t(row)] = word(step));
        }
        if (step % 5000 == 4999)
            resize(col.Size() + int(rng.bounded(100)) - 50);
        if (step % 7000 == 6999)
            col.Squeeze();
        if (step % 997 == 0)
            checkFinds(step);
    }
    for (int r = 0; r < col.Size(); ++r)
        ASSERT_EQ(col.Get(r).toString(), ref[std::size_t(r)]) << "row " << r;
    EXPECT_LT(col.Garbage(), 20000u) << "garbage is reclaimed";
    col.Squeeze();
    checkFinds(-1);
    for (int r = 0; r < col.Size(); ++r)
        ASSERT_EQ(col.Get(r).toString(), ref[std::size_t(r)]) << "row " << r << " after compaction";
}
