#pragma once

#include "component/host/contracts/MrpDataServer.h"
#include "services/store/Session.h"

namespace zpp::services {

// System settings, supplier names and rights, and the date of new bills, over the store.
class MrpDataService : public MrpDataServer {
public:
    explicit MrpDataService(store::SessionPtr session) : m_session(std::move(session)) {}

    // The setting's text; empty when it is not set.
    QString GetSysInfo(const QString& props, const QString& section, const QString& key) override;
    QString GetSupplierNameByNumber(const QString& props, QString& supplierCode) override;
    // A user may use every known supplier unless a supplier right says otherwise; an empty user ID
    // means the log-in user. An unknown supplier code is not usable.
    bool IsSupplierright(const QString& props, QString& supplierCode, const QString& userId) override;
    // Orders and credit checks come with the push; until then these fail with a clear message.
    bool CheckCreditDegrees(const QString& props, RecordListPtr& pushList, QString& controlType,
                            QString& suppliers) override;
    RecordSetPtr getPOOrderBills(const QString& props) override;
    RecordListPtr RefreshPOOrderBill(const QString& props, QString& orderIds) override;
    // True: today. False: the bill date of the newest purchase order the log-in user created,
    // so that a user entering bills of an earlier day keeps that day; today when there is none.
    QDate GetNewBillDate(bool& today) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
