#pragma once

#include "component/grid/PlanGrid.h"
#include "component/host/contracts/BillDataAccess.h"
#include "component/host/contracts/MrpDataServer.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "component/host/contracts/PurchasePlanUpdate.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "filter/FilterFakes.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"

#include <QTemporaryDir>
#include <memory>

namespace zpp::test {

// The planning services as the list sees them, answering from memory; the profile is the filter's fake.
struct PlanWorld {
    RecordListPtr Rows = RecordList::Create();
    bool RptFails = false;
    int RptCalls = 0;
    QString LastBillNo;
    QString DiscountDecimals = "2";
    QHash<QString, QString> SupplierNames; // code -> name
    QHash<QString, qint32> SupplierIds;
    QSet<QString> ForbiddenSuppliers; // codes IsSupplierright refuses
    QStringList RightChecks;          // "code/user" per IsSupplierright call
    QVector<RecordPtr> PriceRequests; // what GetSupplyInfo was given
    double Price = 0;
    bool PriceFails = false;
    // Calls of the update service, by operation name, with the list they were given.
    QVector<QPair<QString, RecordListPtr>> Updates;
    bool UpdateFails = false;
    bool UpdateInDoubt = false; // fails as a commit whose answer was lost
};
PlanWorld& Plan();

// A plan row with the fields the list shows; the rest may be added by the caller.
RecordPtr MakeRow(int interId, int entryId, const QString& item, double qty, const QString& close = {});

class FakePlanInfo : public PurchasePlanInfo {
public:
    RecordListPtr GetRptData(const QString&, RecordPtr& conditions, const QString&, QString& billNo) override;
    QString GetBillDate(const QString&, QString&) override { return "2026-12-01"; }
    qint32 GetSupplierID(const QString&, QString& code, double& taxRate) override {
        taxRate = Plan().SupplierIds.contains(code) ? 13 : 0;
        return Plan().SupplierIds.value(code, 0);
    }
    double GetPurchasePlanPrice(const QString&, qint32, qint32, double) override { return 0; }
};

class FakePlanUpdate : public PurchasePlanUpdate {
public:
    void UpdatePurchasePlanEntry(const QString&, RecordListPtr& l) override { Record("Update", l); }
    RecordListPtr ClosePurchasePlan(const QString&, RecordListPtr& l) override { return Record("Close", l); }
    RecordListPtr UnClosePurchasePlan(const QString&, RecordListPtr& l) override {
        return Record("UnClose", l);
    }
    RecordListPtr DeletePurChasePlan(const QString&, RecordListPtr& l) override {
        for (const RecordPtr& r : *l)
            r->Set("Succeed", 1);
        return Record("Delete", l);
    }
    RecordListPtr PushBill(const QString&, RecordListPtr&, qint16, QString&, QDate&) override {
        return nullptr;
    }

private:
    RecordListPtr Record(const QString& op, const RecordListPtr& list);
};

class FakeMrpServer : public MrpDataServer {
public:
    QString GetSysInfo(const QString&, const QString&, const QString&) override {
        return Plan().DiscountDecimals;
    }
    QString GetSupplierNameByNumber(const QString&, QString& code) override {
        return Plan().SupplierNames.value(code);
    }
    bool IsSupplierright(const QString&, QString& code, const QString& user) override {
        Plan().RightChecks << code + u'/' + user;
        return !Plan().ForbiddenSuppliers.contains(code);
    }
    bool CheckCreditDegrees(const QString&, RecordListPtr&, QString&, QString&) override { return true; }
    RecordSetPtr getPOOrderBills(const QString&) override { return nullptr; }
    RecordListPtr RefreshPOOrderBill(const QString&, QString&) override { return nullptr; }
    QDate GetNewBillDate(bool&) override { return QDate::currentDate(); }
};

class FakePrices : public BillDataAccess {
public:
    RecordPtr GetSupplyInfo(const QString&, RecordPtr& request) override;
};

// A window-less holder of a plan grid.
struct GridHost : PlanGridHost {
    controls::SpreadGrid grid;
    controls::SpreadGrid& vsProc() override { return grid; }
};

// Host fakes plus the planning and profile fakes.
class ListFixture : public HostFixture {
protected:
    void SetUp() override;
};

// A list controller over a window-less plan grid, with its own configuration directory.
class ControllerFixture : public ListFixture {
protected:
    QTemporaryDir config;
    GridHost host;
    std::unique_ptr<ClsPurchasePlanUI> ui;
    void SetUp() override {
        ListFixture::SetUp();
        ini::SetConfigDir(config.path());
        InitPlanGrid(host);
        ui = std::make_unique<ClsPurchasePlanUI>();
        ui->SetSpread(&host.grid);
        State().FilterConditions = KeyedRecord::Create();
    }
    void TearDown() override {
        ini::SetConfigDir({});
        ListFixture::TearDown();
    }
    void Load(int n) {
        Plan().Rows = RecordList::Create();
        for (int i = 1; i <= n; ++i)
            Plan().Rows->Add(MakeRow(1 + i / 10, i % 10, QString("1.01.%1").arg(i, 3, 10, QChar('0')), i));
        QString none;
        ui->Refresh(none);
    }
    controls::SpreadGrid& g() { return host.grid; }
};

} // namespace zpp::test
