#include "MrpDataService.h"

#include "platform/records/Values.h"

namespace zpp::services {

namespace {
[[noreturn]] void NotYetAvailable(const char* operation) {
    throw Error(QStringLiteral("服务操作 %1 暂未提供").arg(QString::fromLatin1(operation)));
}
} // namespace

QString MrpDataService::GetSysInfo(const QString&, const QString& section, const QString& key) {
    return m_session->Db
        ->Scalar(QStringLiteral("SELECT value FROM system_settings WHERE section = ? AND key = ?"),
                 {section, key})
        .toString();
}

QString MrpDataService::GetSupplierNameByNumber(const QString&, QString& supplierCode) {
    return m_session->Db->Scalar(QStringLiteral("SELECT name FROM suppliers WHERE code = ?"), {supplierCode})
        .toString();
}

bool MrpDataService::IsSupplierright(const QString&, QString& supplierCode, const QString& userId) {
    const qint16 user = userId.trimmed().isEmpty() ? m_session->UserId : values::ToInt16(userId);
    const QVariant mayUse = m_session->Db->Scalar(
        QStringLiteral("SELECT COALESCE(r.may_use, 1) FROM suppliers s"
                       " LEFT JOIN user_supplier_rights r ON r.supplier_code = s.code AND r.user_id = ?"
                       " WHERE s.code = ?"),
        {user, supplierCode});
    return mayUse.isValid() && mayUse.toInt() == 1;
}

bool MrpDataService::CheckCreditDegrees(const QString&, RecordListPtr&, QString&, QString&) {
    NotYetAvailable("CheckCreditDegrees");
}

RecordSetPtr MrpDataService::getPOOrderBills(const QString&) {
    NotYetAvailable("getPOOrderBills");
}

RecordListPtr MrpDataService::RefreshPOOrderBill(const QString&, QString&) {
    NotYetAvailable("RefreshPOOrderBill");
}

QDate MrpDataService::GetNewBillDate(bool& today) {
    if (!today) {
        const QVariant last = m_session->Db->Scalar(
            QStringLiteral(
                "SELECT bill_date FROM purchase_orders WHERE created_by = ? ORDER BY id DESC LIMIT 1"),
            {m_session->UserId});
        if (const auto date = values::ParseDate(last))
            return *date;
    }
    return QDate::currentDate();
}

} // namespace zpp::services
