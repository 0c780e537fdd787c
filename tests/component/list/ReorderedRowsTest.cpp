// A list's rows read in another order, as a sorted list hands them to its print.
#include "component/list/ReorderedRows.h"
#include "support/RecordLists.h"

#include <gtest/gtest.h>

using namespace zpp;
using namespace zpp::test;

namespace {
RecordPtr Row(const QString& key, double qty) {
    auto r = KeyedRecord::Create();
    r->Set("FKey", key);
    r->Set("FQty", qty);
    return r;
}
} // namespace

// Rows still in their source are read in place; a row made a record since, even one given keys
// of its own, is read with what it holds now.
TEST(ReorderedRows, ReadsEachRowAtItsNewPlaceWithoutMakingRecords) {
    const RecordListPtr rows = SourceListOf(ListOf({Row("1_1", 5), Row("1_2", 7), Row("2_1", 9)}));
    const RecordPtr& changed = rows->Item(2);
    changed->Set("FExtra", "own key set");
    changed->Set("FQty", 8);
    const RecordListPtr sorted =
        RecordList::Over(std::make_shared<ReorderedRows>(rows, std::vector<int>{3, 1, 2}));
    QStringList read;
    for (int p = 1; p <= sorted->Count(); ++p)
        read << sorted->ValueOf(p, "FKey", QVariant()).toString() + "=" +
                    sorted->ValueOf(p, "FQty", QVariant()).toString();
    EXPECT_EQ(read, QStringList({"2_1=9", "1_1=5", "1_2=8"}));
    EXPECT_TRUE(RowsStayInSource(*sorted));
    EXPECT_TRUE(rows->Peek(1) != rows->Peek(1)) << "reading through made a record of row 1";

    const RecordListPtr none =
        RecordList::Over(std::make_shared<ReorderedRows>(RecordList::Create(), std::vector<int>{}));
    EXPECT_EQ(none->Count(), 0);
}
