// The fields of a plan row, by name and as values made from the compact row when asked for; the
// reading of the rows is a template over the stores' cursors and stays in PlanRows.h.
#include "PlanRows.h"

#include "component/host/PlanFields.h"

#include <charconv>

namespace zpp::services::rptdata {

namespace {

// Positions of the fields in a plan row (grid column - 1).
enum Field {
    fInterID,
    fEntryID,
    fCheckBox,
    fVDate,
    fClose,
    fItemNumber,
    fItemName,
    fItemModel,
    fAuxProp,
    fSupplyNumber,
    fSupplyName,
    fUnitName,
    fQty,
    fPurchaseFinishQty,
    fPurchaseUnFinishQty,
    fPushQty,
    fPrice,
    fDiscountRate,
    fTaxRate,
    fFinishDate,
    fBillNo,
    fSourceNo,
    fMemo,
    fItemID,
    fUnitID,
    fAuxPropID,
    fStartDate,
    fSupplyID,
    fKey,
    fIsMerge,
    fStartKey,
    fEndKey,
    fMergeSumQty,
    fQtyDecimal,
    fPriceDecimal,
    fVersion,
    kFieldCount
};

} // namespace

QVariant PlanRows::Value(int row, int field) const {
    static const QVariant zero{0}, zeroReal{0.0}, empty{QString()};
    const Row& r = m_chunks[std::size_t(row) >> kChunkBits][std::size_t(row) & (kChunk - 1)];
    const Item& item = m_items[r.Item];
    switch (Field(field)) {
    case fInterID:
        return QVariant(int(r.Plan));
    case fEntryID:
        return QVariant(int(r.Entry));
    case fCheckBox:
        return zero;
    case fVDate:
        return m_texts[r.Date];
    case fClose:
        return m_texts[r.Close];
    case fItemNumber:
        return item.Code;
    case fItemName:
        return item.Name;
    case fItemModel:
        return item.Model;
    case fAuxProp:
        return m_named[r.Aux].Name;
    case fSupplyNumber:
        return m_named[r.Supplier].Code;
    case fSupplyName:
        return m_named[r.Supplier].Name;
    case fUnitName:
        return item.UnitName;
    case fQty:
        return QVariant(r.Qty);
    case fPurchaseFinishQty:
        return QVariant(r.Ordered);
    case fPurchaseUnFinishQty:
        return QVariant(r.Unordered);
    case fPushQty:
        return QVariant(r.Push);
    case fPrice:
        return m_withPrices ? QVariant(r.Price) : QVariant();
    case fDiscountRate:
        return QVariant(r.Discount);
    case fTaxRate:
        return QVariant(r.Tax);
    case fFinishDate:
        return m_texts[r.Finish];
    case fBillNo:
        return m_texts[r.BillNo];
    case fSourceNo:
        return m_texts[r.Source];
    case fMemo:
        return m_texts[r.Memo];
    case fItemID:
        return item.Id;
    case fUnitID:
        return item.UnitId;
    case fAuxPropID:
        return m_named[r.Aux].Id;
    case fStartDate:
        return m_texts[r.Start];
    case fSupplyID:
        return m_named[r.Supplier].Id;
    case fKey:
        return RowKey(r.Plan, r.Entry);
    case fIsMerge:
        return zero;
    case fStartKey:
        return empty;
    case fEndKey:
        return empty;
    case fMergeSumQty:
        return zeroReal;
    case fQtyDecimal:
        return item.QtyDecimals;
    case fPriceDecimal:
        return item.PriceDecimals;
    case fVersion:
        return QVariant(r.Version);
    case kFieldCount:
        break;
    }
    return {};
}

int PlanRows::SharedValueId(int row, int field) const {
    const Row& r = m_chunks[std::size_t(row) >> kChunkBits][std::size_t(row) & (kChunk - 1)];
    switch (Field(field)) {
    case fVDate:
        return int(r.Date);
    case fClose:
        return int(r.Close);
    case fFinishDate:
        return int(r.Finish);
    case fBillNo:
        return int(r.BillNo);
    case fSourceNo:
        return int(r.Source);
    case fMemo:
        return int(r.Memo);
    case fStartDate:
        return int(r.Start);
    case fItemNumber:
    case fItemName:
    case fItemModel:
    case fUnitName:
    case fItemID:
    case fUnitID:
    case fQtyDecimal:
    case fPriceDecimal:
        return int(r.Item);
    case fAuxProp:
    case fAuxPropID:
        return int(r.Aux);
    case fSupplyNumber:
    case fSupplyName:
    case fSupplyID:
        return int(r.Supplier);
    case fCheckBox:
    case fIsMerge:
    case fStartKey:
    case fEndKey:
    case fMergeSumQty:
        return 0; // the same in every row
    default:
        return -1;
    }
}

QVariant PlanRows::RowKey(qint64 planId, qint64 entryId) {
    char chars[48];
    char* end = std::to_chars(chars, chars + 20, planId).ptr;
    *end++ = '_';
    end = std::to_chars(end, end + 20, entryId).ptr;
    return QVariant(QString::fromLatin1(chars, end - chars));
}

} // namespace zpp::services::rptdata

namespace zpp::services {

const std::shared_ptr<const KeySet>& PlanRowKeys() {
    static const std::shared_ptr<const KeySet> keys = [] {
        auto k = std::make_shared<KeySet>();
        for (const QString& name : PlanFieldNames())
            k->Append(name);
        k->Append(kEntryVersionField);
        Q_ASSERT(k->Count() == rptdata::kFieldCount);
        return std::shared_ptr<const KeySet>(std::move(k));
    }();
    return keys;
}

} // namespace zpp::services
