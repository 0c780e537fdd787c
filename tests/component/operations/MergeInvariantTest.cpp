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
    explicit RandomPlan(unsigned seed) : rng(seed) {}
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    QString Pick(const QStringList& from) { return from[Pick(0, int(from.size()) - 1)]; }
    // Whole numbers and quarters keep the sums exact in binary.
    QString Qty() { return Pick(0, 4) == 0 ? QString() : QString::number(Pick(0, 400) / 4.0); }

    RecordListPtr Rows() {
        const int n = Pick(1, 40);
        auto rows = RecordList::Create();
        QSet<QString> keys;
        const QStringList dates{"", "", "2024-05-10", "2024-05-03", "2024/6/1", "bad", "20240401"};
        const QStringList rates{"", "0", "5", "13", "17.5"};
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
                               {"FSourceNo", Pick({"", "S1", "S2", "S12", "S1,S3"})},
                               {"FMemo", Pick(0, 1) ? "m" : ""},
                               {"FIsMerge", "0"}}));
        }
        return rows;
    }
};

QString Group(const KeyedRecord& r) {
    return r.Text("FClose") + '|' + r.Text("FItemID") + '|' + r.Text("FAuxPropID") + '|' +
           r.Text("FSupplyID");
}

QStringList MemberKeys(const KeyedRecord& merged) {
    QStringList keys;
    for (const auto& e : *merged.Object("EntryDataVct"))
        keys << e->Text("FKey");
    return keys;
}

class MergeInvariants : public PlanColumnsFixture {
protected:
    void SetUp() override {
        PlanColumnsFixture::SetUp();
        Plans().PlanPrice = [](qint32 supply, qint32 item) {
            return (supply + item) % 3 == 0 ? 0.0 : supply * 10.0 + item;
        };
    }
    static constexpr int kLists = 300;
};

} // namespace

// One group per close mark, item, property and supplier, in the order each first arrives; while
// pushing, a row with nothing to push joins no group that already exists. Rows shaped as a store
// gives them merge exactly as the grid's do.
TEST_F(MergeInvariants, GroupsPartitionTheRowsAndAddUpTheirMembers) {
    for (int seed = 1; seed <= kLists; ++seed) {
        RandomPlan plan(seed);
        const RecordListPtr rows = plan.Rows();
        const bool pushing = seed % 3 == 0;
        State().IsPushing = pushing;
        QStringList groups;
        QHash<QString, QVector<RecordPtr>> expected;
        for (const auto& r : *rows) {
            const QString g = Group(*r);
            if (!groups.contains(g))
                groups << g;
            else if (pushing && Val(r->Get("FPushQty")) <= 0)
                continue;
            expected[g] << r->Clone();
        }
        auto mixed = RecordList::Create();
        for (int i = 1; i <= rows->Count(); ++i)
            mixed->Add(i % 3 == seed % 3 ? AsStoreRow(*rows->Item(i)) : rows->Item(i)->Clone());
        const RecordListPtr merged = MergePlanRows(rows), fromStore = MergePlanRows(mixed);

        ASSERT_EQ(merged->Count(), groups.size()) << "seed " << seed;
        ASSERT_EQ(fromStore->Count(), groups.size()) << "seed " << seed;
        for (int i = 1; i <= merged->Count(); ++i) {
            const KeyedRecord& m = *merged->Item(i);
            const std::string at = "seed " + std::to_string(seed) + " group " + std::to_string(i);
            ASSERT_EQ(Group(m), groups[i - 1]) << at;
            QVector<RecordPtr> members = expected[groups[i - 1]];
            std::stable_sort(members.begin(), members.end(), [](const RecordPtr& a, const RecordPtr& b) {
                return Val(a->Get("FInterID")) * 1000 + Val(a->Get("FEntryID")) <
                       Val(b->Get("FInterID")) * 1000 + Val(b->Get("FEntryID"));
            });
            QStringList keys;
            double push = 0, discount = 0, price = 0;
            QString start = expected[groups[i - 1]][0]->Text("FKey"), end = start;
            for (const auto& r : expected[groups[i - 1]]) {
                push += Val(r->Get("FPushQty"));
                if (discount == 0)
                    discount = Val(r->Get("FDiscountRate"));
                if (CompareRowKeys(start, r->Text("FKey")) == 2)
                    start = r->Text("FKey");
                if (CompareRowKeys(end, r->Text("FKey")) == 1)
                    end = r->Text("FKey");
            }
            for (const auto& r : members) {
                keys << r->Text("FKey");
                if (price == 0)
                    price = Val(r->Get("FPrice"));
            }
            EXPECT_EQ(MemberKeys(m), keys) << at << ": members in FSotr order";
            EXPECT_EQ(Val(m.Get("FPushQty")), push) << at;
            EXPECT_EQ(m.Text("FStartKey") + "|" + m.Text("FEndKey"), start + "|" + end) << at;
            if (members.size() > 1) {
                EXPECT_EQ(Val(m.Get("FIsMerge")), 1) << at;
                EXPECT_EQ(Val(m.Get("FMergeSumQty")), push) << at;
                EXPECT_EQ(Val(m.Get("FDiscountRate")), discount) << at << ": the first rate that is not 0";
                const double listed = Plans().PlanPrice(Val(m.Get("FSupplyID")), Val(m.Get("FItemID")));
                EXPECT_EQ(Val(m.Get("FPrice")), listed != 0 ? listed : price) << at;
                EXPECT_TRUE(pushing || m.Text("FMemo").isEmpty()) << at;
            }
            const KeyedRecord& s = *fromStore->Item(i);
            for (const QString& k : m.Keys()) {
                if (k != "EntryDataVct") {
                    EXPECT_EQ(s.Get(k).toString(), m.Get(k).toString()) << at << " " << k.toStdString();
                }
            }
            EXPECT_EQ(MemberKeys(s), MemberKeys(m)) << at;
        }
    }
}

TEST_F(MergeInvariants, UnmergeGivesEntriesTheirOwnFieldsOrSharesOutTheEditedQuantity) {
    const char* const entryFields[] = {
        "FInterID",    "FEntryID",  "FVdate",   "FQty",   "FPurchaseFinishQty", "FPurchaseUnFinishQty",
        "FBillNo",     "FSourceNo", "FPushQty", "FPrice", "FDiscountRate",      "FTaxRate",
        "FFinishDate", "FMemo"};
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
            for (const char* k : entryFields)
                EXPECT_EQ(e->Text(k), own->Text(k)) << "seed " << seed << " " << k;
        }

        // Type a quantity over some merged rows: their members must add up to it.
        RecordListPtr shown = AsGridRows(State().MergedRowVct);
        QHash<QString, double> typed, sums; // merged key to the typed quantity and to the poured sum
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
