#pragma once

#include "platform/records/KeyedRecord.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "services/store/Store.h"

#include <QStringList>
#include <QVector>
#include <functional>

// What the reliability cases and their worker processes share: the data they push, how they
// read a store back, and the one line format scripts/soak.sh collects figures in.
namespace zpp::reliability {

// True for the full (soak) form: ZPP_SOAK=1. The bounded form runs in seconds under ctest.
bool Soak();
int Scaled(int bounded, int full);

// "SQLite" or "PostgreSQL": the store column of the figure tables.
QString StoreName(const store::Store& db);
// FIGURE|<store>|<case>|<figure name>|<value> on stdout.
void Figure(const QString& store, const QString& caseName, const QString& name, const QVariant& value);

// The admin's session on a connection of its own to the store at location.
store::SessionPtr AdminSession(const QString& location);
// What the call failed with; empty when it went through.
QString Failure(const std::function<void()>& call);
// The list pushed into orders dated 2024-05-20; empty when it went through, else why not.
QString Push(services::PurchasePlanUpdateService& service, RecordListPtr list);

// One unit, item 1 (two decimals), suppliers 1 to 4.
void SeedMasterData(const store::Store& db);
// Plan `plan` (bill number RLJY + plan) with entries 1..entries of qty each, open, none ordered;
// entry e has supplier 1 + (e - 1) % suppliers.
void SeedPlan(const store::Store& db, int plan, int entries, double qty, int suppliers);
int SupplierOf(int entry, int suppliers);

struct Take {
    int Plan, Entry;
    double Qty;
};
// A push record as the component hands it over: one entry, or several folded into one line.
RecordPtr PushLine(int supplier, const QVector<Take>& takes);

// The crash case's push: `lines` lines over plans of 100 entries (4 suppliers), every tenth line
// folding a second entry that another line also takes from. Seeds what it needs when db is given.
RecordListPtr CrashPush(int lines, const store::Store* seedInto = nullptr);

// What a push writes, without the ids and times that differ between two runs of it.
QString Snapshot(const store::Store& db);

// Rows that break what a push promises: ordered more than planned, sources that do not add up to
// an entry's ordered quantity or to their line, orders without lines, lines without sources,
// a bill counter behind its orders, and on SQLite what its own integrity and foreign-key checks
// find. Empty when the store holds together.
QStringList Inconsistencies(const store::Store& db);

} // namespace zpp::reliability
