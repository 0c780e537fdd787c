#include "EntryData.h"

#include "RowFields.h"
#include "component/grid/PlanGrid.h"
#include "component/host/ComponentState.h"
#include "component/host/PlanFields.h"
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

// Decimals the grid shows in a number column of the column set; 4 when it has none.
int ColumnDecimals(int column) {
    const RecordListPtr& set = State().PlanColumnSet;
    if (set && column <= set->Count()) {
        const QVariant d = set->Item(column)->Get(QStringLiteral("TypeNumberDecPlaces"), QVariant());
        if (d.isValid())
            return values::ToInt32(d);
    }
    return 4;
}

QString Shown(const QVariant& value, int decimals) {
    return values::FormatNumber(values::Val(value), decimals);
}

bool SameDate(const QVariant& a, const QVariant& b) {
    const auto da = values::ParseDate(a), db = values::ParseDate(b);
    if (da || db)
        return da == db;
    return a.toString().trimmed() == b.toString().trimmed();
}

enum EditableField : unsigned {
    ESupplier = 1,
    EPushQty = 2,
    EPrice = 4,
    EDiscount = 8,
    ETax = 16,
    EDate = 32,
    EMemo = 64
};

// The editable fields of now that differ from was at the precision the grid shows them; a field
// now lacks is unchanged. One comparison for a save against the load and a merged row against
// the merged record as built.
unsigned ChangedFields(const KeyedRecord& now, const KeyedRecord& was, int discountDecimals,
                       int taxDecimals) {
    auto differs = [&](const QString& field, int decimals) {
        return now.Exists(field) && Shown(now.Get(field), decimals) != Shown(was.Get(field, 0), decimals);
    };
    const int qtyDecimals = int(values::Val(was.Get(fld::QtyDecimal, QStringLiteral("4"))));
    const int priceDecimals = int(values::Val(was.Get(fld::PriceDecimal, QStringLiteral("4"))));
    unsigned changed = 0;
    if (now.Exists(fld::SupplyNumber) &&
        now.Text(fld::SupplyNumber).trimmed() != was.Text(fld::SupplyNumber).trimmed())
        changed |= ESupplier;
    if (differs(fld::PushQty, qtyDecimals))
        changed |= EPushQty;
    if (differs(fld::Price, priceDecimals))
        changed |= EPrice;
    if (differs(fld::DiscountRate, discountDecimals))
        changed |= EDiscount;
    if (differs(fld::TaxRate, taxDecimals))
        changed |= ETax;
    if (now.Exists(fld::FinishDate) && !SameDate(now.Get(fld::FinishDate), was.Get(fld::FinishDate)))
        changed |= EDate;
    if (now.Exists(fld::Memo) && now.Text(fld::Memo) != was.Text(fld::Memo))
        changed |= EMemo;
    return changed;
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

QuantityUnits::QuantityUnits(const QVariant& decimals) {
    const double d = values::Val(decimals.isValid() && !decimals.toString().trimmed().isEmpty()
                                     ? decimals
                                     : QVariant(QStringLiteral("4")));
    m_scale = std::pow(10.0, std::clamp(int(d), 0, 10));
}

std::optional<qint64> QuantityUnits::Units(double quantity) const {
    const double scaled = quantity * m_scale;
    // Beyond 2^53 a double holds no exact whole number of units.
    if (!std::isfinite(scaled) || std::fabs(scaled) > 9.0e15)
        return std::nullopt;
    return std::llround(scaled);
}

bool QuantityUnits::Same(double a, double b) const {
    const auto ua = Units(a), ub = Units(b);
    if (ua && ub)
        return *ua == *ub;
    return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

RecordListPtr BuildEntryData(const RecordListPtr& rows, QVector<EntryOrigin>* origins) {
    auto result = RecordList::Create();
    if (origins)
        origins->clear();
    if (!rows)
        return result;
    result->Reserve(rows->Count());
    int position = 0;

    const ComponentState& state = State();
    // The first merged record for each key, as the scan of MergedRowVct would find it.
    QHash<QString, RecordPtr> mergedByKey;
    if (state.IsMergedView && state.MergedRowVct) {
        mergedByKey.reserve(state.MergedRowVct->Count());
        for (const auto& m : *state.MergedRowVct)
            if (m && !mergedByKey.contains(m->Text(fld::Key)))
                mergedByKey.insert(m->Text(fld::Key), m);
    }

    detail::FieldSlots<6> rowF{fld::Key,    fld::IsMerge,     fld::PushQty,
                               fld::EndKey, fld::MergeSumQty, fld::QtyDecimal};
    enum { RKey, RIsMerge, RPushQty, REndKey, RMergeSumQty, RQtyDecimal };
    detail::FieldSlots<10> memF{fld::InterID,   fld::EntryID,     fld::Vdate,  fld::PushQty,  fld::Qty,
                                fld::FinishQty, fld::UnFinishQty, fld::BillNo, fld::SourceNo, fld::Key};

    // Fields the user edits on a merged row. Only what changed there reaches the entries; the
    // rest keeps each entry's own value, which the merged row's display does not show.
    const int discountDecimals = ColumnDecimals(col::DiscountRate),
              taxDecimals = ColumnDecimals(col::TaxRate);
    detail::FieldSlots<5> ownF{fld::Price, fld::DiscountRate, fld::TaxRate, fld::FinishDate, fld::Memo};
    enum { OPrice, ODiscountRate, OTaxRate, OFinishDate, OMemo };
    for (const auto& r : *rows) {
        ++position;
        if (values::Val(rowF.Value(*r, RIsMerge)) != 1) {
            result->Add(r);
            if (origins)
                origins->append({position, false});
            continue;
        }
        const QString key = rowF.Text(*r, RKey);
        const RecordPtr m = mergedByKey.value(key);
        if (!m)
            throw Error(QStringLiteral("汇总行 [%1] 没有对应的汇总明细").arg(key));
        const RecordListPtr members = m->Object(fld::EntryDataVct);
        const double pushQty = values::Val(rowF.Value(*r, RPushQty));
        // Quantities are poured in whole units of the item's decimals, so the members add up to
        // exactly the typed total and an edit as small as one unit counts.
        const QuantityUnits units(rowF.Value(*r, RQtyDecimal));
        const bool edited = !units.Same(values::Val(m->Get(fld::MergeSumQty, 0)), pushQty);
        const QString endKey = rowF.Text(*r, REndKey);
        const unsigned changed = ChangedFields(*r, *m, discountDecimals, taxDecimals);
        // A new supplier brings its own price and tax rate.
        const bool edits[] = {(changed & (ESupplier | EPrice)) != 0, (changed & EDiscount) != 0,
                              (changed & (ESupplier | ETax)) != 0, (changed & EDate) != 0,
                              (changed & EMemo) != 0};
        std::optional<qint64> remainingUnits = units.Units(pushQty);
        double remaining = pushQty;

        if (!members)
            continue;
        for (const auto& e : *members) {
            RecordPtr d = r->Clone();
            for (int f = MInterID; f <= MKey; ++f)
                d->Set(MemberFieldName(f),
                       memF.Value(*e, f).isValid() ? memF.Value(*e, f) : QVariant(QString()));
            for (int f = OPrice; f <= OMemo; ++f)
                if (!edits[f] && ownF.Value(*e, f).isValid())
                    d->Set(ownF.Name(f), ownF.Value(*e, f));
            if (edited && remainingUnits) {
                qint64 share = 0;
                const auto u = units.Units(values::Val(memF.Value(*e, MUnFinishQty)));
                if (*remainingUnits <= 0) {
                    share = 0;
                } else if (memF.Text(*e, MKey) == endKey || !u || *u > *remainingUnits) {
                    share = *remainingUnits;
                } else {
                    share = *u;
                }
                *remainingUnits -= share;
                d->Set(fld::PushQty, units.Quantity(share));
            } else if (edited) {
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
            if (origins)
                origins->append({position, edited || changed != 0});
        }
    }
    return result;
}

namespace {

// The positions of the loaded rows by the key text the grid shows; read in place, so only
// the rows a save touches become records.
QHash<QString, int> ByKey(const RecordListPtr& rows) {
    QHash<QString, int> byKey;
    if (!rows)
        return byKey;
    byKey.reserve(rows->Count());
    for (int p = 1; p <= rows->Count(); ++p) {
        const QVariant key = rows->ValueOf(p, fld::Key, QVariant());
        if (key.isValid())
            byKey.insert(key.toString(), p);
    }
    return byKey;
}

KeyedRecord* LoadedRow(const RecordListPtr& rows, const QHash<QString, int>& byKey, const QString& key) {
    const int p = byKey.value(key);
    return p > 0 ? rows->Item(p).get() : nullptr;
}

} // namespace

void MarkEntryEdits(const RecordListPtr& entries, const RecordListPtr& loadedRows) {
    if (!entries || !loadedRows)
        return;
    const QHash<QString, int> loaded = ByKey(loadedRows);
    const int discountDecimals = ColumnDecimals(col::DiscountRate),
              taxDecimals = ColumnDecimals(col::TaxRate);
    for (const auto& e : *entries) {
        if (!e)
            continue;
        const KeyedRecord* row = LoadedRow(loadedRows, loaded, e->Text(fld::Key));
        if (!row || !row->Exists(kEntryVersionField))
            continue;
        e->Set(kEntryVersionField, row->Get(kEntryVersionField));
        e->Set(kEntryEditedField, ChangedFields(*e, *row, discountDecimals, taxDecimals) != 0 ? 1 : 0);
    }
}

void LoadedVersions::Resolve(int position) const {
    const KeySet& keys = m_rows->KeysAt(position);
    if (&keys == m_keys)
        return;
    m_keys = &keys;
    m_keySlot = keys.IndexOf(fld::Key);
    m_versionSlot = keys.IndexOf(kEntryVersionField);
}

std::optional<qint64> LoadedVersions::At(int position) const {
    Resolve(position);
    const QVariant v = m_rows->ValueAt(position, m_versionSlot);
    bool ok = false;
    const qint64 version = v.isNull() ? 0 : v.toLongLong(&ok);
    return ok ? std::optional(version) : std::nullopt;
}

std::optional<qint64> LoadedVersions::Of(const QString& key, int position) const {
    if (!m_rows || key.isEmpty())
        return std::nullopt;
    if (position >= 1 && position <= m_rows->Count()) {
        Resolve(position);
        if (m_rows->ValueAt(position, m_keySlot).toString() == key)
            return At(position);
    }
    if (!m_byKey)
        m_byKey = ByKey(m_rows);
    const int p = m_byKey->value(key);
    return p > 0 ? At(p) : std::nullopt;
}

void AcceptSavedEntries(const RecordListPtr& entries, const RecordListPtr& loadedRows) {
    if (!entries || !loadedRows)
        return;
    const QHash<QString, int> loaded = ByKey(loadedRows);
    static const QString fields[] = {fld::SupplyNumber, fld::SupplyID, fld::PushQty,    fld::Price,
                                     fld::DiscountRate, fld::TaxRate,  fld::FinishDate, fld::Memo};
    for (const auto& e : *entries) {
        if (!e || values::Val(e->Get(kEntryEditedField, 0)) == 0)
            continue;
        KeyedRecord* row = LoadedRow(loadedRows, loaded, e->Text(fld::Key));
        if (!row)
            continue;
        for (const QString& f : fields)
            if (e->Exists(f))
                row->Set(f, e->Get(f));
        row->Set(kEntryVersionField, e->Get(kEntryVersionField));
    }
}

} // namespace zpp
