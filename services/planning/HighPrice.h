#pragma once

#include "platform/records/KeyedRecord.h"
#include "services/store/Store.h"

#include <QDate>
#include <QVector>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

namespace zpp::services {

// Set (to 1) on a push line whose price the user was shown above its limit and chose to order
// anyway. The push refuses a line above its limit without it: the price list or the tolerance may
// have changed since the user was asked, and a caller may not have asked at all.
inline const QString kHighPriceConfirmedField = QStringLiteral("FHighPriceConfirmed");

// A push line whose price is above what the supplier's price list allows.
struct HighPriceLine {
    int Position = 0; // 1-based, in the push list
    int GridRow = 0;  // the plan grid row the line came from; the position when unknown
    QString ItemNumber, ItemName, SupplyNumber, SupplyName;
    double Price = 0, Allowed = 0, ListPrice = 0;
};

// The allowed excess over the list price in percent (system setting PO / HighPriceTolerance);
// 0 when it is missing, not a number or negative.
double HighPriceTolerance(const store::Store& db);

// The highest price the supplier's price list allows for the item in that unit on that day (the
// list price × (1 + tolerance / 100)), with that list price. Nothing when the list has no price
// for it (no limit).
struct PriceLimit {
    double ListPrice = 0, Allowed = 0;
};
std::optional<PriceLimit> HighPriceLimit(const store::Store& db, qint32 supplierId, qint32 itemId,
                                         qint32 unitId, const QDate& day, double tolerance);

// The limits of many (supplier, item, unit) keys on one day, asked in one statement per few hundred
// keys: a push of a whole plan meets each key many times over. A key without a list price maps to
// nothing (no limit).
using PriceKey = std::tuple<qint32, qint32, qint32>; // supplier, item, unit (0: any unit)
std::map<PriceKey, std::optional<PriceLimit>>
HighPriceLimits(const store::Store& db, const std::set<PriceKey>& keys, const QDate& day, double tolerance);

// A line of a user the store hides prices from, as the server is asked about it: its entry, and
// the supplier the line names.
struct HiddenPriceLine {
    qint32 Plan, Entry, Supplier;
};
// For a user the store hides prices from: the lines (their indexes, ascending) whose entry's stored
// price is above the limit its push is held to, as the server judges it from the stored entry alone
// (its supplier, its item's unit, today's price list and the stored tolerance) and tells no price.
// A thousand lines are asked in one call. unsaved, when given, gets the lines whose supplier is
// not their entry's stored one: a changed supplier not saved yet, which the push will not take.
std::vector<int> LinesAboveLimit(const store::Store& db, const std::vector<HiddenPriceLine>& lines,
                                 std::vector<int>* unsaved = nullptr);

// Whether price is above allowed. Grid prices are rounded texts: a price equal to the limit in
// its shown decimals is not above it.
bool AboveLimit(double price, double allowed);

// The push lines priced above list price × (1 + tolerance / 100) on that day. A line without a
// list price has no limit.
// storedPrices: the lines carry no price (the user has no price right) and are judged at the
// price their first entry holds, the price the push orders them at.
// hiddenPrices: the store keeps those prices from the user too (StoreHidesPrices): the server
// judges each line on today's list, whatever the day, and the lines found carry no figures. A line
// whose supplier was changed and not saved is refused, asking for a save first: the push orders at
// the stored supplier's price and would refuse it.
QVector<HighPriceLine> FindHighPriceLines(const store::Store& db, const RecordListPtr& pushList,
                                          const QDate& day, bool storedPrices = false,
                                          bool hiddenPrices = false);

} // namespace zpp::services
