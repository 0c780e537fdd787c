#include "EntryData.h"

#include "RowFields.h"
#include "component/host/ComponentState.h"
#include "platform/records/Error.h"
#include "platform/records/Values.h"

#include <QHash>
#include <cmath>

namespace zpp {

namespace {

qint32 KeyPart(const QStringList& parts, int i, const QString& key) {
    if (i >= parts.size())
        throw Error(QStringLiteral("行关键字 \"%1\" 格式不正确").arg(key));
    return values::ToInt32(parts[i]);
}

// The fields a member gives back to its entry record, besides the push quantity.
enum MemberField {
    MInterID,
    MEntryID,
    MVdate,
    MPushQty,
    MQty,
    MFinishQty,
    MUnFinishQty,
    MBillNo,
    MSourceNo,
    MKey
};
const QString& MemberFieldName(int f) {
    static const QString names[] = {fld::InterID,   fld::EntryID,     fld::Vdate,  fld::PushQty,  fld::Qty,
                                    fld::FinishQty, fld::UnFinishQty, fld::BillNo, fld::SourceNo, fld::Key};
    return names[f];
}

} // namespace

qint16 CompareRowKeys(const QString& a, const QString& b) {
    const QString ta = a.trimmed(), tb = b.trimmed();
    if (ta.isEmpty() || tb.isEmpty())
        return -1;
    const QStringList pa = ta.split(u'_'), pb = tb.split(u'_');
    const qint32 a1 = KeyPart(pa, 0, ta), b1 = KeyPart(pb, 0, tb);
    if (a1 != b1)
        return a1 < b1 ? 1 : 2;
    const qint32 a2 = KeyPart(pa, 1, ta), b2 = KeyPart(pb, 1, tb);
    if (a2 != b2)
        return a2 < b2 ? 1 : 2;
    return 0;
}

bool SameQuantity(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

RecordListPtr BuildEntryData(const RecordListPtr& rows) {
    auto result = RecordList::Create();
    if (!rows)
        return result;
    result->Reserve(rows->Count());

    const ComponentState& state = State();
    // The first merged record for each key, as the scan of MergedRowVct would find it.
    QHash<QString, RecordPtr> mergedByKey;
    if (state.IsMergedView && state.MergedRowVct) {
        mergedByKey.reserve(state.MergedRowVct->Count());
        for (const auto& m : *state.MergedRowVct)
            if (m && !mergedByKey.contains(m->Text(fld::Key)))
                mergedByKey.insert(m->Text(fld::Key), m);
    }

    detail::FieldSlots<5> rowF{fld::Key, fld::IsMerge, fld::PushQty, fld::EndKey, fld::MergeSumQty};
    enum { RKey, RIsMerge, RPushQty, REndKey, RMergeSumQty };
    detail::FieldSlots<10> memF{fld::InterID,   fld::EntryID,     fld::Vdate,  fld::PushQty,  fld::Qty,
                                fld::FinishQty, fld::UnFinishQty, fld::BillNo, fld::SourceNo, fld::Key};

    for (const auto& r : *rows) {
        if (values::Val(rowF.Value(*r, RIsMerge)) != 1) {
            result->Add(r);
            continue;
        }
        const QString key = rowF.Text(*r, RKey);
        const RecordPtr m = mergedByKey.value(key);
        if (!m)
            throw Error(QStringLiteral("汇总行 [%1] 没有对应的汇总明细").arg(key));
        const RecordListPtr members = m->Object(fld::EntryDataVct);
        const double pushQty = values::Val(rowF.Value(*r, RPushQty));
        const bool edited = !SameQuantity(values::Val(m->Get(fld::MergeSumQty, 0)), pushQty);
        const QString endKey = rowF.Text(*r, REndKey);
        double remaining = pushQty;

        if (!members)
            continue;
        for (const auto& e : *members) {
            RecordPtr d = r->Clone();
            for (int f = MInterID; f <= MKey; ++f)
                d->Set(MemberFieldName(f),
                       memF.Value(*e, f).isValid() ? memF.Value(*e, f) : QVariant(QString()));
            if (edited) {
                double share = 0;
                if (remaining <= 0) {
                    share = 0;
                } else if (memF.Text(*e, MKey) == endKey) {
                    share = remaining;
                    remaining = 0;
                } else {
                    const double u = values::Val(memF.Value(*e, MUnFinishQty));
                    if (u <= remaining) {
                        share = u;
                        remaining -= u;
                    } else {
                        share = remaining;
                        remaining = 0;
                    }
                }
                d->Set(fld::PushQty, share);
            }
            d->Set(fld::IsMerge, 0);
            d->Set(fld::StartKey, QString());
            d->Set(fld::EndKey, QString());
            d->Set(fld::MergeSumQty, 0);
            result->Add(d);
        }
    }
    return result;
}

} // namespace zpp
