#pragma once

#include "platform/records/KeyedRecord.h"

#include <QString>
#include <QVariant>
#include <array>
#include <initializer_list>
#include <memory>

namespace zpp {

// Field names of the row, member entry and entry records.
namespace fld {
inline const QString InterID = QStringLiteral("FInterID");
inline const QString EntryID = QStringLiteral("FEntryID");
inline const QString Vdate = QStringLiteral("FVdate");
inline const QString Close = QStringLiteral("FClose");
inline const QString ItemID = QStringLiteral("FItemID");
inline const QString AuxPropID = QStringLiteral("FAuxPropID");
inline const QString SupplyID = QStringLiteral("FSupplyID");
inline const QString SupplyNumber = QStringLiteral("FSupplyNumber");
inline const QString Qty = QStringLiteral("FQty");
inline const QString FinishQty = QStringLiteral("FPurchaseFinishQty");
inline const QString UnFinishQty = QStringLiteral("FPurchaseUnFinishQty");
inline const QString PushQty = QStringLiteral("FPushQty");
inline const QString Price = QStringLiteral("FPrice");
inline const QString DiscountRate = QStringLiteral("FDiscountRate");
inline const QString TaxRate = QStringLiteral("FTaxRate");
inline const QString FinishDate = QStringLiteral("FFinishDate");
inline const QString BillNo = QStringLiteral("FBillNo");
inline const QString SourceNo = QStringLiteral("FSourceNo");
inline const QString Memo = QStringLiteral("FMemo");
inline const QString Key = QStringLiteral("FKey");
inline const QString IsMerge = QStringLiteral("FIsMerge");
inline const QString StartKey = QStringLiteral("FStartKey");
inline const QString EndKey = QStringLiteral("FEndKey");
inline const QString MergeSumQty = QStringLiteral("FMergeSumQty");
inline const QString QtyDecimal = QStringLiteral("FQtyDecimal");
inline const QString PriceDecimal = QStringLiteral("FPriceDecimal");
inline const QString EntryDataVct = QStringLiteral("EntryDataVct");
inline const QString Sotr = QStringLiteral("FSotr");
inline const QString Row = QStringLiteral("Row");
inline const QString Marked = QStringLiteral("Marked");
inline const QString Succeed = QStringLiteral("Succeed");
inline const QString Error = QStringLiteral("Error");
} // namespace fld

namespace detail {

// Positions of a fixed set of fields, resolved once per key set. Whole-list passes read and
// write through it, so a 100,000-row merge does not fold a key for every read.
template <int N> class FieldSlots {
public:
    explicit FieldSlots(std::initializer_list<QString> names) {
        int i = 0;
        for (const auto& n : names)
            m_names[i++] = n;
    }

    QVariant Value(const KeyedRecord& r, int field) const {
        const int i = Slot(r, field);
        if (i < 0)
            return QVariant();
        return r.ValueAt(i); // invalid when the key was removed
    }
    QString Text(const KeyedRecord& r, int field) const {
        const int i = Slot(r, field);
        return i < 0 ? QString() : r.ValueAt(i).toString();
    }
    bool Has(const KeyedRecord& r, int field) const {
        const int i = Slot(r, field);
        return i >= 0 && r.ValueAt(i).isValid();
    }
    void Set(KeyedRecord& r, int field, const QVariant& value) const {
        const int i = Slot(r, field);
        if (i >= 0 && value.isValid())
            r.SetValueAt(i, value);
        else
            r.Set(m_names[field], value);
    }
    const QString& Name(int field) const { return m_names[field]; }

private:
    int Slot(const KeyedRecord& r, int field) const {
        const auto& keys = r.SharedKeys();
        if (keys != m_keys) {
            m_keys = keys; // held, so the pointer cannot be reused by another key set
            for (int f = 0; f < N; ++f)
                m_slots[f] = keys->IndexOf(m_names[f]);
        }
        return m_slots[field];
    }

    std::array<QString, N> m_names;
    mutable std::shared_ptr<const KeySet> m_keys;
    mutable std::array<int, N> m_slots{};
};

} // namespace detail
} // namespace zpp
