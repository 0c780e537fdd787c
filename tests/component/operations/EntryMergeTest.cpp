#include "PlanFakes.h"
#include "component/operations/EntryData.h"
#include "component/operations/MergeRows.h"
#include "platform/records/Values.h"

using namespace zpp;
using namespace zpp::test;

namespace {

// A plan row of item 100, supplier 7, plan "P<inter>", key "<inter>_<entry>".
RecordPtr PlanRow(int inter, int entry, double push, QHash<QString, QString> more = {}) {
    QHash<QString, QString> v{{"FInterID", QString::number(inter)},
                              {"FEntryID", QString::number(entry)},
                              {"FKey", QStringLiteral("%1_%2").arg(inter).arg(entry)},
                              {"FItemID", "100"},
                              {"FAuxPropID", "0"},
                              {"FSupplyID", "7"},
                              {"FBillNo", QStringLiteral("P%1").arg(inter)},
                              {"FPushQty", QString::number(push)},
                              {"FQty", QString::number(push)},
                              {"FPurchaseUnFinishQty", QString::number(push)},
                              {"FIsMerge", "0"}};
    for (auto it = more.begin(); it != more.end(); ++it)
        v[it.key()] = it.value();
    return MakeRow(v);
}

double Num(const RecordPtr& r, const QString& key) {
    return values::Val(r->Get(key));
}

QStringList Column(const RecordListPtr& list, const QString& key) {
    QStringList out;
    for (const auto& r : *list)
        out << r->Text(key);
    return out;
}

// What the grid gives back for a merged list: text cells, push quantity as typed.
RecordListPtr AsGridRows(const RecordListPtr& merged) {
    auto rows = RecordList::Create();
    for (const auto& m : *merged) {
        auto r = m->Clone();
        r->Remove("EntryDataVct");
        for (const QString& k : r->Keys())
            r->Set(k, r->Get(k).toString());
        rows->Add(r);
    }
    return rows;
}

using MergeRules = PlanFixture;
using EntryData = PlanFixture;

} // namespace

TEST(RowKeys, CompareNumericallyAndTreatBlankAsUnordered) {
    EXPECT_EQ(CompareRowKeys("12_3", "12_10"), 1);
    EXPECT_EQ(CompareRowKeys("12_10", "12_3"), 2);
    EXPECT_EQ(CompareRowKeys("4_9", "12_1"), 1);
    EXPECT_EQ(CompareRowKeys(" 5_1 ", "5_1"), 0);
    EXPECT_EQ(CompareRowKeys("", "5_1"), -1);
    EXPECT_EQ(CompareRowKeys("5_1", "   "), -1);
    EXPECT_THROW(CompareRowKeys("5", "5_1"), Error);
    EXPECT_THROW(CompareRowKeys("x_1", "5_1"), Error);
}

TEST(MergeListText, AppendsOnlyItemsNotAlreadyListed) {
    EXPECT_EQ(MergeList("S1", "S1", ","), "S1");
    EXPECT_EQ(MergeList("S1", "S2,S1,S3", ","), "S1,S2,S3");
    EXPECT_EQ(MergeList("S1,S2", "", ","), "S1,S2");
    // Items compare whole, unlike plan numbers.
    EXPECT_EQ(MergeList("S12", "S1", ","), "S12,S1");
    // The rule joins a and the new items with the separator even when a is blank.
    EXPECT_EQ(MergeList("", "S1", ","), ",S1");
    EXPECT_EQ(MergeList("a;b", "b;c;c", ";"), "a;b;c;c");
}

TEST_F(MergeRules, JoinedRowSumsKeysAndOrdersMembersByFSotr) {
    auto a = PlanRow(5, 2, 10, {{"FQty", "12"}, {"FPurchaseFinishQty", "2"}, {"FMemo", "note A"}});
    auto b = PlanRow(5, 1, 20, {{"FQty", "25"}, {"FPurchaseFinishQty", "5"}});
    auto merged = MergePlanRows(ListOf({a, b}));

    ASSERT_EQ(merged->Count(), 1);
    const auto& m = merged->Item(1);
    EXPECT_EQ(m, a) << "the group's first record becomes the merged row";
    EXPECT_EQ(Num(m, "FPushQty"), 30);
    EXPECT_EQ(Num(m, "FMergeSumQty"), 30);
    EXPECT_EQ(Num(m, "FQty"), 37);
    EXPECT_EQ(Num(m, "FPurchaseFinishQty"), 7);
    EXPECT_EQ(Num(m, "FPurchaseUnFinishQty"), 30);
    EXPECT_EQ(m->Text("FKey"), "5_2,5_1");
    EXPECT_EQ(m->Text("FStartKey"), "5_1");
    EXPECT_EQ(m->Text("FEndKey"), "5_2");
    EXPECT_EQ(m->Get("FIsMerge"), QVariant(1));
    EXPECT_EQ(m->Text("FMemo"), "");
    EXPECT_EQ(m->Text("FBillNo"), "P5");
    auto members = m->Object("EntryDataVct");
    ASSERT_EQ(members->Count(), 2);
    EXPECT_EQ(Column(members, "FKey"), QStringList({"5_1", "5_2"}));
    EXPECT_EQ(Num(members->Item(1), "FSotr"), 5001);
    EXPECT_EQ(Num(members->Item(2), "FPushQty"), 10);
    EXPECT_EQ(members->Item(1)->Keys().size(), 12);
    EXPECT_TRUE(b->Object("EntryDataVct") && b->Object("EntryDataVct")->Count() == 0);
}

TEST_F(MergeRules, GroupsSplitOnSupplierAuxPropertyAndCloseMark) {
    auto rows = ListOf({PlanRow(1, 1, 5), PlanRow(1, 2, 5, {{"FSupplyID", "8"}}),
                        PlanRow(1, 3, 5, {{"FClose", "Y"}}), PlanRow(1, 4, 5, {{"FAuxPropID", "3"}}),
                        PlanRow(1, 5, 5), PlanRow(1, 6, 5, {{"FClose", "Y"}})});
    auto merged = MergePlanRows(rows);
    EXPECT_EQ(Column(merged, "FKey"), QStringList({"1_1,1_5", "1_2", "1_3,1_6", "1_4"}));
    // A group of one keeps its own marks.
    EXPECT_EQ(merged->Item(2)->Text("FIsMerge"), "0");
    EXPECT_EQ(merged->Item(2)->Text("FStartKey"), "1_2");
    EXPECT_EQ(merged->Item(2)->Object("EntryDataVct")->Count(), 1);
}

TEST_F(MergeRules, PlanAndSourceNumbersJoinWithoutRepeats) {
    auto m = MergePlanRows(
                 ListOf({PlanRow(1, 1, 1, {{"FSourceNo", "S1"}}), PlanRow(1, 2, 1, {{"FSourceNo", "S1"}})}))
                 ->Item(1);
    EXPECT_EQ(m->Text("FBillNo"), "P1");
    EXPECT_EQ(m->Text("FSourceNo"), "S1");

    // Plan numbers are searched as text: P1 is found inside P12.
    m = MergePlanRows(ListOf({PlanRow(12, 1, 1), PlanRow(1, 1, 1), PlanRow(3, 1, 1, {{"FSourceNo", "S3"}})}))
            ->Item(1);
    EXPECT_EQ(m->Text("FBillNo"), "P12,P3");
    EXPECT_EQ(m->Text("FSourceNo"), ",S3");
    m = MergePlanRows(ListOf({PlanRow(1, 1, 1, {{"FBillNo", " "}}), PlanRow(2, 1, 1)}))->Item(1);
    EXPECT_EQ(m->Text("FBillNo"), "P2");
}

TEST_F(MergeRules, EarliestValidDeliveryDateWins) {
    auto merge = [](QStringList dates) {
        auto rows = RecordList::Create();
        for (int i = 0; i < dates.size(); ++i)
            rows->Add(PlanRow(1, i + 1, 1, {{"FFinishDate", dates[i]}}));
        return MergePlanRows(rows)->Item(1)->Text("FFinishDate");
    };
    EXPECT_EQ(merge({"2024-05-10", "2024-05-03"}), "2024-05-03");
    EXPECT_EQ(merge({"2024-05-03", "2024-05-10"}), "2024-05-03");
    EXPECT_EQ(merge({"2024-05-10", "", "2024/5/4"}), "2024/5/4");
    EXPECT_EQ(merge({"", "2024-05-10", ""}), "2024-05-10");
    EXPECT_EQ(merge({"2024-05-10", "2024-02-30"}), "2024-05-10");
    // A non-blank text that is no date is kept: only a blank one is filled.
    EXPECT_EQ(merge({"soon", "2024-05-10"}), "soon");
}

TEST_F(MergeRules, FirstNonZeroRatesAndMemoOnlyKeptWhilePushing) {
    auto rows = ListOf({PlanRow(1, 1, 1, {{"FDiscountRate", ""}, {"FTaxRate", "0"}, {"FMemo", "first"}}),
                        PlanRow(1, 2, 1, {{"FDiscountRate", "5"}, {"FTaxRate", "0.00"}}),
                        PlanRow(1, 3, 1, {{"FDiscountRate", "9"}, {"FTaxRate", "13"}}),
                        PlanRow(1, 4, 1, {{"FTaxRate", "17"}})});
    auto m = MergePlanRows(rows)->Item(1);
    EXPECT_EQ(m->Text("FDiscountRate"), "5");
    EXPECT_EQ(m->Text("FTaxRate"), "13");
    EXPECT_EQ(m->Text("FMemo"), "");

    State().IsPushing = true;
    m = MergePlanRows(
            ListOf({PlanRow(1, 1, 1, {{"FMemo", "first"}}), PlanRow(1, 2, 1, {{"FMemo", "second"}})}))
            ->Item(1);
    EXPECT_EQ(m->Text("FMemo"), "first");
}

TEST_F(MergeRules, MergedPriceFromServiceElseFirstNonZeroMember) {
    Plans().Price = [](qint32 supply, qint32 item) { return supply == 7 && item == 100 ? 12.5 : 0.0; };
    auto rows = ListOf({PlanRow(1, 1, 4, {{"FPrice", "3"}}), PlanRow(1, 2, 6),
                        PlanRow(2, 1, 1, {{"FItemID", "200"}, {"FPrice", "0"}}),
                        PlanRow(2, 2, 1, {{"FItemID", "200"}, {"FPrice", "8.25"}}),
                        PlanRow(3, 1, 1, {{"FItemID", "300"}, {"FPrice", "4.5"}})});
    auto merged = MergePlanRows(rows);
    ASSERT_EQ(merged->Count(), 3);
    EXPECT_EQ(merged->Item(1)->Get("FPrice"), QVariant(12.5));
    EXPECT_EQ(merged->Item(2)->Get("FPrice"), QVariant(8.25));
    EXPECT_EQ(merged->Item(3)->Get("FPrice"), QVariant("4.5")) << "a group of one keeps its price";
    ASSERT_EQ(Plans().PriceAsks.size(), 2);
    EXPECT_EQ(Plans().PriceAsks[0].SupplyID, 7);
    EXPECT_EQ(Plans().PriceAsks[0].ItemID, 100);
    EXPECT_EQ(Plans().PriceAsks[0].Qty, 10);
}

TEST_F(MergeRules, EqualFSotrKeepsArrivalOrder) {
    auto rows = ListOf({PlanRow(2, 5, 1, {{"FKey", "a"}}), PlanRow(1, 9, 1, {{"FKey", "b"}}),
                        PlanRow(2, 5, 1, {{"FKey", "c"}}), PlanRow(1, 9, 1, {{"FKey", "d"}}),
                        PlanRow(3, 0, 1, {{"FKey", "e"}})});
    // Keys here are not "n_n", so leave the start and end keys out of it.
    auto merged = RecordList::Create();
    auto first = rows->Item(1);
    first->SetObject("EntryDataVct", RecordList::Create());
    merged->Add(first);
    for (int i = 1; i <= rows->Count(); ++i)
        AddMemberEntry(merged, 1, *rows->Item(i));
    EXPECT_EQ(Column(first->Object("EntryDataVct"), "FKey"), QStringList({"b", "d", "a", "c", "e"}));
}

TEST_F(MergeRules, WhilePushingRowsWithNothingToPushJoinNoExistingGroup) {
    State().IsPushing = true;
    auto rows = ListOf({PlanRow(1, 1, 0), PlanRow(1, 2, 0), PlanRow(1, 3, 5), PlanRow(1, 4, -2),
                        PlanRow(2, 1, 0, {{"FItemID", "200"}})});
    auto merged = MergePlanRows(rows);
    ASSERT_EQ(merged->Count(), 2);
    const auto& m = merged->Item(1);
    EXPECT_EQ(m->Text("FKey"), "1_1,1_3");
    EXPECT_EQ(Num(m, "FPushQty"), 5);
    EXPECT_EQ(Column(m->Object("EntryDataVct"), "FKey"), QStringList({"1_1", "1_3"}));
    EXPECT_EQ(merged->Item(2)->Text("FKey"), "2_1") << "a row with nothing to push still opens its own group";

    State().IsPushing = false;
    EXPECT_EQ(MergePlanRows(ListOf({PlanRow(1, 1, 0), PlanRow(1, 2, 0)}))->Item(1)->Text("FKey"), "1_1,1_2");
}

TEST_F(EntryData, UnmergedListComesBackAsTheSameRecords) {
    auto rows = ListOf({PlanRow(1, 1, 5), PlanRow(1, 2, 5)});
    State().IsMergedView = true;
    State().MergedRowVct = RecordList::Create();
    auto entries = BuildEntryData(rows);
    ASSERT_EQ(entries->Count(), 2);
    EXPECT_EQ(entries->Item(1), rows->Item(1));
    EXPECT_EQ(entries->Item(2), rows->Item(2));
}

namespace {
// Members with not-yet-ordered 30, 50 and 20 (keys 1_1, 1_2, 1_3), merged and shown.
struct PouredList {
    RecordListPtr gridRows;
    PouredList() {
        auto rows = ListOf({PlanRow(1, 1, 30, {{"FPrice", "2"}}), PlanRow(1, 2, 50), PlanRow(1, 3, 20)});
        MergeView(rows);
        State().IsMergedView = true;
        gridRows = AsGridRows(State().MergedRowVct);
    }
    QVector<double> Pour(const QString& typed) {
        gridRows->Item(1)->Set("FPushQty", typed);
        QVector<double> shares;
        for (const auto& e : *BuildEntryData(gridRows))
            shares << values::Val(e->Get("FPushQty"));
        return shares;
    }
};
} // namespace

TEST_F(EntryData, EditedMergedQuantityIsPouredInFSotrOrder) {
    PouredList list;
    EXPECT_EQ(list.Pour("60"), QVector<double>({30, 30, 0}));
    EXPECT_EQ(list.Pour("150"), QVector<double>({30, 50, 70}));
    EXPECT_EQ(list.Pour("0"), QVector<double>({0, 0, 0}));
    EXPECT_EQ(list.Pour("-5"), QVector<double>({0, 0, 0}));
    EXPECT_EQ(list.Pour("80.5"), QVector<double>({30, 50, 0.5}));
}

TEST_F(EntryData, UneditedMergedRowGivesMembersTheirOwnFields) {
    auto rows = ListOf(
        {PlanRow(1, 2, 7, {{"FVDate", "2024-01-02"}, {"FSourceNo", "S2"}, {"FPurchaseUnFinishQty", "9"}}),
         PlanRow(1, 1, 3, {{"FVDate", "2024-01-01"}, {"FSourceNo", "S1"}})});
    MergeView(rows);
    State().IsMergedView = true;
    auto grid = AsGridRows(State().MergedRowVct);
    grid->Item(1)->Set("FPushQty", "10.0000"); // as the grid shows the sum
    grid->Item(1)->Set("FPrice", "4.4");       // edits on the merged row reach every member
    grid->Item(1)->Set("FMemo", "urgent");
    auto entries = UnMergeView(grid);

    ASSERT_EQ(entries->Count(), 2);
    EXPECT_EQ(State().EntryRowVct, entries);
    const auto& first = entries->Item(1);
    EXPECT_EQ(first->Text("FKey"), "1_1");
    EXPECT_EQ(first->Text("FPushQty"), "3");
    EXPECT_EQ(first->Text("FVDate"), "2024-01-01");
    EXPECT_EQ(first->Text("FSourceNo"), "S1");
    EXPECT_EQ(first->Text("FBillNo"), "P1");
    EXPECT_EQ(first->Text("FPrice"), "4.4");
    EXPECT_EQ(first->Text("FMemo"), "urgent");
    EXPECT_EQ(first->Get("FIsMerge"), QVariant(0));
    EXPECT_EQ(first->Get("FMergeSumQty"), QVariant(0));
    EXPECT_EQ(first->Text("FStartKey"), "");
    EXPECT_EQ(first->Text("FEndKey"), "");
    EXPECT_EQ(entries->Item(2)->Text("FPushQty"), "7");
    EXPECT_EQ(entries->Item(2)->Text("FPurchaseUnFinishQty"), "9");
}

TEST_F(EntryData, MergedRowUnknownToTheMergedListFails) {
    auto rows = ListOf({PlanRow(1, 1, 3, {{"FIsMerge", "1"}})});
    State().IsMergedView = true;
    State().MergedRowVct = RecordList::Create();
    EXPECT_THROW(BuildEntryData(rows), Error);
}
