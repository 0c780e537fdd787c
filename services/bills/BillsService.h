#pragma once

#include "component/host/contracts/Bills.h"
#include "component/host/contracts/LinkedBills.h"
#include "services/store/Session.h"

namespace zpp::services {

// The bill type of purchase orders in the order window.
inline constexpr qint32 kPurchaseOrderClassType = 208;
// The bill type of plan entries in the linked-bill lookup.
inline constexpr qint32 kPlanEntryClassType = -95;

// ZELBills.Bills: the high-price warning of a push and the purchase order window.
class BillsService : public Bills {
public:
    explicit BillsService(store::SessionPtr session) : m_session(std::move(session)) {}

    // Lines priced above the supplier's list price (valid today) plus the tolerance are listed in
    // a window. True without a window when there is none, or when the user goes on. False when
    // the user stops; row is then the plan grid row of the selected line (the "Row" the line
    // carries, else its 1-based position in the push list).
    bool ShowPOHighPriceForm(const QString& props, RecordListPtr& pushList, qint16& row) override;

    void SetOpt(qint32 userId, QString& userName) override;
    // Opens the order at the current row of ListRecordset (its FInterID); type 208 only.
    void Show(qint32 classTypeId, qint32 mode) override;
    bool billValueChanged() const override { return m_changed; }

private:
    store::SessionPtr m_session;
    bool m_changed = false;
};

// ZELClassLinkOld.OldDataSrv: the lookup reads the log-in's store; this only carries the type.
class OldDataSrvService : public OldDataSrv {
public:
    explicit OldDataSrvService(store::SessionPtr) {}
};

// ZELClassLookUp.BillLookUp: the bills linked to the plan entry (interId, ClassEntryID).
class BillLookUpService : public BillLookUp {
public:
    explicit BillLookUpService(store::SessionPtr session) : m_session(std::move(session)) {}

    // Opens the lookup window modally. Fails with an Error for another bill type or direction
    // and for an unknown plan entry.
    void ConnectView(qint32& direction, qint32& interId) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
