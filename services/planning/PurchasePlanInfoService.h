#pragma once

#include "component/host/contracts/PurchasePlanInfo.h"
#include "services/store/Session.h"

namespace zpp::services {

// Plan entries, bill dates, supplier IDs and list prices over the store.
class PurchasePlanInfoService : public PurchasePlanInfo {
public:
    explicit PurchasePlanInfoService(store::SessionPtr session) : m_session(std::move(session)) {}

    // Rows keyed by the grid's field names (see RptData.h). The user ID selects nothing: every
    // user sees every plan, and supplier rights apply when a supplier is chosen.
    RecordListPtr GetRptData(const QString& props, RecordPtr& conditions, const QString& userId,
                             QString& billNo) override;
    // The plan's date as "yyyy-MM-dd"; empty for an unknown plan number.
    QString GetBillDate(const QString& props, QString& billNo) override;
    qint32 GetSupplierID(const QString& props, QString& supplierCode, double& taxRate) override;
    // The list price valid today: the one with the latest "valid from" not after today.
    double GetPurchasePlanPrice(const QString& props, qint32 supplierId, qint32 itemId,
                                double quantity) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
