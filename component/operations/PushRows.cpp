#include "PushRows.h"

#include "RowFields.h"
#include "component/host/PlanFields.h"
#include "platform/records/Values.h"

#include <QStringBuilder>
#include <algorithm>
#include <array>
#include <cmath>

namespace zpp {

namespace {

// The record keys of the fields, in field order: what a record list read in names them, and the
// first keys of a push line.
const std::array<QString, PushRows::FieldCount>& FieldNames() {
    static const std::array<QString, PushRows::FieldCount> names = {fld::InterID,
                                                                    fld::EntryID,
                                                                    fld::ItemID,
                                                                    QStringLiteral("FUnitID"),
                                                                    fld::AuxPropID,
                                                                    fld::SupplyID,
                                                                    fld::Row,
                                                                    fld::PushQty,
                                                                    fld::Price,
                                                                    fld::DiscountRate,
                                                                    fld::TaxRate,
                                                                    fld::FinishDate,
                                                                    fld::Memo,
                                                                    fld::BillNo,
                                                                    QStringLiteral("FItemNumber"),
                                                                    QStringLiteral("FItemName"),
                                                                    fld::SupplyNumber,
                                                                    QStringLiteral("FSupplyName")};
    return names;
}

// Numbers beyond this keep their text: a double no longer holds all of the grid's decimals there,
// and the push refuses them as typed.
constexpr double kLargestKept = 1e12;

} // namespace

std::int32_t PushRows::Id(int field, const QString& text) {
    const QStringView t = QStringView(text).trimmed();
    if (t.isEmpty())
        return kBlankId;
    if (values::IsNumber(t)) {
        const double v = values::Val(t);
        if (v == std::floor(v) && v > kTextId && v <= INT32_MAX)
            return std::int32_t(v);
    }
    m_kept.insert(KeptKey(Count(), field), text);
    return kTextId;
}

double PushRows::Number(int field, const QString& text) {
    const QStringView t = QStringView(text).trimmed();
    if (t.isEmpty())
        return std::nan("");
    if (values::IsNumber(t)) {
        const double v = values::Val(t);
        if (std::abs(v) <= kLargestKept)
            return v;
    }
    m_kept.insert(KeptKey(Count(), field), text);
    return std::nan("");
}

void PushRows::AddRecords(const RecordList& rows) {
    for (int p = 1; p <= rows.Count(); ++p) {
        const KeySet& keys = rows.KeysAt(p);
        const auto text = [&](Field f) {
            const QVariant v = rows.ValueAt(p, keys.IndexOf(FieldNames()[f]));
            return v.isValid() ? v.toString() : QString();
        };
        const QVariant v = rows.ValueAt(p, keys.IndexOf(kEntryVersionField));
        bool known = false;
        const qint64 version = v.isNull() ? 0 : v.toLongLong(&known);
        Add(values::ToInt32(values::Val(text(GridRow))), known ? std::optional(version) : std::nullopt, text);
    }
}

QVariant PushRows::Value(int row, Field field) const {
    const Row& r = m_rows[row];
    switch (field) {
    case FinishDate:
        return m_dates.At(r.finishDate);
    case Memo:
        return m_memos.At(r.memo);
    case BillNo:
        return m_billNos.At(r.billNo);
    case ItemNumber:
        return m_items.value(r.id[ItemID]).number;
    case ItemName:
        return m_items.value(r.id[ItemID]).name;
    case SupplyNumber:
        return m_suppliers.value(r.id[SupplyID]).number;
    case SupplyName:
        return m_suppliers.value(r.id[SupplyID]).name;
    case FieldCount:
        return {};
    default:
        break;
    }
    if (field <= GridRow) {
        const std::int32_t id = r.id[field];
        if (id == kBlankId)
            return QString();
        if (id == kTextId)
            return KeptText(row, field);
        return id;
    }
    const double v = r.num[field - PushQty];
    if (std::isnan(v))
        return KeptText(row, field); // blank, or the text that was no number
    return v;
}

double PushRows::Num(int row, Field field) const {
    const double v = m_rows[row].num[field - PushQty];
    return std::isnan(v) ? values::Val(KeptText(row, field)) : v;
}

qint64 PushRows::DateKey(int row) const {
    const quint32 i = m_rows[row].finishDate;
    auto it = m_dayOf.constFind(i);
    if (it == m_dayOf.cend()) {
        const auto d = values::ParseDate(QVariant(m_dates.At(i)));
        it = m_dayOf.insert(i, d ? d->toJulianDay() : -1 - qint64(i));
    }
    return *it;
}

bool PushRows::Plain(int row) const {
    const Row& r = m_rows[row];
    for (int f = InterID; f <= SupplyID; ++f)
        if (r.id[f] == kTextId)
            return false;
    for (int f = PushQty; f <= TaxRate; ++f)
        if (std::isnan(r.num[f - PushQty]) && m_kept.contains(KeptKey(row, f)))
            return false;
    return true;
}

namespace {

// Every line of a push, each naming its rows; values are read from the rows when asked for.
class PushLineSource final : public RowSource {
public:
    enum Key {
        KInterID,
        KEntryID,
        KItemID,
        KUnitID,
        KAuxPropID,
        KSupplyID,
        KRow,
        KPushQty,
        KPrice,
        KDiscountRate,
        KTaxRate,
        KFinishDate,
        KMemo,
        KBillNo,
        KItemNumber,
        KItemName,
        KSupplyNumber,
        KSupplyName,
        KIsMerge,
        KMembers,
        KHighPriceConfirmed,
        KVersion,
        KeyCount
    };
    static_assert(int(KSupplyName) == int(PushRows::SupplyName));

    explicit PushLineSource(std::shared_ptr<const PushRows> rows) : m_rows(std::move(rows)) { Group(); }

    int Rows() const override { return int(m_first.size()); }
    const std::shared_ptr<const KeySet>& Keys() const override { return LineKeys(); }

    QVariant Value(int line, int field) const override {
        const int first = m_first[line];
        const bool merged = m_count[line] > 1;
        switch (field) {
        case KPushQty:
            return merged ? QVariant(m_sum[line]) : m_rows->Value(first, PushRows::PushQty);
        case KBillNo:
            return merged ? QVariant(JoinedBillNos(line)) : m_rows->Value(first, PushRows::BillNo);
        case KIsMerge:
            return merged ? 1 : 0;
        case KMembers:
            return merged ? QVariant::fromValue(Members(line)) : QVariant();
        case KHighPriceConfirmed:
            return {};
        case KVersion: // a merged line's members carry theirs
            return merged ? QVariant() : VersionOf(*m_rows, first);
        default:
            return m_rows->Value(first, PushRows::Field(field));
        }
    }

private:
    static const std::shared_ptr<const KeySet>& LineKeys() {
        static const std::shared_ptr<const KeySet> keys = [] {
            auto k = std::make_shared<KeySet>();
            for (const QString& n : FieldNames())
                k->Append(n);
            for (const QString& n :
                 {fld::IsMerge, fld::EntryDataVct, QStringLiteral("FHighPriceConfirmed"), kEntryVersionField})
                k->Append(n);
            return k;
        }();
        return keys;
    }

    // A merged line's entries, made afresh for each reader: a push reads each line once.
    class MemberSource final : public RowSource {
    public:
        MemberSource(std::shared_ptr<const PushRows> rows, std::vector<int> members)
            : m_rows(std::move(rows)), m_members(std::move(members)) {}
        int Rows() const override { return int(m_members.size()); }
        const std::shared_ptr<const KeySet>& Keys() const override {
            static const std::shared_ptr<const KeySet> keys = [] {
                auto k = std::make_shared<KeySet>();
                for (const QString& n :
                     {fld::InterID, fld::EntryID, fld::PushQty, fld::Price, fld::DiscountRate, fld::TaxRate,
                      fld::FinishDate, fld::Memo, fld::BillNo, fld::Row, fld::Sotr, kEntryVersionField})
                    k->Append(n);
                return k;
            }();
            return keys;
        }
        QVariant Value(int member, int field) const override {
            static constexpr PushRows::Field of[] = {
                PushRows::InterID,      PushRows::EntryID, PushRows::PushQty,    PushRows::Price,
                PushRows::DiscountRate, PushRows::TaxRate, PushRows::FinishDate, PushRows::Memo,
                PushRows::BillNo,       PushRows::GridRow};
            const int row = m_members[member];
            if (field < int(std::size(of)))
                return m_rows->Value(row, of[field]);
            return field == int(std::size(of)) ? QVariant(Sotr(*m_rows, row)) : VersionOf(*m_rows, row);
        }

    private:
        std::shared_ptr<const PushRows> m_rows;
        std::vector<int> m_members;
    };

    static QVariant VersionOf(const PushRows& rows, int row) {
        const auto v = rows.Version(row);
        return v ? QVariant(*v) : QVariant();
    }

    static double Sotr(const PushRows& rows, int row) {
        return values::Val(rows.Value(row, PushRows::InterID)) * 1000 +
               values::Val(rows.Value(row, PushRows::EntryID));
    }

    std::vector<int> MemberRows(int line) const {
        std::vector<int> members;
        members.reserve(m_count[line]);
        for (int r = m_first[line]; r >= 0; r = m_next[r])
            members.push_back(r);
        return members;
    }

    RecordListPtr Members(int line) const {
        std::vector<int> members = MemberRows(line);
        std::stable_sort(members.begin(), members.end(),
                         [&](int a, int b) { return Sotr(*m_rows, a) < Sotr(*m_rows, b); });
        return RecordList::Over(std::make_shared<MemberSource>(m_rows, std::move(members)));
    }

    // The plan numbers of a merged line, each once, in the order its rows came.
    QString JoinedBillNos(int line) const {
        QString joined;
        for (int r : MemberRows(line)) {
            const QString b = m_rows->Value(r, PushRows::BillNo).toString();
            if (!joined.contains(b)) {
                const QStringView t = QStringView(joined).trimmed();
                joined = t.isEmpty() ? b : QString(t % u',' % b);
            }
        }
        return joined;
    }

    // What makes rows one line. A row holding a text where a number belongs is a line of its own:
    // the push refuses it anyway, and should name that row.
    struct LineKey {
        std::int32_t item, aux, supplier;
        quint32 memo;
        double price, discount, tax;
        qint64 date;
        int own;
        bool operator==(const LineKey&) const = default;
    };

    LineKey KeyOf(int row) const {
        const PushRows& r = *m_rows;
        return {r.IdOf(row, PushRows::ItemID),   r.IdOf(row, PushRows::AuxPropID),
                r.IdOf(row, PushRows::SupplyID), r.MemoIndex(row),
                r.Num(row, PushRows::Price),     r.Num(row, PushRows::DiscountRate),
                r.Num(row, PushRows::TaxRate),   r.DateKey(row),
                r.Plain(row) ? -1 : row};
    }

    static size_t HashOf(const LineKey& k) {
        return qHashMulti(0, k.item, k.aux, k.supplier, k.memo, k.price, k.discount, k.tax, k.date, k.own);
    }

    void Group() {
        const PushRows& rows = *m_rows;
        const int n = rows.Count();
        m_next.assign(n, -1);
        // Open addressing over line numbers + 1, at most half full.
        size_t buckets = 16;
        while (buckets < 2 * size_t(n))
            buckets *= 2;
        std::vector<int> table(buckets, 0);
        std::vector<int> last; // each line's last row, to append in arrival order
        const size_t mask = buckets - 1;
        for (int row = 0; row < n; ++row) {
            const double qty = rows.Num(row, PushRows::PushQty);
            if (!(qty > 0))
                continue;
            const LineKey key = KeyOf(row);
            size_t at = HashOf(key) & mask;
            for (; table[at] != 0; at = (at + 1) & mask)
                if (KeyOf(m_first[table[at] - 1]) == key)
                    break;
            if (table[at] != 0) {
                const int line = table[at] - 1;
                m_next[last[line]] = row;
                last[line] = row;
                ++m_count[line];
                m_sum[line] += qty;
                continue;
            }
            m_first.push_back(row);
            last.push_back(row);
            m_count.push_back(1);
            m_sum.push_back(qty);
            table[at] = int(m_first.size());
        }
    }

    std::shared_ptr<const PushRows> m_rows;
    std::vector<int> m_first, m_next, m_count;
    std::vector<double> m_sum;
};

} // namespace

RecordListPtr PushLines(std::shared_ptr<const PushRows> rows) {
    return RecordList::Over(std::make_shared<PushLineSource>(std::move(rows)));
}

} // namespace zpp
