#include "platform/records/Error.h"
#include "platform/records/KeyedRecord.h"
#include "platform/records/RecordSet.h"

#include <gtest/gtest.h>

using namespace zpp;

// Keys ignore case and keep their first spelling and order; a key one record adds to a shared
// key set is not another record's.
TEST(KeyedRecord, KeysIgnoreCaseKeepFirstSpellingAndOrderAndASharedKeySetGrowsPerRecord) {
    KeyedRecord r;
    r.Set("FVDate", "2026-12-01");
    r.Set("FQty", 5);
    r.Set("fvdate", "2026-12-02");
    r.Remove("fqty");
    r.Set("FMemo", "x");
    EXPECT_EQ(r.Keys().join(' ') + " " + r.Text("FVDATE"), "FVDate FMemo 2026-12-02");
    EXPECT_THROW(r.Get("FQty"), Error);
    EXPECT_EQ(r.Get("FQty", 7).toInt(), 7);
    auto keys = std::make_shared<KeySet>();
    keys->Append("A");
    keys->Append("B");
    KeyedRecord a(keys, {1, 2}), b(keys, {3, 4});
    a.Set("C", 5);
    EXPECT_TRUE(a.Exists("c"));
    EXPECT_FALSE(b.Exists("C"));
    EXPECT_EQ(b.Get("b").toInt(), 4);
}

namespace {
// Three rows of two fields.
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
        return field == 0 ? QVariant(QString("k%1").arg(row + 1)) : QVariant(double(row + 1) / 2);
    }

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
    const RecordPtr second = list->Item(2);
    EXPECT_EQ(second.get(), list->Item(2).get());
    EXPECT_EQ(second->Get("FQty").typeId(), QMetaType::Double);
    second->Set("FQty", 7);
    second->Set("FMemo", "new key");
    EXPECT_EQ(list->ValueOf(2, "FQty", 0).toInt(), 7);
    EXPECT_EQ(list->ValueOf(2, "FMemo", QVariant()).toString(), "new key");

    // A clone starts from the same rows and changes apart.
    RecordListPtr copy = list->Clone();
    copy->Item(1)->Set("FQty", 99);
    EXPECT_EQ(list->ValueOf(1, "FQty", 0).toDouble(), 0.5);
    EXPECT_EQ(copy->Item(2)->Get("FQty").toInt(), 7);

    // Positions are one-based and shift keeping every row's values; Count + 1 appends.
    list->Insert(KeyedRecord::Create(), 1);
    list->Remove(3);
    list->Insert(KeyedRecord::Create(), 4);
    QStringList keys;
    for (const RecordPtr& r : *list)
        keys << r->Text("FKey");
    EXPECT_EQ(keys, QStringList({"", "k1", "k3", ""}));
    EXPECT_THROW(list->Item(0), Error);
    EXPECT_THROW(list->Item(5), Error);
    EXPECT_THROW(list->Insert(KeyedRecord::Create(), 6), Error);
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
}
