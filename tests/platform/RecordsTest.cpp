#include "platform/records/Error.h"
#include "platform/records/KeyedRecord.h"
#include "platform/records/RecordSet.h"

#include <gtest/gtest.h>

using namespace zpp;

TEST(KeyedRecord, KeysIgnoreCaseKeepFirstSpellingAndOrder) {
    KeyedRecord r;
    r.Set("FVDate", "2026-12-01");
    r.Set("FQty", 5);
    r.Set("fvdate", "2026-12-02"); // same key
    EXPECT_EQ(r.Keys(), QStringList({"FVDate", "FQty"}));
    EXPECT_EQ(r.Text("FVDATE"), "2026-12-02");
    EXPECT_THROW(r.Get("Missing"), Error);
    EXPECT_EQ(r.Get("Missing", 7).toInt(), 7);
    r.Remove("fqty");
    EXPECT_EQ(r.Keys(), QStringList({"FVDate"}));
    r.Set("FQty", QVariant()); // a null value is stored as empty text, not as absent
    EXPECT_TRUE(r.Exists("FQty"));
}

TEST(KeyedRecord, SharedKeySetGrowsPerRecordOnly) {
    auto keys = std::make_shared<KeySet>();
    keys->Append("A");
    keys->Append("B");
    KeyedRecord a(keys, {1, 2}), b(keys, {3, 4});
    a.Set("C", 5);
    EXPECT_TRUE(a.Exists("c"));
    EXPECT_FALSE(b.Exists("C"));
    EXPECT_EQ(b.Get("b").toInt(), 4);
}

TEST(RecordList, OneBasedPositionsInsertAndClone) {
    auto list = RecordList::Create();
    auto make = [](int v) {
        auto r = KeyedRecord::Create();
        r->Set("V", v);
        return r;
    };
    list->Add(make(1));
    list->Add(make(3));
    list->Insert(make(2), 2);
    list->Insert(make(0), 1);
    list->Insert(make(4), 5); // Count + 1 appends
    ASSERT_EQ(list->Count(), 5);
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(list->Item(i)->Get("V").toInt(), i - 1);
    EXPECT_THROW(list->Item(0), Error);
    EXPECT_THROW(list->Item(6), Error);
    EXPECT_THROW(list->Insert(make(9), 7), Error);
    auto copy = list->Clone();
    copy->Item(1)->Set("V", 99);
    EXPECT_EQ(list->Item(1)->Get("V").toInt(), 0);
}

namespace {
// Three rows of two fields; counts how often a value is made.
class CountingSource : public RowSource {
public:
    CountingSource() {
        auto k = std::make_shared<KeySet>();
        k->Append("FKey");
        k->Append("FQty");
        m_keys = std::move(k);
    }
    int Rows() const override { return 3; }
    const std::shared_ptr<const KeySet>& Keys() const override { return m_keys; }
    QVariant Value(int row, int field) const override {
        ++made;
        return field == 0 ? QVariant(QString("k%1").arg(row + 1)) : QVariant(double(row + 1) / 2);
    }
    mutable int made = 0;

private:
    std::shared_ptr<const KeySet> m_keys;
};
} // namespace

TEST(RecordList, OverASourceReadsInPlaceAndKeepsTheRecordsItMakes) {
    auto source = std::make_shared<CountingSource>();
    RecordListPtr list = RecordList::Over(source);
    ASSERT_EQ(list->Count(), 3);
    // Reading in place makes no record; a record, once made, is the one every reader gets.
    EXPECT_EQ(list->ValueOf(2, "fqty", 0).toDouble(), 1.0);
    EXPECT_EQ(list->ValueOf(2, "Nope", "d").toString(), "d");
    EXPECT_EQ(list->ValueAt(2, 0).typeId(), QMetaType::QString);
    const RecordPtr second = list->Item(2);
    EXPECT_EQ(second.get(), list->Item(2).get());
    EXPECT_EQ(second->Get("FQty").typeId(), QMetaType::Double);
    second->Set("FQty", 7);
    second->Set("FMemo", "new key");
    EXPECT_EQ(list->ValueOf(2, "FQty", 0).toInt(), 7);
    EXPECT_EQ(list->ValueOf(2, "FMemo", QVariant()).toString(), "new key");

    // A clone starts from the same rows and changes apart; the source is not copied.
    const int before = source->made;
    RecordListPtr copy = list->Clone();
    EXPECT_EQ(source->made, before);
    copy->Item(1)->Set("FQty", 99);
    EXPECT_EQ(list->ValueOf(1, "FQty", 0).toDouble(), 0.5);
    EXPECT_EQ(copy->Item(2)->Get("FQty").toInt(), 7);

    // Positions that shift keep every row's values; iteration gives records in order.
    list->Insert(KeyedRecord::Create(), 1);
    list->Remove(3);
    QStringList keys;
    for (const RecordPtr& r : *list)
        keys << r->Text("FKey");
    EXPECT_EQ(keys, QStringList({"", "k1", "k3"}));
    EXPECT_THROW(list->Item(4), Error);
}

TEST(RecordSet, FilterByKeyWithQuotesAndNulls) {
    RecordSet rs({"FKey", "FValue"});
    rs.AddRow({"BDate", "2026-12-01"});
    rs.AddRow({"BItem", QVariant()});
    rs.AddRow({"O'Neil", "x"});
    rs.SetFilter("FKey='BItem'");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_TRUE(rs.IsNull("FValue"));
    EXPECT_EQ(rs.Text("FValue", "dflt"), "dflt");
    rs.SetFilter("FKey='O''Neil'");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Text("fvalue"), "x");
    rs.SetFilter("FKey='none'");
    EXPECT_TRUE(rs.Eof());
    EXPECT_THROW(rs.Value("FValue"), Error);
    rs.SetFilter("");
    int n = 0;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        ++n;
    EXPECT_EQ(n, 3);
    for (const char* malformed : {"nonsense", "FKey='", "FKey=BItem'", "FKey='BItem", "='x'"})
        EXPECT_THROW(rs.SetFilter(malformed), Error) << malformed;

    // Find searches forward from the current row, with the value bare or quoted.
    RecordSet orders({"FInterID", "FBillNo"});
    for (int id : {3, 12, 7})
        orders.AddRow({id, QString("PO%1").arg(id)});
    orders.MoveFirst();
    EXPECT_TRUE(orders.Find("FInterID = 12"));
    EXPECT_EQ(orders.Text("FBillNo"), "PO12");
    EXPECT_FALSE(orders.Find("FInterID = 3")); // behind the current row
    EXPECT_TRUE(orders.Eof());
    orders.MoveFirst();
    EXPECT_TRUE(orders.Find("FInterID='7'"));
    EXPECT_EQ(orders.Text("FBillNo"), "PO7");
    EXPECT_THROW(orders.Find("FNone = 1"), Error);
}
