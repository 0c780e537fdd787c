#include "PlanFakes.h"
#include "component/operations/EntryData.h"
#include "component/operations/MergeRows.h"
#include "platform/records/Values.h"

#include <QMap>
#include <random>

using namespace zpp;
using namespace zpp::test;

namespace {

using values::Val;

// The merge as the rules state it: a scan of the merged list for every row, plain record
// calls, nothing shared with the component's code but CompareRowKeys and the conversions.
struct ReferenceMerge {
    bool pushing = false;

    static QString JoinList(const QString& a, const QString& b) {
        const QStringList ia = a.isEmpty() ? QStringList() : a.split(',');
        QStringList collected;
        for (const QString& x : b.isEmpty() ? QStringList() : b.split(','))
            if (!ia.contains(x))
                collected << x;
        return collected.isEmpty() ? a : QString(a + "," + collected.join(","));
    }

    static void AddMember(KeyedRecord& m, const KeyedRecord& r) {
        auto e = KeyedRecord::Create();
        for (const char* k : {"FInterID", "FEntryID", "FVdate", "FPushQty", "FQty", "FPurchaseFinishQty",
                              "FPurchaseUnFinishQty", "FPrice", "FKey", "FBillNo", "FSourceNo",
                              "FDiscountRate", "FTaxRate", "FFinishDate", "FMemo", "Row"})
            e->Set(k, r.Get(k, QString()));
        e->Set("FSotr", Val(r.Get("FInterID")) * 1000 + Val(r.Get("FEntryID")));
        auto list = m.Object("EntryDataVct");
        int at = 1;
        while (at <= list->Count() && Val(list->Item(at)->Get("FSotr")) <= Val(e->Get("FSotr")))
            ++at;
        list->Insert(e, at);
    }

    RecordListPtr Run(const RecordListPtr& rows) const {
        auto result = RecordList::Create();
        for (const auto& rp : *rows) {
            KeyedRecord& r = *rp;
            r.SetObject("EntryDataVct", RecordList::Create());
            bool isNew = true;
            RecordPtr join;
            for (const auto& m : *result) {
                bool same = true;
                for (const char* k : {"FClose", "FItemID", "FAuxPropID", "FSupplyID"})
                    same = same && m->Text(k) == r.Text(k);
                if (!same)
                    continue;
                if (!pushing || Val(r.Get("FPushQty")) > 0) {
                    join = m;
                    break;
                }
                isNew = false;
            }
            if (join) {
                KeyedRecord& m = *join;
                for (const char* k : {"FQty", "FPurchaseFinishQty", "FPurchaseUnFinishQty", "FPushQty"})
                    m.Set(k, Val(m.Get(k)) + Val(r.Get(k)));
                m.Set("FPrice", 0.0);
                if (!pushing)
                    m.Set("FMemo", QString());
                if (!m.Text("FBillNo").contains(r.Text("FBillNo")))
                    m.Set("FBillNo",
                          QString(m.Text("FBillNo").trimmed() +
                                  (m.Text("FBillNo").trimmed().isEmpty() ? "" : ",") + r.Text("FBillNo")));
                m.Set("FSourceNo", JoinList(m.Text("FSourceNo"), r.Text("FSourceNo")));
                const QString dm = m.Text("FFinishDate").trimmed(), dr = r.Text("FFinishDate");
                if (!dm.isEmpty() && values::IsDate(dm) && values::IsDate(dr) &&
                    *values::ParseDate(dr) < *values::ParseDate(dm))
                    m.Set("FFinishDate", dr);
                else if (dm.isEmpty() && values::IsDate(dr))
                    m.Set("FFinishDate", dr);
                for (const char* k : {"FDiscountRate", "FTaxRate"})
                    if (Val(m.Text(k).trimmed()) == 0)
                        m.Set(k, r.Get(k));
                m.Set("FKey", QString(m.Text("FKey").trimmed() +
                                      (m.Text("FKey").trimmed().isEmpty() ? "" : ",") + r.Text("FKey")));
                AddMember(m, r);
                m.Set("FIsMerge", 1);
                if (CompareRowKeys(m.Text("FStartKey"), r.Text("FKey")) == 2)
                    m.Set("FStartKey", r.Text("FKey"));
                if (CompareRowKeys(m.Text("FEndKey"), r.Text("FKey")) == 1)
                    m.Set("FEndKey", r.Text("FKey"));
                m.Set("FMergeSumQty", Val(m.Get("FPushQty")));
            } else if (isNew) {
                result->Add(rp);
                r.Set("FStartKey", r.Text("FKey"));
                r.Set("FEndKey", r.Text("FKey"));
                AddMember(r, r);
            }
        }
        for (const auto& m : *result) {
            if (Val(m->Get("FIsMerge")) != 1)
                continue;
            double price = Plans().Price(values::ToInt32(Val(m->Get("FSupplyID"))),
                                         values::ToInt32(Val(m->Get("FItemID"))));
            for (const auto& e : *m->Object("EntryDataVct"))
                if (price == 0)
                    price = Val(e->Get("FPrice"));
            m->Set("FPrice", price);
        }
        return result;
    }
};

// The row as a store gives it: a key set of its own, in another order, and whole numbers as numbers.
RecordPtr AsStoreRow(const KeyedRecord& row) {
    auto out = KeyedRecord::Create();
    const QStringList keys = row.Keys();
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
        bool whole = false;
        const int n = row.Text(*k).toInt(&whole);
        out->Set(*k, whole ? QVariant(n) : row.Get(*k));
    }
    return out;
}

struct RandomPlan {
    std::mt19937 rng;
    bool storeRows = false; // some rows as a store gives them
    explicit RandomPlan(unsigned seed) : rng(seed) {}

    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    template <class T> const T& Pick(const std::vector<T>& from) {
        return from[Pick(0, int(from.size()) - 1)];
    }

    QString Qty() {
        // Whole numbers and quarters keep the sums exact in binary.
        return Pick(0, 4) == 0 ? QString() : QString::number(Pick(0, 400) / 4.0);
    }

    RecordListPtr Rows() {
        const int n = Pick(1, 40);
        auto rows = RecordList::Create();
        QSet<QString> keys;
        const std::vector<QString> dates{"", "", "2024-05-10", "2024-05-03", "2024/6/1", "bad", "20240401"};
        const std::vector<QString> sources{"", "S1", "S2", "S12", "S1,S3"};
        const std::vector<QString> rates{"", "0", "5", "13", "17.5"};
        while (rows->Count() < n) {
            const int inter = Pick(1, 6), entry = Pick(0, 30);
            const QString key = QStringLiteral("%1_%2").arg(inter).arg(entry);
            if (keys.contains(key))
                continue;
            keys.insert(key);
            rows->Add(MakeRow({{"FInterID", QString::number(inter)},
                               {"FEntryID", QString::number(entry)},
                               {"FKey", key},
                               {"FVDate", Pick(dates)},
                               {"FClose", Pick(0, 5) == 0 ? "Y" : ""},
                               {"FItemID", QString::number(Pick(1, 4))},
                               {"FAuxPropID", QString::number(Pick(0, 1))},
                               {"FSupplyID", QString::number(Pick(1, 3))},
                               {"FQty", Qty()},
                               {"FPurchaseFinishQty", Qty()},
                               {"FPurchaseUnFinishQty", Qty()},
                               {"FPushQty", Qty()},
                               {"FPrice", Pick(0, 2) == 0 ? "0" : QString::number(Pick(1, 90) / 4.0)},
                               {"FDiscountRate", Pick(rates)},
                               {"FTaxRate", Pick(rates)},
                               {"FFinishDate", Pick(dates)},
                               {"FBillNo", QStringLiteral("P%1").arg(inter * (Pick(0, 1) ? 1 : 11))},
                               {"FSourceNo", Pick(sources)},
                               {"FMemo", Pick(0, 1) ? "m" : ""},
                               {"FIsMerge", "0"}}));
        }
        if (!storeRows)
            return rows;
        auto mixed = RecordList::Create();
        for (const auto& r : *rows)
            mixed->Add(Pick(0, 2) == 0 ? AsStoreRow(*r) : r);
        return mixed;
    }
};

class MergeInvariants : public PlanFixture {
protected:
    void SetUp() override {
        PlanFixture::SetUp();
        Plans().Price = [](qint32 supply, qint32 item) {
            return (supply + item) % 3 == 0 ? 0.0 : supply * 10.0 + item;
        };
    }
    static constexpr int kLists = 300;
};

// An unmerge with nothing edited gives every entry back all of its own values.
const char* const kEntryFields[] = {
    "FInterID",    "FEntryID",  "FVdate",   "FQty",   "FPurchaseFinishQty", "FPurchaseUnFinishQty",
    "FBillNo",     "FSourceNo", "FPushQty", "FPrice", "FDiscountRate",      "FTaxRate",
    "FFinishDate", "FMemo"};

} // namespace

TEST_F(MergeInvariants, LinearGroupingGivesTheResultOfTheScan) {
    for (int seed = 1; seed <= kLists; ++seed) {
        RandomPlan plan(seed);
        plan.storeRows = seed % 2 == 0;
        const RecordListPtr rows = plan.Rows();
        const bool pushing = seed % 3 == 0;
        State().IsPushing = pushing;
        RecordListPtr mine = MergePlanRows(rows->Clone());
        RecordListPtr theirs = ReferenceMerge{pushing}.Run(rows->Clone());

        ASSERT_EQ(mine->Count(), theirs->Count()) << "seed " << seed;
        for (int i = 1; i <= mine->Count(); ++i) {
            const auto &a = mine->Item(i), &b = theirs->Item(i);
            for (const QString& k : b->Keys()) {
                if (k == "EntryDataVct")
                    continue;
                EXPECT_EQ(a->Get(k).toString(), b->Get(k).toString())
                    << "seed " << seed << " row " << i << " " << k.toStdString();
            }
            const auto ma = a->Object("EntryDataVct"), mb = b->Object("EntryDataVct");
            ASSERT_EQ(ma->Count(), mb->Count()) << "seed " << seed;
            for (int j = 1; j <= ma->Count(); ++j) {
                EXPECT_EQ(ma->Item(j)->Keys(), mb->Item(j)->Keys());
                for (const QString& k : mb->Item(j)->Keys())
                    EXPECT_EQ(ma->Item(j)->Get(k).toString(), mb->Item(j)->Get(k).toString())
                        << "seed " << seed;
            }
        }
    }
}

TEST_F(MergeInvariants, UnmergeGivesEntriesTheirOwnFieldsOrSharesOutTheEditedQuantity) {
    for (int seed = 1; seed <= kLists; ++seed) {
        RandomPlan plan(seed);
        const RecordListPtr rows = plan.Rows();
        QMap<QString, RecordPtr> original;
        for (const auto& r : *rows)
            original.insert(r->Text("FKey"), r->Clone());
        MergeView(rows);
        State().IsMergedView = true;

        RecordListPtr entries = UnMergeView(AsGridRows(State().MergedRowVct));
        ASSERT_EQ(entries->Count(), rows->Count()) << "seed " << seed;
        for (const auto& e : *entries) {
            const RecordPtr own = original.value(e->Text("FKey"));
            ASSERT_TRUE(own) << "seed " << seed;
            for (const char* k : kEntryFields)
                EXPECT_EQ(e->Text(k), own->Text(k)) << "seed " << seed << " " << k;
        }

        // Type a quantity over some merged rows: their members must add up to it.
        RecordListPtr shown = AsGridRows(State().MergedRowVct);
        QHash<QString, double> typed, sums; // member key to the typed quantity, merged key to the sum
        for (const auto& r : *shown) {
            if (Val(r->Get("FIsMerge")) != 1 || plan.Pick(0, 1) == 0)
                continue;
            const double q = plan.Pick(0, 1200) / 4.0;
            r->Set("FPushQty", QString::number(q));
            typed.insert(r->Text("FKey"), q);
        }
        QHash<QString, QString> groupOf;
        for (const auto& m : *State().MergedRowVct)
            for (const auto& e : *m->Object("EntryDataVct"))
                groupOf.insert(e->Text("FKey"), m->Text("FKey"));
        const RecordListPtr poured = BuildEntryData(shown);
        for (const auto& e : *poured) {
            const QString group = groupOf.value(e->Text("FKey"));
            if (!typed.contains(group))
                continue;
            EXPECT_GE(Val(e->Get("FPushQty")), 0) << "seed " << seed;
            sums[group] += Val(e->Get("FPushQty"));
        }
        for (auto it = typed.begin(); it != typed.end(); ++it)
            EXPECT_DOUBLE_EQ(sums.value(it.key()), it.value()) << "seed " << seed;
    }
}
