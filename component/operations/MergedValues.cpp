// What a merged row shows of the values its entries each hold on their own: whether they differ,
// and the price, which the planning service gives when they do.
#include "MergeRows.h"

#include "RowFields.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "platform/records/Values.h"

#include <QStringList>
#include <algorithm>

namespace zpp {

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
        // Entries that agree on a price are ordered at it, so the row shows it; the price list
        // is asked only for a row whose entries differ, which the list marks as such.
        const RecordListPtr members = m->Object(fld::EntryDataVct);
        if (members && members->Count() > 0 && DifferingValues(*members, fld::Price, 1).isEmpty()) {
            row.Set(*m, FPrice, values::Val(member.Value(*members->Item(1), 0)));
            continue;
        }
        if (!info) {
            info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
            props = GetPropsString();
        }
        // A blank supplier or item is asked as 0 rather than failing the whole merge.
        double price = info->GetPurchasePlanPrice(
            props, values::ToInt32(values::Val(row.Text(*m, FSupplyID))),
            values::ToInt32(values::Val(row.Text(*m, FItemID))), values::Val(row.Value(*m, FPushQty)));
        if (price == 0) {
            if (members) {
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

const QStringList& OwnValueFields() {
    static const QStringList fields{fld::Price, fld::DiscountRate, fld::TaxRate, fld::FinishDate, fld::Memo};
    return fields;
}

QStringList DifferingValues(const RecordList& entries, const QString& field, int limit) {
    enum { Number, Date, Text } kind = field == fld::FinishDate ? Date : field == fld::Memo ? Text : Number;
    const auto same = [kind](const QVariant& a, const QVariant& b) {
        if (kind == Number)
            return values::Val(a) == values::Val(b);
        if (kind == Date) {
            const auto da = values::ParseDate(a), db = values::ParseDate(b);
            if (da || db)
                return da == db;
            return a.toString().trimmed() == b.toString().trimmed();
        }
        return a.toString() == b.toString();
    };
    limit = std::max(limit, 1);
    QVector<QVariant> seen;
    for (const auto& e : entries) {
        const QVariant v = e->Get(field, QString());
        if (std::none_of(seen.cbegin(), seen.cend(), [&](const QVariant& s) { return same(s, v); }))
            seen << v;
        if (seen.size() > limit)
            break;
    }
    if (seen.size() < 2)
        return {};
    QStringList out;
    for (qsizetype i = 0; i < std::min<qsizetype>(seen.size(), limit); ++i)
        out << seen[i].toString();
    return out;
}

} // namespace zpp
