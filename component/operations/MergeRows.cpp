#include "MergeRows.h"

#include "EntryData.h"
#include "RowFields.h"
#include "component/host/ComponentState.h"
#include "platform/records/Values.h"

#include <QHash>
#include <QStringList>
#include <algorithm>
#include <array>
#include <optional>
#include <utility>
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
    MDiscountRate,
    MTaxRate,
    MFinishDate,
    MMemo,
    MRow,
    MMarked,
    MSotr,
    MemberFieldCount
};

// Member entries all share one key set.
const std::shared_ptr<const KeySet>& MemberKeys() {
    static const std::shared_ptr<const KeySet> keys = [] {
        auto k = std::make_shared<KeySet>();
        for (const QString& n :
             {fld::InterID, fld::EntryID, fld::Vdate, fld::PushQty, fld::Qty, fld::FinishQty,
              fld::UnFinishQty, fld::Price, fld::Key, fld::BillNo, fld::SourceNo, fld::DiscountRate,
              fld::TaxRate, fld::FinishDate, fld::Memo, fld::Row, fld::Marked, fld::Sotr})
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
    RRow,
    RMarked,
    RowFieldCount
};

// The positions of a fixed set of fields, resolved once per key set, with values read in place.
// Merged rows can end up with a key set of their own while the rows joining them keep the
// shared one, so two key sets are held at a time.
template <int N> class FieldRefs {
public:
    explicit FieldRefs(std::initializer_list<QString> names) {
        std::copy(names.begin(), names.end(), m_names.begin());
    }

    // The value, invalid when the record lacks the field.
    const QVariant& Get(const KeyedRecord& r, int field) const {
        static const QVariant none;
        const int i = Slots(r)[field];
        return i < 0 ? none : r.ValueAt(i);
    }
    void Set(KeyedRecord& r, int field, const QVariant& value) const {
        const int i = Slots(r)[field];
        if (i >= 0 && value.isValid())
            r.SetValueAt(i, value);
        else
            r.Set(m_names[field], value);
    }

private:
    struct Resolved {
        std::shared_ptr<const KeySet> keys; // held, so the pointer cannot be reused by another key set
        std::array<int, N> slots{};
    };

    const std::array<int, N>& Slots(const KeyedRecord& r) const {
        const auto& keys = r.SharedKeys();
        for (const Resolved& c : m_cache)
            if (c.keys == keys)
                return c.slots;
        Resolved& c = m_cache[m_next];
        m_next ^= 1;
        c.keys = keys;
        for (int f = 0; f < N; ++f)
            c.slots[f] = keys->IndexOf(m_names[f]);
        return c.slots;
    }

    std::array<QString, N> m_names;
    mutable std::array<Resolved, 2> m_cache;
    mutable int m_next = 0;
};

// A value as text. Grid rows hold text, which is then read in place instead of copied.
class TextOf {
public:
    explicit TextOf(const QVariant& v)
        : m_text(v.typeId() == QMetaType::QString ? static_cast<const QString*>(v.constData()) : &m_own) {
        if (m_text == &m_own)
            m_own = v.toString();
    }
    TextOf(const TextOf&) = delete;
    TextOf& operator=(const TextOf&) = delete;

    const QString& operator*() const { return *m_text; }
    QStringView View() const { return *m_text; }

private:
    QString m_own;
    const QString* m_text;
};

// values::Val, reading text in place.
double Num(const QVariant& v) {
    return v.typeId() == QMetaType::QString
               ? values::Val(QStringView(*static_cast<const QString*>(v.constData())))
               : values::Val(v);
}

const QVariant& OrEmptyText(const QVariant& v) {
    static const QVariant empty{QString()};
    return v.isValid() ? v : empty;
}

// Calls visit on each item of a separated list (split's items, empty ones included) until it
// returns true; says whether it did. An empty text has no items.
template <class Visit> bool AnyItem(QStringView text, QStringView separator, Visit visit) {
    if (text.isEmpty())
        return false;
    for (qsizetype from = 0;;) {
        const qsizetype at = text.indexOf(separator, from);
        if (visit(at < 0 ? text.sliced(from) : text.sliced(from, at - from)))
            return true;
        if (at < 0)
            return false;
        from = at + separator.size();
    }
}

// A row key "<plan>_<entry>" of plain digits as CompareRowKeys reads it. Other keys, which may be
// malformed, are left to CompareRowKeys itself.
std::optional<std::pair<qint32, qint32>> PlainRowKey(QStringView key) {
    const qsizetype cut = key.indexOf(u'_');
    auto number = [](QStringView digits) -> std::optional<qint32> {
        if (digits.isEmpty() || digits.size() > 9)
            return std::nullopt;
        qint32 v = 0;
        for (QChar c : digits) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            v = v * 10 + (c.unicode() - u'0');
        }
        return v;
    };
    if (cut < 0)
        return std::nullopt;
    const auto plan = number(key.first(cut)), entry = number(key.sliced(cut + 1));
    if (!plan || !entry)
        return std::nullopt;
    return std::pair(*plan, *entry);
}

// CompareRowKeys, without its text handling for the usual plain keys.
qint16 CompareKeys(const QString& a, const QString& b,
                   const std::optional<std::pair<qint32, qint32>>& plainB) {
    const auto plainA = plainB ? PlainRowKey(a) : std::nullopt;
    if (!plainA)
        return CompareRowKeys(a, b);
    return *plainA == *plainB ? 0 : *plainA < *plainB ? 1 : 2;
}

class Merger {
public:
    // pushing: a row with nothing to push adds nothing to a group.
    explicit Merger(bool pushing) : m_pushing(pushing) {}

    RecordListPtr Run(const RecordListPtr& rows) {
        auto result = RecordList::Create();
        if (!rows)
            return result;
        const int count = rows->Count();
        result->Reserve(count);
        m_groups.reserve(count);
        // Open addressing over group numbers + 1, at most half full.
        qsizetype buckets = 16;
        while (buckets < 2 * qsizetype(count))
            buckets *= 2;
        std::vector<int> table(buckets, 0);
        const size_t mask = buckets - 1, seed = QHashSeed::globalSeed();

        for (const auto& rp : *rows) {
            KeyedRecord& r = *rp;
            RecordListPtr ownList = AttachEntryList(r);
            const TextOf close(m_row.Get(r, RClose)), item(m_row.Get(r, RItemID)),
                aux(m_row.Get(r, RAuxPropID)), supply(m_row.Get(r, RSupplyID));
            const size_t hash = qHashMulti(seed, close.View(), item.View(), aux.View(), supply.View());
            size_t at = hash & mask;
            for (; table[at] != 0; at = (at + 1) & mask) {
                Group& g = m_groups[table[at] - 1];
                if (g.hash != hash)
                    continue;
                // Only the first row's grouping fields are compared: the merge never changes them.
                const KeyedRecord& m = *g.merged;
                if (TextOf(m_row.Get(m, RClose)).View() == close.View() &&
                    TextOf(m_row.Get(m, RItemID)).View() == item.View() &&
                    TextOf(m_row.Get(m, RAuxPropID)).View() == aux.View() &&
                    TextOf(m_row.Get(m, RSupplyID)).View() == supply.View())
                    break;
            }
            if (table[at] != 0) {
                // While building push lines, a row with nothing to push adds nothing.
                if (!m_pushing || Num(m_row.Get(r, RPushQty)) > 0)
                    Join(m_groups[table[at] - 1], r);
                continue;
            }
            result->Add(rp);
            m_groups.push_back({&r, std::move(ownList), hash, std::nullopt, false});
            table[at] = int(m_groups.size());
            const QVariant& ownKey = OrEmptyText(m_row.Get(r, RKey));
            m_row.Set(r, RStartKey, ownKey);
            m_row.Set(r, REndKey, ownKey);
            AddMember(*m_groups.back().members, r);
        }
        // A note the entries share is shown on their merged row: it is what each is ordered with.
        // Differing notes leave the cell empty, and the list marks it as holding several.
        if (!m_pushing)
            for (const Group& g : m_groups)
                if (g.members->Count() > 1 && DifferingValues(*g.members, fld::Memo, 1).isEmpty())
                    m_row.Set(*g.merged, RMemo, OrEmptyText(g.members->Item(1)->Get(fld::Memo, QString())));
        return result;
    }

    // Inserts the joining row's member entry before the first member with a greater FSotr.
    void AddMember(RecordList& members, const KeyedRecord& r) {
        static const int rowFieldOf[MemberFieldCount - 1] = {
            RInterID, REntryID,  RVdate,        RPushQty, RQty,        RFinishQty, RUnFinishQty, RPrice, RKey,
            RBillNo,  RSourceNo, RDiscountRate, RTaxRate, RFinishDate, RMemo,      RRow,         RMarked};
        QVector<QVariant> values;
        values.reserve(MemberFieldCount);
        for (int f : rowFieldOf)
            values.append(OrEmptyText(m_row.Get(r, f)));
        const double sotr = Num(values[MInterID]) * 1000 + Num(values[MEntryID]);
        values.append(QVariant(sotr));
        auto entry = std::make_shared<KeyedRecord>(MemberKeys(), std::move(values));

        // The list is kept sorted, so the place is found by halving.
        int lo = 1, hi = members.Count() + 1;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (Num(m_member.Get(*members.Item(mid), MSotr)) > sotr)
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
        size_t hash;
        std::optional<QDate> date; // the merged row's delivery date, once read
        bool dateRead;
    };

    void Join(Group& g, KeyedRecord& r) {
        KeyedRecord& m = *g.merged;
        for (int f : {RQty, RFinishQty, RUnFinishQty, RPushQty})
            m_row.Set(m, f, Num(m_row.Get(m, f)) + Num(m_row.Get(r, f)));
        m_row.Set(m, RPrice, 0.0);
        if (!m_pushing)
            m_row.Set(m, RMemo, QString());

        const TextOf rBill(m_row.Get(r, RBillNo));
        if (const TextOf mBill(m_row.Get(m, RBillNo)); !(*mBill).contains(*rBill)) {
            const QStringView t = mBill.View().trimmed();
            m_row.Set(m, RBillNo, t.isEmpty() ? *rBill : QString(t % u',' % *rBill));
        }
        m_row.Set(m, RSourceNo,
                  MergeList(*TextOf(m_row.Get(m, RSourceNo)), *TextOf(m_row.Get(r, RSourceNo)),
                            QStringLiteral(",")));

        const QVariant& dr = m_row.Get(r, RFinishDate);
        if (const auto rDate = ParseDateOf(dr)) {
            const TextOf mDate(m_row.Get(m, RFinishDate));
            const QStringView dm = mDate.View().trimmed();
            if (!g.dateRead) {
                g.date = dm.isEmpty() ? std::nullopt : values::ParseDate(dm.toString());
                g.dateRead = true;
            }
            if (dm.isEmpty() || (g.date && *rDate < *g.date)) {
                m_row.Set(m, RFinishDate, dr);
                g.date = rDate;
            }
        }

        for (int f : {RDiscountRate, RTaxRate})
            if (values::Val(TextOf(m_row.Get(m, f)).View().trimmed()) == 0)
                m_row.Set(m, f, OrEmptyText(m_row.Get(r, f)));

        const QString rKey = *TextOf(m_row.Get(r, RKey));
        {
            const TextOf mKeyText(m_row.Get(m, RKey));
            const QStringView mKey = mKeyText.View().trimmed();
            m_row.Set(m, RKey, mKey.isEmpty() ? rKey : QString(mKey % u',' % rKey));
        }

        AddMember(*g.members, r);
        m_row.Set(m, RIsMerge, 1);
        const auto plainKey = PlainRowKey(rKey);
        if (CompareKeys(*TextOf(m_row.Get(m, RStartKey)), rKey, plainKey) == 2)
            m_row.Set(m, RStartKey, rKey);
        if (CompareKeys(*TextOf(m_row.Get(m, REndKey)), rKey, plainKey) == 1)
            m_row.Set(m, REndKey, rKey);
        m_row.Set(m, RMergeSumQty, Num(m_row.Get(m, RPushQty)));
    }

    // ParseDate, reading a text already in the display form without copying it.
    static std::optional<QDate> ParseDateOf(const QVariant& v) {
        if (v.typeId() == QMetaType::QString)
            if (const auto d = values::ParseDisplayDate(*static_cast<const QString*>(v.constData())))
                return d;
        return values::ParseDate(v);
    }

    // Gives the row a new, empty member list. Rows of one origin share a key set without
    // EntryDataVct; they get one shared extended key set instead of a copy each.
    RecordListPtr AttachEntryList(KeyedRecord& r) {
        auto list = RecordList::Create();
        const auto& keys = r.SharedKeys();
        if (keys != m_plainKeys) {
            m_plainKeys = keys;
            m_listSlot = keys->IndexOf(fld::EntryDataVct);
            if (m_listSlot < 0) {
                auto extended = std::make_shared<KeySet>(*keys);
                extended->Append(fld::EntryDataVct);
                m_extendedKeys = std::move(extended);
            }
        }
        if (m_listSlot >= 0) {
            r.SetValueAt(m_listSlot, QVariant::fromValue(list));
            return list;
        }
        const int n = keys->Count();
        QVector<QVariant> values;
        values.reserve(n + 1);
        for (int i = 0; i < n; ++i)
            values.append(r.ValueAt(i));
        values.append(QVariant::fromValue(list));
        r = KeyedRecord(m_extendedKeys, std::move(values));
        return list;
    }

    bool m_pushing;
    FieldRefs<RowFieldCount> m_row{
        fld::Close,     fld::ItemID,      fld::AuxPropID,  fld::SupplyID,     fld::Qty,
        fld::FinishQty, fld::UnFinishQty, fld::PushQty,    fld::Price,        fld::Memo,
        fld::BillNo,    fld::SourceNo,    fld::FinishDate, fld::DiscountRate, fld::TaxRate,
        fld::Key,       fld::IsMerge,     fld::StartKey,   fld::EndKey,       fld::MergeSumQty,
        fld::InterID,   fld::EntryID,     fld::Vdate,      fld::Row,          fld::Marked};
    FieldRefs<MemberFieldCount> m_member{
        fld::InterID,     fld::EntryID,    fld::Vdate, fld::PushQty, fld::Qty,      fld::FinishQty,
        fld::UnFinishQty, fld::Price,      fld::Key,   fld::BillNo,  fld::SourceNo, fld::DiscountRate,
        fld::TaxRate,     fld::FinishDate, fld::Memo,  fld::Row,     fld::Marked,   fld::Sotr};
    std::shared_ptr<const KeySet> m_plainKeys, m_extendedKeys;
    int m_listSlot = -1;
    std::vector<Group> m_groups;
};

} // namespace

RecordListPtr MergePlanRows(const RecordListPtr& rows) {
    RecordListPtr merged = GroupPlanRows(rows);
    FetchMergedPrices(merged);
    return merged;
}

RecordListPtr GroupPlanRows(const RecordListPtr& rows) {
    return Merger(State().IsPushing).Run(rows);
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

QString MergeList(const QString& a, const QString& b, const QString& separator) {
    if (separator.isEmpty()) {
        // Splitting by nothing parts every character; rare enough for the plain way.
        const QStringList itemsA = a.isEmpty() ? QStringList() : a.split(separator);
        QString out = a;
        for (const QString& item : b.isEmpty() ? QStringList() : b.split(separator))
            if (!itemsA.contains(item))
                out += separator + item;
        return out;
    }
    // Item by item in place: a merge mostly adds one number to a short list, or nothing.
    QString out = a;
    AnyItem(b, separator, [&](QStringView item) {
        if (!AnyItem(a, separator, [&](QStringView known) { return known == item; }))
            out += separator % item;
        return false;
    });
    return out;
}

} // namespace zpp
