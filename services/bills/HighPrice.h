#pragma once

#include "platform/records/KeyedRecord.h"
#include "services/store/Store.h"

#include <QDate>
#include <QVector>

namespace zpp::services {

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

// The push lines priced above list price × (1 + tolerance / 100) on that day. A line without a
// list price has no limit.
// storedPrices: the lines carry no price (the user has no price right) and are judged at the
// price their first entry holds, the price the push orders them at.
QVector<HighPriceLine> FindHighPriceLines(const store::Store& db, const RecordListPtr& pushList,
                                          const QDate& day, bool storedPrices = false);

} // namespace zpp::services
