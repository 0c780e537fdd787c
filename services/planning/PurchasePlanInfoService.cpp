#include "PurchasePlanInfoService.h"

#include "PriceService.h"
#include "RptData.h"
#include "component/host/Access.h"
#include "platform/records/StorableText.h"
#include "platform/records/Values.h"
#include "services/access/Rights.h"

namespace zpp::services {

RecordListPtr PurchasePlanInfoService::GetRptData(const QString&, RecordPtr& conditions, const QString&,
                                                  QString& billNo) {
    Require(*m_session, rights::Query);
    RptFilter filter = RptFilter::FromConditions(conditions.get(), billNo);
    filter.WithPrices = Holds(*m_session, rights::Price);
    return ReadRptData(*m_session->Db, filter);
}

QString PurchasePlanInfoService::GetBillDate(const QString&, QString& billNo) {
    return m_session->Db
        ->Scalar(QStringLiteral("SELECT bill_date FROM purchase_plans WHERE bill_no = ?"), {billNo})
        .toString();
}

qint32 PurchasePlanInfoService::GetSupplierID(const QString&, QString& supplierCode, double& taxRate) {
    QSqlQuery q = m_session->Db->Exec(QStringLiteral("SELECT id, tax_rate FROM suppliers WHERE code = ?"),
                                      {StorableText(supplierCode)});
    if (!q.next()) {
        taxRate = 0;
        return 0;
    }
    taxRate = q.value(1).toDouble();
    return q.value(0).toInt();
}

double PurchasePlanInfoService::GetPurchasePlanPrice(const QString&, qint32 supplierId, qint32 itemId,
                                                     double) {
    // No price for a user without the price right; the save prices a changed supplier itself.
    if (!Holds(*m_session, rights::Price))
        return 0;
    return SupplierListPrice(*m_session->Db, supplierId, itemId, 0, QDate::currentDate());
}

} // namespace zpp::services
