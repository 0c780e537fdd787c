#include "MergeRows.h"

#include "EntryData.h"
#include "RowFields.h"
#include "component/host/ComponentState.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "platform/records/Values.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <optional>
#include <vector>

namespace zpp {

namespace {

enum MemberField {
    MInterID,
    MEntryID,
    MVdate,
    MPushQty,
    MQty,
    MFinishQty,
    MUnFinishQty,
    MPrice,
    MKey,
    MBillNo,
    MSourceNo,
    MSotr,
    MemberFieldCount
};

// Member entries all share one key set.
const std::shared_ptr<const KeySet>& MemberKeys() {
    static const std::shared_ptr<const KeySet> keys = [] {
        auto k = std::make_shared<KeySet>();
        for (const QString& n :
             {fld::InterID, fld::EntryID, fld::Vdate, fld::PushQty, fld::Qty, fld::FinishQty,
              fld::UnFinishQty, fld::Price, fld::Key, fld::BillNo, fld::SourceNo, fld::Sotr})
            k->Append(n);
        return k;
    }();
    return keys;
}

enum RowField {
    RClose,
    RItemID,
    RAuxPropID,
    RSupplyID,
    RQty,
    RFinishQty,
    RUnFinishQty,
    RPushQty,
    RPrice,
    RMemo,
    RBillNo,
    RSourceNo,
    RFinishDate,
    RDiscountRate,
    RTaxRate,
    RKey,
    RIsMerge,
    RStartKey,
    REndKey,
    RMergeSumQty,
    RInterID,
    REntryID,
    RVdate,
    RowFieldCount
};

using RowSlots = detail::FieldSlots<RowFieldCount>;
using MemberSlots = detail::FieldSlots<MemberFieldCount>;

RowSlots MakeRowSlots() {
    return RowSlots{fld::Close,     fld::ItemID,      fld::AuxPropID,  fld::SupplyID,     fld::Qty,
                    fld::FinishQty, fld::UnFinishQty, fld::PushQty,    fld::Price,        fld::Memo,
                    fld::BillNo,    fld::SourceNo,    fld::FinishDate, fld::DiscountRate, fld::TaxRate,
                    fld::Key,       fld::IsMerge,     fld::StartKey,   fld::EndKey,       fld::MergeSumQty,
                    fld::InterID,   fld::EntryID,     fld::Vdate};
}
MemberSlots MakeMemberSlots() {
    return MemberSlots{fld::InterID, fld::EntryID,   fld::Vdate,       fld::PushQty,
                       fld::Qty,     fld::FinishQty, fld::UnFinishQty, fld::Price,
                       fld::Key,     fld::BillNo,    fld::SourceNo,    fld::Sotr};
}

// At most one group exists per item, auxiliary property, supplier and close mark, because
// a group is only opened when no earlier one matches; so a hash finds the same group the
// scan of the merged list would.
struct GroupKey {
    QString Close, Item, AuxProp, Supply;
    bool operator==(const GroupKey&) const = default;
};
size_t qHash(const GroupKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.Close, k.Item, k.AuxProp, k.Supply);
}

QStringList SplitList(const QString& text, const QString& separator) {
    // An empty text is an empty list, not a list of one empty item.
    return text.isEmpty() ? QStringList() : text.split(separator);
}

QVariant TextOrEmpty(const QVariant& v) {
    return v.isValid() ? v : QVariant(QString());
}

class Merger {
public:
    explicit Merger(bool pushing) : m_pushing(pushing) {}

    RecordListPtr Run(const RecordListPtr& rows) {
        auto result = RecordList::Create();
        if (!rows)
            return result;
        QHash<GroupKey, int> groupOf; // index into m_groups
        groupOf.reserve(rows->Count());
        for (const auto& rp : *rows) {
            KeyedRecord& r = *rp;
            RecordListPtr ownList = AttachEntryList(r);
            GroupKey key{m_row.Text(r, RClose), m_row.Text(r, RItemID), m_row.Text(r, RAuxPropID),
                         m_row.Text(r, RSupplyID)};
            const auto found = groupOf.constFind(key);
            if (found != groupOf.constEnd()) {
                // While building push lines, a row with nothing to push adds nothing.
                if (!m_pushing || values::Val(m_row.Value(r, RPushQty)) > 0)
                    Join(m_groups[*found], r);
                continue;
            }
            result->Add(rp);
            groupOf.insert(std::move(key), int(m_groups.size()));
            m_groups.push_back({rp.get(), ownList, std::nullopt, false});
            const QVariant ownKey = TextOrEmpty(m_row.Value(r, RKey));
            m_row.Set(r, RStartKey, ownKey);
            m_row.Set(r, REndKey, ownKey);
            AddMember(*ownList, r);
        }
        return result;
    }

    // Inserts the joining row's member entry before the first member with a greater FSotr.
    void AddMember(RecordList& members, const KeyedRecord& r) {
        static const int rowFieldOf[MemberFieldCount - 1] = {RInterID, REntryID,   RVdate,       RPushQty,
                                                             RQty,     RFinishQty, RUnFinishQty, RPrice,
                                                             RKey,     RBillNo,    RSourceNo};
        QVector<QVariant> values(MemberFieldCount);
        for (int f = 0; f < MemberFieldCount - 1; ++f)
            values[f] = TextOrEmpty(m_row.Value(r, rowFieldOf[f]));
        const double sotr = values::Val(values[MInterID]) * 1000 + values::Val(values[MEntryID]);
        values[MSotr] = sotr;
        auto entry = std::make_shared<KeyedRecord>(MemberKeys(), std::move(values));

        // The list is kept sorted, so the place is found by halving.
        int lo = 1, hi = members.Count() + 1;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (values::Val(m_member.Value(*members.Item(mid), MSotr)) > sotr)
                hi = mid;
            else
                lo = mid + 1;
        }
        if (lo > members.Count())
            members.Add(std::move(entry));
        else
            members.Insert(std::move(entry), lo);
    }

private:
    struct Group {
        KeyedRecord* merged;
        RecordListPtr members;
        std::optional<QDate> date; // the merged row's delivery date, once read
        bool dateRead;
    };

    void Join(Group& g, KeyedRecord& r) {
        KeyedRecord& m = *g.merged;
        for (int f : {RQty, RFinishQty, RUnFinishQty, RPushQty})
            m_row.Set(m, f, values::Val(m_row.Value(m, f)) + values::Val(m_row.Value(r, f)));
        m_row.Set(m, RPrice, 0.0);
        if (!m_pushing)
            m_row.Set(m, RMemo, QString());

        const QString mBill = m_row.Text(m, RBillNo), rBill = m_row.Text(r, RBillNo);
        if (!mBill.contains(rBill)) {
            const QString t = mBill.trimmed();
            m_row.Set(m, RBillNo, t.isEmpty() ? rBill : t + u',' + rBill);
        }
        m_row.Set(m, RSourceNo,
                  MergeList(m_row.Text(m, RSourceNo), m_row.Text(r, RSourceNo), QStringLiteral(",")));

        const QVariant dr = m_row.Value(r, RFinishDate);
        if (const auto rDate = values::ParseDate(dr)) {
            const QString dm = m_row.Text(m, RFinishDate).trimmed();
            if (!g.dateRead) {
                g.date = dm.isEmpty() ? std::nullopt : values::ParseDate(dm);
                g.dateRead = true;
            }
            if (dm.isEmpty() || (g.date && *rDate < *g.date)) {
                m_row.Set(m, RFinishDate, dr);
                g.date = rDate;
            }
        }

        for (int f : {RDiscountRate, RTaxRate})
            if (values::Val(m_row.Text(m, f).trimmed()) == 0)
                m_row.Set(m, f, TextOrEmpty(m_row.Value(r, f)));

        const QString rKey = m_row.Text(r, RKey);
        const QString mKey = m_row.Text(m, RKey).trimmed();
        m_row.Set(m, RKey, mKey.isEmpty() ? rKey : mKey + u',' + rKey);

        AddMember(*g.members, r);
        m_row.Set(m, RIsMerge, 1);
        if (CompareRowKeys(m_row.Text(m, RStartKey), rKey) == 2)
            m_row.Set(m, RStartKey, rKey);
        if (CompareRowKeys(m_row.Text(m, REndKey), rKey) == 1)
            m_row.Set(m, REndKey, rKey);
        m_row.Set(m, RMergeSumQty, values::Val(m_row.Value(m, RPushQty)));
    }

    // Gives the row a new, empty member list. Rows of one origin share a key set without
    // EntryDataVct; they get one shared extended key set instead of a copy each.
    RecordListPtr AttachEntryList(KeyedRecord& r) {
        auto list = RecordList::Create();
        const auto& keys = r.SharedKeys();
        if (keys != m_plainKeys) {
            m_plainKeys = keys;
            m_hasList = keys->IndexOf(fld::EntryDataVct) >= 0;
            if (!m_hasList) {
                auto extended = std::make_shared<KeySet>(*keys);
                extended->Append(fld::EntryDataVct);
                m_extendedKeys = std::move(extended);
            }
        }
        if (m_hasList) {
            r.SetObject(fld::EntryDataVct, list);
            return list;
        }
        const int n = keys->Count();
        QVector<QVariant> values;
        values.reserve(n + 1);
        for (int i = 0; i < n; ++i)
            values.push_back(r.ValueAt(i));
        values.push_back(QVariant::fromValue(list));
        r = KeyedRecord(m_extendedKeys, std::move(values));
        return list;
    }

    bool m_pushing;
    RowSlots m_row = MakeRowSlots();
    MemberSlots m_member = MakeMemberSlots();
    std::shared_ptr<const KeySet> m_plainKeys, m_extendedKeys;
    bool m_hasList = false;
    std::vector<Group> m_groups;
};

} // namespace

RecordListPtr MergePlanRows(const RecordListPtr& rows) {
    Merger merger(State().IsPushing);
    RecordListPtr merged = merger.Run(rows);
    FetchMergedPrices(merged);
    return merged;
}

void AddMemberEntry(const RecordListPtr& merged, int position, const KeyedRecord& row) {
    const RecordPtr& m = merged->Item(position);
    RecordListPtr members = m->Object(fld::EntryDataVct);
    if (!members) {
        members = RecordList::Create();
        m->SetObject(fld::EntryDataVct, members);
    }
    Merger(State().IsPushing).AddMember(*members, row);
}

void FetchMergedPrices(const RecordListPtr& merged) {
    if (!merged)
        return;
    enum { FIsMerge, FSupplyID, FItemID, FPushQty, FPrice };
    const detail::FieldSlots<5> row{fld::IsMerge, fld::SupplyID, fld::ItemID, fld::PushQty, fld::Price};
    const detail::FieldSlots<1> member{fld::Price};
    // One service object and one property string for the whole pass.
    std::shared_ptr<PurchasePlanInfo> info;
    QString props;
    for (const auto& m : *merged) {
        if (values::Val(row.Value(*m, FIsMerge)) != 1)
            continue;
        if (!info) {
            info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
            props = GetPropsString();
        }
        // A blank supplier or item is asked as 0 rather than failing the whole merge.
        double price = info->GetPurchasePlanPrice(
            props, values::ToInt32(values::Val(row.Text(*m, FSupplyID))),
            values::ToInt32(values::Val(row.Text(*m, FItemID))), values::Val(row.Value(*m, FPushQty)));
        if (price == 0) {
            if (const RecordListPtr members = m->Object(fld::EntryDataVct)) {
                for (const auto& e : *members) {
                    const double p = values::Val(member.Value(*e, 0));
                    if (p != 0) {
                        price = p;
                        break;
                    }
                }
            }
        }
        row.Set(*m, FPrice, price);
    }
}

QString MergeList(const QString& a, const QString& b, const QString& separator) {
    const QStringList itemsA = SplitList(a, separator);
    const QSet<QString> known(itemsA.begin(), itemsA.end());
    QStringList collected;
    for (const QString& item : SplitList(b, separator))
        if (!known.contains(item))
            collected << item;
    return collected.isEmpty() ? a : a + separator + collected.join(separator);
}

RecordListPtr MergeView(const RecordListPtr& gridRows) {
    RecordListPtr entries = gridRows ? gridRows->Clone() : RecordList::Create();
    RecordListPtr merged = MergePlanRows(entries);
    State().EntryRowVct = entries;
    State().MergedRowVct = merged;
    return merged;
}

RecordListPtr UnMergeView(const RecordListPtr& gridRows) {
    RecordListPtr entries = BuildEntryData(gridRows);
    State().EntryRowVct = entries;
    return entries;
}

} // namespace zpp
