#pragma once

#include "component/host/HostObjectFactory.h"
#include "platform/records/KeyedRecord.h"
#include "platform/records/RecordSet.h"

#include <QDate>

namespace zpp {

// ZELMMrpCalculate.MrpDataServer: settings, supplier names and rights, credit, orders.
class MrpDataServer : public ServiceObject {
public:
    virtual QString GetSysInfo(const QString& props, const QString& section, const QString& key) = 0;
    virtual QString GetSupplierNameByNumber(const QString& props, QString& supplierCode) = 0;
    virtual bool IsSupplierright(const QString& props, QString& supplierCode, const QString& userId) = 0;
    // True when no supplier of the push exceeds its credit line; otherwise fills the control
    // type ("2" warn, "3" forbid) and a text listing the suppliers.
    virtual bool CheckCreditDegrees(const QString& props, RecordListPtr& pushList, QString& controlType,
                                    QString& suppliers) = 0;
    virtual RecordSetPtr getPOOrderBills(const QString& props) = 0;
    virtual RecordListPtr RefreshPOOrderBill(const QString& props, QString& orderIds) = 0;
    virtual QDate GetNewBillDate(bool& today) = 0;
};

} // namespace zpp
