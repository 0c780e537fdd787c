#pragma once

#include "component/host/contracts/BillDataAccess.h"
#include "services/store/Session.h"

#include <QDate>
#include <optional>
#include <utility>
#include <vector>

namespace zpp::services {

// The list price of an item from a supplier valid on a day: the entry with the latest "valid
// from" not after that day, in the given unit (any unit when unitId is 0); 0 when there is none.
double SupplierListPrice(const store::Store& db, qint32 supplierId, qint32 itemId, qint32 unitId,
                         const QDate& day);
// A push line's entry: its "FInterID" and "FEntryID" as numbers, rounded to whole ones; fails with
// an Error for one beyond 32 bits.
using EntryKey = std::pair<qint32, qint32>;
EntryKey PushLineEntry(const KeyedRecord& line);
// The prices the entries hold in the store, in their order (0 for one that is gone): what lines from
// a user without the price right, who was sent no prices, are ordered at. Asked a few hundred to a
// statement, as such a user may push a whole plan.
std::vector<double> StoredEntryPrices(const store::Store& db, const std::vector<EntryKey>& entries);
// The price of the newest purchase order line of that supplier and item, or nothing.
std::optional<double> LastPurchasePrice(const store::Store& db, qint32 supplierId, qint32 itemId);

// Purchase prices for a new order line over the store.
class PriceService : public BillDataAccess {
public:
    explicit PriceService(store::SessionPtr session) : m_session(std::move(session)) {}

    // The request carries "SupplyID", "ItemID", "UnitID" and "UseLastPrice". With "UseLastPrice" 1
    // the price of the last order line of that supplier and item, when there is one; otherwise the
    // list price valid today. The answer's "AuxPrice" (and "Price") is that price, 0 when none is
    // known; "PriceSource" says where it came from ("LastPrice", "PriceList" or "None").
    RecordPtr GetSupplyInfo(const QString& props, RecordPtr& request) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
