#pragma once

#include "component/grid/PlanGrid.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "filter/FilterFakes.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"
#include "support/PlanFakes.h"

#include <QTemporaryDir>
#include <memory>

namespace zpp::test {

// A plan row as the report gives it, with the fields the list shows; the rest may be added.
RecordPtr MakeRow(int interId, int entryId, const QString& item, double qty, const QString& close = {});

// A window-less holder of a plan grid.
struct GridHost : PlanGridHost {
    controls::SpreadGrid grid;
    controls::SpreadGrid& vsProc() override { return grid; }
};

// The planning fakes plus the profile fakes, and a configuration directory of its own.
class ListFixture : public PlanFixture {
protected:
    QTemporaryDir config;
    void SetUp() override {
        PlanFixture::SetUp();
        Filter() = FilterWorld();
        RegisterService<FakeProfile>(progid::ProfileRead);
        RegisterService<FakeProfile>(progid::Profile);
        ini::SetConfigDir(config.path());
    }
    void TearDown() override {
        ini::SetConfigDir({});
        PlanFixture::TearDown();
    }
};

// A list controller over a window-less plan grid.
class ControllerFixture : public ListFixture {
protected:
    GridHost host;
    std::unique_ptr<ClsPurchasePlanUI> ui;
    void SetUp() override {
        ListFixture::SetUp();
        InitPlanGrid(host);
        ui = std::make_unique<ClsPurchasePlanUI>();
        ui->SetSpread(&host.grid);
        State().FilterConditions = KeyedRecord::Create();
    }
    // Loads n rows of plan 1 (item 1.01.00i, quantity i times qty).
    void Load(int n, double qty = 1) {
        Plans().Rows = RecordList::Create();
        for (int i = 1; i <= n; ++i)
            Plans().Rows->Add(MakeRow(1, i, QString("1.01.%1").arg(i, 3, 10, QChar('0')), i * qty));
        QString none;
        ui->Refresh(none);
    }
    controls::SpreadGrid& g() { return host.grid; }
};

} // namespace zpp::test
