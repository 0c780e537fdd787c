#pragma once

#include "component/host/contracts/MrpDataServer.h"
#include "services/store/Session.h"

#include <optional>

namespace zpp::services {

// A supplier whose credit control refuses ("3") and whose open orders, with `adding` more, pass its
// credit line (to the cent). Read with the supplier's row locked on PostgreSQL, so the writer that
// asks holds the line until it commits; SQLite's write transaction already keeps others out.
// hiddenPrices: the store hides prices from the user (StoreHidesPrices); the server then judges
// the open orders itself, this transaction's lines held to what their entries gave, and Amount
// stays unknown (NaN), since it would tell the prices.
struct CreditOverrun {
    QString Code, Name;
    double Line = 0, Amount = 0;
    // "：信用额度 x，未结金额 y", or nothing when the amount is unknown.
    QString Figures() const;
};
std::optional<CreditOverrun> RefusingCreditOverrun(const store::Store& db, const QVariant& supplierId,
                                                   double adding, bool hiddenPrices = false);

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
    // Each supplier of the push with a credit line under control ("2" warn, "3" forbid): its open
    // orders (line quantity times price) plus this push (FPushQty times FPrice) against the line.
    // False when one is over: the strictest control of those over, and one line per supplier
    // over ("供应商 code name：信用额度 x，未结金额 y", joined by CR LF). True leaves both untouched.
    // When the store hides prices from the user the server judges the saved push quantities of the
    // lines' entries instead, and names no figures: a warning is then an estimate, and a refusing
    // supplier is refused here only when the list pushes at least those (else the push decides).
    bool CheckCreditDegrees(const QString& props, RecordListPtr& pushList, QString& controlType,
                            QString& suppliers) override;
    // Every purchase order by ID: FInterID, FBillNo, FDate, FSupplyID, FSupplyName, FTranType (71),
    // FStatus (0 open, 1 closed).
    RecordSetPtr getPOOrderBills(const QString& props) override;
    // The created-order records (FSupplyName, FBillNO, FDate, FInterID) of the comma-separated
    // order IDs, in that order; unknown IDs are left out, a list that is not IDs fails.
    RecordListPtr RefreshPOOrderBill(const QString& props, QString& orderIds) override;
    // True: today. False: the bill date of the newest purchase order the log-in user created,
    // so that a user entering bills of an earlier day keeps that day; today when there is none.
    QDate GetNewBillDate(bool& today) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
