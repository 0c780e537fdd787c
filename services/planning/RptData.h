#pragma once

#include "platform/records/KeyedRecord.h"
#include "services/store/Store.h"

namespace zpp::services {

// What GetRptData selects: one plan by its number, or entries by the filter conditions.
// Empty bounds are open; dates are "yyyy-MM-dd"; codes and numbers compare as text.
struct RptFilter {
    QString BillNo;
    QString FromDate, ToDate;
    QString FromItem, ToItem;
    QString FromBill, ToBill;
    bool HideClosed = false;
    // Only entries with something left to order: a quantity left that the list shows above 0 at the
    // item's decimals (an entry ordered in full in parts may keep a rounding rest of 1e-16).
    bool OnlyUnordered = false;
    // False for a user without the price right: the store sends no price, and the rows carry none
    // (FPrice is null).
    bool WithPrices = true;

    // Reads the filter-condition record ("BDate", "EDate", "BItemNumber", "EItemNumber",
    // "BBillNo", "EBillNo", "Closed", "Unordered"); a date that is not a date fails naming its key.
    static RptFilter FromConditions(const KeyedRecord* conditions, const QString& billNo);
};

// The field names of a plan row in grid column order, shared by every row.
const std::shared_ptr<const KeySet>& PlanRowKeys();

// The statement behind GetRptData with its values to bind in order.
QString RptDataSql(const store::Store& store, const RptFilter& filter, QVariantList& binds);

// The plan rows in the order date, plan number, entry ID.
RecordListPtr ReadRptData(const store::Store& store, const RptFilter& filter);

} // namespace zpp::services
