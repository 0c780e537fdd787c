#include "PlanFakes.h"
#include "component/host/PlanFields.h"
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
                              {"FSupplyID", "7"},
                              {"FBillNo", QStringLiteral("P%1").arg(inter)},
                              {"FPushQty", QString::number(push)},
                              {"FPurchaseUnFinishQty", QString::number(push)}};
    v.insert(more);
    return MakeRow(v);
}

QStringList Column(const RecordListPtr& list, const QString& key) {
    QStringList out;
    for (const auto& r : *list)
        out << r->Text(key);
    return out;
}

using MergeRules = PlanColumnsFixture;

} // namespace

TEST(RowKeys, CompareNumericallyAndTreatBlankAsUnordered) {
    const std::tuple<const char*, const char*, int> cases[] = {{"12_3", "12_10", 1}, {"12_10", "12_3", 2},
                                                               {"4_9", "12_1", 1},   {" 5_1 ", "5_1", 0},
                                                               {"", "5_1", -1},      {"5_1", "   ", -1}};
    for (const auto& [a, b, order] : cases)
        EXPECT_EQ(CompareRowKeys(a, b), order) << a << " " << b;
    EXPECT_THROW(CompareRowKeys("5", "5_1"), Error);
}

TEST(MergeListText, AppendsOnlyItemsNotAlreadyListed) {
    EXPECT_EQ(MergeList("S1", "S2,S1,S3", ","), "S1,S2,S3");
    EXPECT_EQ(MergeList("S12", "S1", ","), "S12,S1") << "items compare whole, unlike plan numbers";
    // Empty items count as items; a new one given twice is added twice.
    EXPECT_EQ(MergeList("", "S1", ","), ",S1");
    EXPECT_EQ(MergeList("S1", "S2,,S2", ","), "S1,S2,,S2");
    EXPECT_EQ(MergeList(",S1", "S2,", ","), ",S1,S2");
    EXPECT_EQ(MergeList("S1; S2", "S2; S3", "; "), "S1; S2; S3");
}

TEST_F(MergeRules, JoinedRowSumsKeysAndOrdersMembersByFSotr) {
    Plans().PlanPrice = [](qint32 supply, qint32 item) { return supply == 9 && item == 100 ? 12.5 : 0.0; };
    auto a = PlanRow(
        5, 2, 10, {{"FMemo", "note"}, {"FSourceNo", "S1"}, {"FFinishDate", "2024-05-10"}, {"FPrice", "3"}});
    auto b = PlanRow(5, 1, 20, {{"FSourceNo", "S1"}, {"FFinishDate", "2024-05-03"}, {"FPrice", "3.00"}});
    auto other = PlanRow(6, 1, 1, {{"FSupplyID", "8"}, {"FPrice", "4.5"}});
    auto closed = PlanRow(6, 2, 1, {{"FClose", "Y"}});
    // Entries that differ in price but share a note.
    auto d = PlanRow(7, 1, 5, {{"FSupplyID", "9"}, {"FPrice", "1"}, {"FMemo", "same"}});
    auto e = PlanRow(7, 2, 5, {{"FSupplyID", "9"}, {"FPrice", "2"}, {"FMemo", "same"}});
    auto merged = MergePlanRows(ListOf({a, other, b, closed, d, e}));

    ASSERT_EQ(merged->Count(), 4);
    const auto& m = merged->Item(1);
    EXPECT_EQ(m, a) << "the group's first record becomes the merged row";
    QStringList fields;
    for (const char* k : {"FPushQty", "FMergeSumQty", "FIsMerge", "FKey", "FStartKey", "FEndKey", "FMemo",
                          "FBillNo", "FSourceNo", "FFinishDate", "FPrice"})
        fields << m->Text(k);
    EXPECT_EQ(fields.join('|'), "30|30|1|5_2,5_1|5_1|5_2||P5|S1|2024-05-03|3")
        << "differing notes leave it empty; the price both entries are ordered at is shown";
    EXPECT_EQ(Column(m->Object("EntryDataVct"), "FSotr"), QStringList({"5001", "5002"}));
    EXPECT_EQ(m->Object("EntryDataVct")->Item(1)->Keys().size(), 18);
    EXPECT_EQ(b->Object("EntryDataVct")->Count(), 0);
    // Groups of one: not asked for a price, own marks kept.
    EXPECT_EQ(merged->Item(2)->Text("FPrice"), "4.5");
    EXPECT_EQ(merged->Item(2)->Text("FIsMerge"), "");
    // Only a row whose entries differ in price asks the price list.
    EXPECT_EQ(merged->Item(4)->Text("FPrice") + "|" + merged->Item(4)->Text("FMemo"), "12.5|same");
    EXPECT_EQ(Plans().PlanPriceAsks, QStringList{"9/100/10"});
    EXPECT_EQ(DifferingValues(*merged->Item(4)->Object("EntryDataVct"), "FPrice"), QStringList({"1", "2"}));
}

TEST(DifferingEntryValues, CompareAsTheFieldsKindAndListEachValueOnce) {
    auto entries = [](const char* field, QStringList values) {
        auto list = RecordList::Create();
        for (const QString& v : values)
            list->Add(MakeRow({{field, v}}));
        return list;
    };
    EXPECT_EQ(DifferingValues(*entries("FPrice", {"4.5", "4.50", " 4.5"}), "FPrice"), QStringList());
    EXPECT_EQ(DifferingValues(*entries("FPrice", {"", "0"}), "FPrice"), QStringList()) << "blank is no price";
    EXPECT_EQ(DifferingValues(*entries("FTaxRate", {"13", "9", "13", "6"}), "FTaxRate"),
              QStringList({"13", "9", "6"}));
    EXPECT_EQ(DifferingValues(*entries("FTaxRate", {"13", "9", "6"}), "FTaxRate", 2),
              QStringList({"13", "9"}));
    EXPECT_EQ(DifferingValues(*entries("FFinishDate", {"2024-05-03", "2024/5/3"}), "FFinishDate"),
              QStringList());
    EXPECT_EQ(DifferingValues(*entries("FFinishDate", {"2024-05-03", ""}), "FFinishDate"),
              QStringList({"2024-05-03", ""}));
    EXPECT_EQ(DifferingValues(*entries("FMemo", {"a", "a "}), "FMemo"), QStringList({"a", "a "}))
        << "a note is stored as typed";
    EXPECT_EQ(DifferingValues(*entries("FMemo", {"only"}), "FMemo"), QStringList());
}

TEST_F(MergeRules, NumbersDatesAndUntrimmedKeysMergeAsTheirText) {
    // Fields as a store gives them beside the grid's texts.
    auto a = PlanRow(12, 10, 10, {{"FFinishDate", "2024-05-10"}});
    a->Set("FItemID", 100);
    a->Set("FQty", 2.5);
    auto b = PlanRow(4, 9, 20, {{"FKey", " 4_9 "}, {"FQty", "1.5"}});
    b->Set("FFinishDate", QDate(2024, 5, 3));
    auto c = PlanRow(12, 3, 5);
    c->Set("FSupplyID", 7);
    auto merged = MergePlanRows(ListOf({a, b, c}));

    ASSERT_EQ(merged->Count(), 1);
    const auto& m = merged->Item(1);
    EXPECT_EQ(m->Get("FQty"), QVariant(4.0));
    EXPECT_EQ(m->Get("FFinishDate"), QVariant(QDate(2024, 5, 3))) << "the earlier date, as its row held it";
    EXPECT_EQ(m->Text("FKey"), "12_10, 4_9,12_3");
    EXPECT_EQ(m->Text("FStartKey") + "|" + m->Text("FEndKey"), " 4_9 |12_10");
}

TEST_F(MergeRules, EqualFSotrKeepsArrivalOrder) {
    auto rows = ListOf({PlanRow(2, 5, 1, {{"FKey", "a"}}), PlanRow(1, 9, 1, {{"FKey", "b"}}),
                        PlanRow(2, 5, 1, {{"FKey", "c"}}), PlanRow(1, 9, 1, {{"FKey", "d"}})});
    auto merged = ListOf({rows->Item(1)});
    for (const auto& r : *rows)
        AddMemberEntry(merged, 1, *r);
    EXPECT_EQ(Column(rows->Item(1)->Object("EntryDataVct"), "FKey"), QStringList({"b", "d", "a", "c"}));
}

namespace {
struct Member {
    double Push, UnFinished;
};
// Members (keys 1_1, 1_2, ...) merged and shown, the merged quantity typed over, the shares read back.
QVector<double> Pour(const QString& typed, QVector<Member> members = {{30, 30}, {50, 50}, {20, 20}},
                     const QString& decimals = "4") {
    auto rows = RecordList::Create();
    for (int i = 0; i < members.size(); ++i)
        rows->Add(PlanRow(1, i + 1, members[i].Push,
                          {{"FPurchaseUnFinishQty", QString::number(members[i].UnFinished, 'g', 17)},
                           {"FQtyDecimal", decimals}}));
    MergeView(rows);
    State().IsMergedView = true;
    auto shown = AsGridRows(State().MergedRowVct);
    shown->Item(1)->Set("FPushQty", typed);
    QVector<double> shares;
    const RecordListPtr entries = BuildEntryData(shown);
    for (const auto& e : *entries)
        shares << values::Val(e->Get("FPushQty"));
    return shares;
}
} // namespace

TEST_F(MergeRules, EditedMergedQuantityIsPouredInFSotrOrderInWholeUnits) {
    EXPECT_EQ(Pour("60"), QVector<double>({30, 30, 0}));
    EXPECT_EQ(Pour("150"), QVector<double>({30, 50, 70}));
    EXPECT_EQ(Pour("0"), QVector<double>({0, 0, 0}));
    EXPECT_EQ(Pour("-5"), QVector<double>({0, 0, 0}));
    EXPECT_EQ(Pour("100.0000"), QVector<double>({30, 50, 20})) << "as shown, unedited";
    // Decimal amounts that binary fractions cannot hold come out as typed, with nothing left over.
    EXPECT_EQ(Pour("0.3", {{0, 0.1}, {0, 0.2}}), QVector<double>({0.1, 0.2}));
    EXPECT_EQ(Pour("0.4", {{0, 0.3}, {0, 0.1}, {0, 0}}), QVector<double>({0.3, 0.1, 0}));
    // Shares are rounded to the item's decimals and still add up to the typed total.
    EXPECT_EQ(Pour("1", {{0, 0.3333}, {0, 0.3333}, {0, 0.3334}}, "2"), QVector<double>({0.33, 0.33, 0.34}));
    // One unit of the item's decimals is an edit, even on a large total.
    EXPECT_EQ(Pour("1000000.001", {{600000, 600000}, {400000, 400000}}, "3"),
              QVector<double>({600000, 400000.001}));
    EXPECT_EQ(Pour("1000000.0004", {{600000, 600000}, {400000, 400000}}, "3"),
              QVector<double>({600000, 400000}))
        << "below the item's precision: not an edit";
    // Too many units for a whole count: poured as amounts, the last member taking the rest.
    EXPECT_EQ(Pour("1000000", {{600000, 600000}, {300000, 300000}}, "10"), QVector<double>({600000, 400000}));
}

TEST_F(MergeRules, SaveMarksOnlyEntriesChangedAtTheShownPrecisionAndAdoptsWhatWasSaved) {
    // Loaded as the store gave them: numbers and a version.
    auto loaded = ListOf({PlanRow(1, 1, 30, {{"FPrice", "12.34567"}, {"FPriceDecimal", "4"}, {"FMemo", "a"}}),
                          PlanRow(1, 2, 50, {{"FFinishDate", "2024-06-01"}, {"FSupplyNumber", "01.001"}})});
    for (const auto& r : *loaded) {
        r->Set(kEntryVersionField, 3);
        r->Remove("FTaxRate"); // a field the store left out counts as 0
    }
    // Shown by the grid: rounded numbers, the date as typed elsewhere, one row the list never loaded.
    auto shown = [&](QHash<QString, QString> edits1, QHash<QString, QString> edits2) {
        auto list = ListOf({PlanRow(1, 1, 30, {{"FPrice", "12.3457"}, {"FMemo", "a"}}),
                            PlanRow(1, 2, 50, {{"FFinishDate", "2024/6/1"}, {"FSupplyNumber", "01.001"}}),
                            PlanRow(9, 9, 1)});
        for (auto it = edits1.begin(); it != edits1.end(); ++it)
            list->Item(1)->Set(it.key(), it.value());
        for (auto it = edits2.begin(); it != edits2.end(); ++it)
            list->Item(2)->Set(it.key(), it.value());
        MarkEntryEdits(list, loaded);
        return list;
    };
    auto marks = [](const RecordListPtr& list) -> QString {
        return Column(list, kEntryEditedField).join(',') + " v" + Column(list, kEntryVersionField).join(',');
    };
    EXPECT_EQ(marks(shown({}, {})), "0,0, v3,3,");
    EXPECT_EQ(marks(shown({{"FPrice", "12.3458"}}, {{"FSupplyNumber", "01.002"}})), "1,1, v3,3,");
    EXPECT_EQ(marks(shown({{"FMemo", "a "}}, {{"FFinishDate", ""}})), "1,1, v3,3,");
    EXPECT_EQ(marks(shown({{"FPushQty", "30.00001"}}, {{"FTaxRate", "0.00001"}})), "0,0, v3,3,");

    // After a save the list compares with what it saved, at the versions the store left.
    auto saved = shown({{"FPrice", "13"}}, {});
    saved->Item(1)->Set(kEntryVersionField, 4);
    AcceptSavedEntries(saved, loaded);
    EXPECT_EQ(loaded->Item(1)->Text("FPrice"), "13");
    EXPECT_EQ(marks(shown({{"FPrice", "13.0000"}}, {})), "0,0, v4,3,");
}
