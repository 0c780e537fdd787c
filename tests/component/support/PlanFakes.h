#pragma once

#include "component/host/contracts/BillDataAccess.h"
#include "component/host/contracts/MrpDataServer.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "component/host/contracts/PurchasePlanUpdate.h"
#include "support/Fakes.h"
#include "support/RecordLists.h"

#include <QSet>
#include <functional>

namespace zpp::test {

struct UpdateCall {
    QString Method, Props;
    RecordListPtr List; // as the component handed it in
};

// What the planning services' fakes share with a test.
struct PlanWorld {
    RecordListPtr Rows = RecordList::Create(); // what the plan report gives
    bool RptFails = false;
    int RptCalls = 0;
    QHash<QString, QString> SupplierNames;                           // code -> name
    QHash<QString, qint32> SupplierIds;                              // known codes carry a tax rate of 13
    QSet<QString> ForbiddenSuppliers;                                // codes IsSupplierright refuses
    std::function<double(qint32 supplyId, qint32 itemId)> PlanPrice; // merged rows; none: 0
    QStringList PlanPriceAsks;                                       // "supplier/item/quantity"
    double SupplyPrice = 0;                                          // a supplier cell's price
    bool SupplyPriceFails = false;
    QVector<RecordPtr> SupplyPriceRequests;
    QVector<UpdateCall> Calls;
    // Runs inside each update call: may fail, fill Succeed, replace the list, give results. None:
    // every request succeeds.
    std::function<RecordListPtr(const QString& method, RecordListPtr& list)> OnUpdate;
    // The push's credit check, created orders and new bill date.
    bool CreditOk = true;
    QString ControlType, CreditSuppliers;
    int CreditCalls = 0;
    RecordSetPtr Orders;
    QStringList Refreshes;
};
PlanWorld& Plans();

class FakePlanInfo : public PurchasePlanInfo {
public:
    RecordListPtr GetRptData(const QString&, RecordPtr& conditions, const QString&, QString&) override;
    QString GetBillDate(const QString&, QString&) override { return "2026-12-01"; }
    qint32 GetSupplierID(const QString&, QString& code, double& taxRate) override {
        taxRate = Plans().SupplierIds.contains(code) ? 13 : 0;
        return Plans().SupplierIds.value(code, 0);
    }
    double GetPurchasePlanPrice(const QString&, qint32 supplyId, qint32 itemId, double qty) override {
        Plans().PlanPriceAsks << QStringLiteral("%1/%2/%3").arg(supplyId).arg(itemId).arg(qty);
        return Plans().PlanPrice ? Plans().PlanPrice(supplyId, itemId) : 0;
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
    RecordListPtr PushBill(const QString& p, RecordListPtr& l, qint16, QString&, QDate&) override {
        Plans().Calls.push_back({"PushBill", p, l});
        return nullptr; // no orders: the orders a push makes are checked over the real store
    }

private:
    RecordListPtr Run(const QString& method, const QString& props, RecordListPtr& list);
};

class FakeMrp : public MrpDataServer {
public:
    QString GetSysInfo(const QString&, const QString&, const QString&) override { return "2"; }
    QString GetSupplierNameByNumber(const QString&, QString& code) override {
        return Plans().SupplierNames.value(code);
    }
    bool IsSupplierright(const QString&, QString& code, const QString&) override {
        return !Plans().ForbiddenSuppliers.contains(code);
    }
    bool CheckCreditDegrees(const QString&, RecordListPtr&, QString& type, QString& suppliers) override {
        ++Plans().CreditCalls;
        type = Plans().ControlType;
        suppliers = Plans().CreditSuppliers;
        return Plans().CreditOk;
    }
    // A fresh set each time.
    RecordSetPtr getPOOrderBills(const QString&) override {
        return Plans().Orders ? std::make_shared<RecordSet>(*Plans().Orders) : nullptr;
    }
    RecordListPtr RefreshPOOrderBill(const QString&, QString& ids) override;
    QDate GetNewBillDate(bool&) override { return {2026, 12, 10}; }
};

class FakePrices : public BillDataAccess {
public:
    RecordPtr GetSupplyInfo(const QString&, RecordPtr& request) override;
};

// Host fakes plus the planning services' fakes.
class PlanFixture : public HostFixture {
protected:
    void SetUp() override;
};

// An order the push created, as the created-orders window lists it.
RecordPtr Order(const QString& supplier, const QString& billNo, const QString& id);
RecordPtr Result(const QVariant& row, const QVariant& succeed, const QString& error = QString());

} // namespace zpp::test
