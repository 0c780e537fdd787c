#pragma once

#include "component/host/HostObjectFactory.h"
#include "platform/records/KeyedRecord.h"

#include <QDate>

namespace zpp {

// ZELMMrpCalculate.PurchasePlanUpdate: writes plan entries, closes, deletes and pushes.
class PurchasePlanUpdate : public ServiceObject {
public:
    virtual void UpdatePurchasePlanEntry(const QString& props, RecordListPtr& entries) = 0;
    // Result records carry "Row", "Succeed" and "Error".
    virtual RecordListPtr ClosePurchasePlan(const QString& props, RecordListPtr& requests) = 0;
    virtual RecordListPtr UnClosePurchasePlan(const QString& props, RecordListPtr& requests) = 0;
    virtual RecordListPtr DeletePurChasePlan(const QString& props, RecordListPtr& requests) = 0;
    // Created orders (FSupplyName, FBillNO, FDate, FInterID), or null; fills the order IDs.
    virtual RecordListPtr PushBill(const QString& props, RecordListPtr& pushList, qint16 userId,
                                   QString& orderIds, QDate& newBillDate) = 0;
};

} // namespace zpp
