#pragma once

#include "component/host/contracts/PurchasePlanInfo.h"
#include "component/host/contracts/PurchasePlanUpdate.h"
#include "support/Fakes.h"

#include <functional>

namespace zpp::test {

struct PriceAsk {
    qint32 SupplyID, ItemID;
    double Qty;
};
struct UpdateCall {
    QString Method, Props;
    RecordListPtr List; // as the component handed it in
};

// What the planning fakes share with a test.
struct PlanWorld {
    std::function<double(qint32 supplyId, qint32 itemId)> Price; // none: no price (0)
    QVector<PriceAsk> PriceAsks;
    QVector<UpdateCall> Calls;
    // Runs inside each update call: may fail, fill Succeed, replace the list, give results.
    std::function<RecordListPtr(const QString& method, RecordListPtr& list)> OnUpdate;
    // Answers PushBill: the list, user ID and date it was given; may fill the order IDs.
    std::function<RecordListPtr(RecordListPtr& list, qint16 user, QString& orderIds, const QDate& date)>
        OnPush;
};
PlanWorld& Plans();

class FakePlanInfo : public PurchasePlanInfo {
public:
    RecordListPtr GetRptData(const QString&, RecordPtr&, const QString&, QString&) override {
        return nullptr;
    }
    QString GetBillDate(const QString&, QString&) override { return {}; }
    qint32 GetSupplierID(const QString&, QString&, double&) override { return 0; }
    double GetPurchasePlanPrice(const QString&, qint32 supplyId, qint32 itemId, double qty) override {
        Plans().PriceAsks.push_back({supplyId, itemId, qty});
        return Plans().Price ? Plans().Price(supplyId, itemId) : 0;
    }
};

class FakePlanUpdate : public PurchasePlanUpdate {
public:
    void UpdatePurchasePlanEntry(const QString& p, RecordListPtr& l) override {
        Run("UpdatePurchasePlanEntry", p, l);
    }
    RecordListPtr ClosePurchasePlan(const QString& p, RecordListPtr& l) override {
        return Run("ClosePurchasePlan", p, l);
    }
    RecordListPtr UnClosePurchasePlan(const QString& p, RecordListPtr& l) override {
        return Run("UnClosePurchasePlan", p, l);
    }
    RecordListPtr DeletePurChasePlan(const QString& p, RecordListPtr& l) override {
        return Run("DeletePurChasePlan", p, l);
    }
    RecordListPtr PushBill(const QString& p, RecordListPtr& l, qint16 user, QString& ids,
                           QDate& date) override {
        Plans().Calls.push_back({"PushBill", p, l});
        return Plans().OnPush ? Plans().OnPush(l, user, ids, date) : nullptr;
    }

private:
    RecordListPtr Run(const QString& method, const QString& props, RecordListPtr& list) {
        Plans().Calls.push_back({method, props, list});
        return Plans().OnUpdate ? Plans().OnUpdate(method, list) : nullptr;
    }
};

// Host fakes plus the planning fakes and the plan column set.
class PlanFixture : public HostFixture {
protected:
    void SetUp() override;
    void TearDown() override;
};

// A row record shaped like the grid's: every plan field, as text, over one shared key set.
RecordPtr MakeRow(const QHash<QString, QString>& values);
// What the grid gives back for merged rows: text cells, no member lists.
RecordListPtr AsGridRows(const RecordListPtr& merged);
RecordPtr Result(const QVariant& row, const QVariant& succeed, const QString& error = QString());
RecordListPtr ListOf(std::initializer_list<RecordPtr> records);

} // namespace zpp::test
