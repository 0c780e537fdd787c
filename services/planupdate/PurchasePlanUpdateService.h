#pragma once

#include "component/host/contracts/PurchasePlanUpdate.h"
#include "services/store/Session.h"

#include <functional>

namespace zpp::services {

// The close mark of a closed entry. An open entry has a blank mark: that is what GetRptData
// shows and what its "hide closed" filter tests.
inline const QString kClosedMark = QStringLiteral("Y");

// Writes plan entries over the store: the grid's edits, close marks and deletes of whole plans.
class PurchasePlanUpdateService : public PurchasePlanUpdate {
public:
    explicit PurchasePlanUpdateService(store::SessionPtr session) : m_session(std::move(session)) {}

    // Writes supplier, price, push quantity, rates, delivery date and note of every entry record
    // (by FInterID and FEntryID) in one transaction; a key a record lacks leaves that field as
    // stored. A value that is not valid there, an unknown supplier or a vanished entry fails the
    // whole call with an Error naming plan number, entry and field, and nothing is written.
    void UpdatePurchasePlanEntry(const QString& props, RecordListPtr& entries) override;
    // One result per request, in request order; an entry that is gone or already in the asked
    // state fails with its reason, the others change, all in one transaction.
    RecordListPtr ClosePurchasePlan(const QString& props, RecordListPtr& requests) override;
    RecordListPtr UnClosePurchasePlan(const QString& props, RecordListPtr& requests) override;
    // Deletes each requested plan (FInterID) with its entries, one transaction per plan. A plan with
    // an entry already ordered, or linked to an order line, stays and fails with the entries that
    // hold it. "Succeed" is set in each request record as well as in the result.
    RecordListPtr DeletePurChasePlan(const QString& props, RecordListPtr& requests) override;
    // Turns the push lines into purchase orders, one per supplier and one line per push record,
    // in one transaction: every plan entry behind the list is locked and read again, and the whole
    // push is refused with an Error naming plan number and entry when one is gone, closed, without
    // or with another supplier, or has less left to order than is pushed from it. The entries'
    // ordered quantities rise by what the lines took from them. Null for an empty list.
    RecordListPtr PushBill(const QString& props, RecordListPtr& pushList, qint16 userId, QString& orderIds,
                           QDate& newBillDate) override;

    // Called before every statement a push runs, so a test can break a push at any step.
    void SetPushStatementHook(std::function<void()> hook) { m_pushHook = std::move(hook); }

private:
    RecordListPtr SetCloseMark(const RecordListPtr& requests, bool close);

    store::SessionPtr m_session;
    std::function<void()> m_pushHook;
};

} // namespace zpp::services
