#pragma once

#include "component/host/HostObjectFactory.h"
#include "platform/records/KeyedRecord.h"

namespace zpp {

// ZELMMrpCalculate.PurchasePlanInfo: reads plan entries, bill dates, suppliers and prices.
class PurchasePlanInfo : public ServiceObject {
public:
    // Plan rows keyed by the plan grid's field names. An empty bill number selects by the
    // conditions; otherwise every entry of that plan.
    virtual RecordListPtr GetRptData(const QString& props, RecordPtr& conditions, const QString& userId,
                                     QString& billNo) = 0;
    virtual QString GetBillDate(const QString& props, QString& billNo) = 0;
    // The supplier's ID (0 for an unknown code); fills the tax rate.
    virtual qint32 GetSupplierID(const QString& props, QString& supplierCode, double& taxRate) = 0;
    // The supplier's current list price of the item; 0 when there is none.
    virtual double GetPurchasePlanPrice(const QString& props, qint32 supplierId, qint32 itemId,
                                        double quantity) = 0;
};

} // namespace zpp
