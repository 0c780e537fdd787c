#pragma once

#include "platform/records/KeyedRecord.h"
#include "services/store/Session.h"
#include "support/TestStores.h"

namespace zpp::test {

// A store per test, SQLite or PostgreSQL, with the log-in sessions of admin and buyer (who here
// also holds the price right).
class PlanStoreTest : public ::testing::TestWithParam<StoreKind> {
protected:
    store::StorePtr db;
    store::SessionPtr admin, buyer;
    // False (and the test skips or fails) when the store kind is not available.
    bool Open();
};

// A small hand-made plan data set:
//   items 1 "1.01.001" (2/4 decimals), 2 "1.01.002" (3/2), 3 "1.02.001" (0/4, aux prop 1 "红色")
//   suppliers 1 "01.001" (13 %), 2 "01.0'2" (9 %, credit line 5000, forbid)
//   plans 10 "CGJY000010" 2024-05-01, 11 "CGJY000011" 2024-05-02, 12 "CGJY000009" 2024-05-02
// Entries in list order: 10_1, 10_2 (partly ordered) on 05-01; 12_1, 11_1, 11_2 (closed) on 05-02;
// 10_3 (closed, no supplier) on 05-03.
void SeedPlans(const store::Store& db);
void SeedPlansInTransaction(const store::Store& db);
void AddPlan(const store::Store& db, int id, const QString& billNo, const QString& date);
void AddEntry(const store::Store& db, int plan, int entry, const QString& date, int item, int supplier,
              double qty = 10, double ordered = 0, const QString& close = {});

} // namespace zpp::test
