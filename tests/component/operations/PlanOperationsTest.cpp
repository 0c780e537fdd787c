#include "PlanFakes.h"
#include "component/grid/PlanGrid.h"
#include "component/operations/MergeRows.h"
#include "component/operations/clsPurchasePlan.h"
#include "component/operations/frmResultList.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Values.h"

using namespace zpp;
using namespace zpp::test;

namespace {

struct GridRow {
    int interId;
    int entryId;
    bool ticked;
    QString billNo;
    QString item = "1.01";
    QString qty = "100";
    QString push = "10";
};

class PlanOperations : public PlanFixture {
protected:
    void SetUp() override {
        PlanFixture::SetUp();
        grid.SetMaxCols(col::Count);
        grid.SetColCellType(col::CheckBox, controls::CellType::CheckBox);
        ops.SetSpread(&grid);
        ui::SetModalHandler([this](QDialog& dialog) {
            auto* window = qobject_cast<frmResultList*>(&dialog);
            EXPECT_TRUE(window) << "only the result list opens";
            if (window) {
                ++windowsShown;
                title = window->Title();
                lines = window->Lines();
            }
            return int(QDialog::Accepted);
        });
    }

    void Fill(const QVector<GridRow>& rows) {
        grid.SetMaxRows(rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const GridRow& r = rows[i];
            const int row = i + 1;
            grid.SetText(col::InterID, row, QString::number(r.interId));
            grid.SetText(col::EntryID, row, QString::number(r.entryId));
            grid.SetText(col::CheckBox, row, r.ticked ? "1" : "0");
            grid.SetText(col::BillNo, row, r.billNo);
            grid.SetText(col::ItemNumber, row, r.item);
            grid.SetText(col::Qty, row, r.qty);
            grid.SetText(col::PushQty, row, r.push);
            grid.SetText(col::PurchaseUnFinishQty, row, r.qty);
            grid.SetText(col::ItemID, row, "100");
            grid.SetText(col::SupplyID, row, "7");
            grid.SetText(col::Key, row, QStringLiteral("%1_%2").arg(r.interId).arg(r.entryId));
            grid.SetText(col::IsMerge, row, "0");
        }
    }

    // Writes rows into the grid as the list controller loads them: each field's text.
    void Load(const RecordListPtr& rows) {
        grid.SetMaxRows(rows->Count());
        for (int row = 1; row <= rows->Count(); ++row)
            for (int c = 1; c <= col::Count; ++c) {
                const QString field = PlanFieldNames().at(c - 1);
                if (c != col::CheckBox && rows->Item(row)->Exists(field))
                    grid.SetText(c, row, rows->Item(row)->Get(field).toString());
            }
    }

    controls::SpreadGrid grid;
    clsPurchasePlan ops;
    int windowsShown = 0;
    QString title;
    QStringList lines;
};

} // namespace

TEST_F(PlanOperations, SaveSendsEveryRowAndLeavesTheLogToTheService) {
    ASSERT_TRUE(ops.Save()) << "an empty grid is still sent";
    EXPECT_EQ(Plans().Calls[0].List->Count(), 0);
    EXPECT_TRUE(World().Log.isEmpty());

    Fill({{1, 1, true, "P1"}, {1, 2, false, "P1", "1.02", "5", "3"}});
    auto replacement = RecordList::Create();
    Plans().OnUpdate = [&](const QString&, RecordListPtr& list) -> RecordListPtr {
        list = replacement;
        return nullptr;
    };
    ASSERT_TRUE(ops.Save());
    const auto& call = Plans().Calls[1];
    EXPECT_EQ(call.Method, "UpdatePurchasePlanEntry");
    EXPECT_EQ(call.Props, World().PropsString);
    ASSERT_EQ(call.List->Count(), 2);
    EXPECT_EQ(call.List->Item(2)->Text("FPushQty"), "3");
    EXPECT_EQ(ops.SaveVct(), replacement);

    World().Log.clear();
    Plans().OnUpdate = [](const QString&, RecordListPtr&) -> RecordListPtr { throw Error("数量不能为负"); };
    EXPECT_FALSE(ops.Save());
    EXPECT_TRUE(World().Log.isEmpty());
    EXPECT_TRUE(prompts->Log.isEmpty());
    EXPECT_FALSE(clsPurchasePlan().Save()) << "no grid";
}

TEST_F(PlanOperations, SaveOfMergedViewSendsMembersWithTheirOwnOrPouredQuantities) {
    Fill({{1, 1, false, "P1", "1.01", "30", "30"},
          {1, 2, false, "P1", "1.01", "50", "50"},
          {1, 3, false, "P1", "1.01", "20", "20"}});
    Load(MergeView(ReadGridRows(grid)));
    State().IsMergedView = true;
    ASSERT_EQ(grid.MaxRows(), 1);

    auto pushed = [] {
        QVector<double> q;
        for (const auto& e : *Plans().Calls.back().List)
            q << values::Val(e->Get("FPushQty"));
        return q;
    };
    ASSERT_TRUE(ops.Save());
    EXPECT_EQ(pushed(), QVector<double>({30, 50, 20}));
    EXPECT_EQ(Plans().Calls.back().List->Item(2)->Text("FKey"), "1_2");

    grid.SetText(col::PushQty, 1, "60");
    ASSERT_TRUE(ops.Save());
    EXPECT_EQ(pushed(), QVector<double>({30, 30, 0}));
}

TEST_F(PlanOperations, NothingTickedShowsAMessageAndLogsNothing) {
    Fill({{1, 1, false, "P1"}});
    ops.ClosePurchasePlan();
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "请先选择需要关闭的数据！");
    EXPECT_EQ(prompts->Log[0].Title, "信息提示");
    EXPECT_EQ(prompts->Log[0].IconOf(), ui::Information);
    EXPECT_TRUE(World().Log.isEmpty());

    prompts->Clear();
    ops.UnClosePurchasePlan();
    EXPECT_EQ(prompts->Log[0].Text, "请先选择需要反关闭的数据！");
    EXPECT_TRUE(World().Log.isEmpty());

    prompts->Clear();
    EXPECT_FALSE(ops.DeletePurChasePlan());
    EXPECT_EQ(prompts->Log[0].Text, "请先选择需要删除的数据！");
    EXPECT_TRUE(Plans().Calls.isEmpty());
    EXPECT_EQ(windowsShown, 0);
}

TEST_F(PlanOperations, CloseSendsTickedRowsAndListsEveryResultWithARow) {
    Fill({{11, 1, true, "P1", "1.01", "100"}, {11, 2, false, "P1"}, {12, 4, true, "P2", "2.02", "7.5"}});
    Plans().OnUpdate = [](const QString& method, RecordListPtr& list) {
        EXPECT_EQ(method, "ClosePurchasePlan");
        return ListOf({Result(1, 0, "E"), Result(QVariant(), 0, "no row"), Result(3, 1, "ignored"),
                       Result(3, 2, "odd")});
    };
    ops.ClosePurchasePlan();

    ASSERT_EQ(Plans().Calls.size(), 1);
    const auto requests = Plans().Calls[0].List;
    ASSERT_EQ(requests->Count(), 2);
    EXPECT_EQ(requests->Item(1)->Keys(), QStringList({"FInterID", "FEntryID", "Row"}));
    EXPECT_EQ(requests->Item(2)->Text("FInterID"), "12");
    EXPECT_EQ(requests->Item(2)->Text("FEntryID"), "4");
    EXPECT_EQ(requests->Item(2)->Get("Row"), QVariant(qint32(3)));

    EXPECT_EQ(windowsShown, 1);
    EXPECT_EQ(title, "提示信息");
    EXPECT_EQ(lines, QStringList({"关闭[采购建议号：P1,物料代码：1.01,数量：100 ]该记录不成功!E",
                                  "关闭[采购建议号：P2,物料代码：2.02,数量：7.5 ]该记录成功",
                                  "关闭[采购建议号：P2,物料代码：2.02,数量：7.5 ]该记录不成功!"}));
}

TEST_F(PlanOperations, UnCloseUsesItsOwnCallAndWordAndServiceErrorsReachTheCaller) {
    Fill({{11, 1, true, "P1"}});
    ops.UnClosePurchasePlan();
    EXPECT_EQ(windowsShown, 0) << "no results, no window";
    Plans().OnUpdate = [](const QString&, RecordListPtr&) { return ListOf({Result(1, 1)}); };
    ops.UnClosePurchasePlan();
    EXPECT_EQ(Plans().Calls[1].Method, "UnClosePurchasePlan");
    EXPECT_EQ(lines, QStringList({"反关闭[采购建议号：P1,物料代码：1.01,数量：100 ]该记录成功"}));

    Plans().OnUpdate = [](const QString&, RecordListPtr&) { return ListOf({Result(QVariant(), 1)}); };
    ops.UnClosePurchasePlan();
    EXPECT_EQ(windowsShown, 2) << "results without rows still open the window";
    EXPECT_TRUE(lines.isEmpty());

    Plans().OnUpdate = [](const QString&, RecordListPtr&) -> RecordListPtr { throw Error("store locked"); };
    EXPECT_THROW(ops.ClosePurchasePlan(), Error);
}

TEST_F(PlanOperations, DeleteAsksWithEveryPlanNumberOnceAndSendsOneRequestPerPlan) {
    Fill({{11, 1, true, "P12"},
          {11, 2, true, "P12"},
          {11, 3, true, "P12"},
          {12, 1, true, "P1"},
          {13, 1, false, "P9"},
          {14, 1, true, "P3"}});
    prompts->QueueAnswer(ui::No);
    EXPECT_FALSE(ops.DeletePurChasePlan());
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "系统将删除采购建议号：\r\nP12,P3\r\n所关联的所有记录，是否继续？");
    EXPECT_EQ(prompts->Log[0].Buttons(), ui::YesNo);
    EXPECT_EQ(prompts->Log[0].IconOf(), ui::Information);
    EXPECT_EQ(prompts->Log[0].Title, "信息提示");
    EXPECT_TRUE(Plans().Calls.isEmpty());

    prompts->QueueAnswer(ui::Yes);
    Plans().OnUpdate = [](const QString& method, RecordListPtr& list) {
        EXPECT_EQ(method, "DeletePurChasePlan");
        auto results = RecordList::Create();
        for (const auto& request : *list) {
            const bool ordered = request->Text("FBillNo") == "P1";
            request->Set("Succeed", ordered ? 0 : 1);
            results->Add(Result(request->Get("Row"), ordered ? 0 : 1, ordered ? "已有下推记录" : ""));
        }
        return results;
    };
    EXPECT_TRUE(ops.DeletePurChasePlan());
    const auto requests = Plans().Calls[0].List;
    ASSERT_EQ(requests->Count(), 3);
    EXPECT_EQ(requests->Item(1)->Keys(), QStringList({"FInterID", "FBillNo", "Row", "Succeed"}));
    EXPECT_EQ(requests->Item(2)->Text("FBillNo"), "P1");
    EXPECT_EQ(requests->Item(2)->Get("Row"), QVariant(qint32(4)));
    EXPECT_EQ(requests->Item(3)->Text("FInterID"), "14");

    EXPECT_TRUE(World().Log.isEmpty()) << "the service logs each plan with its delete";
    EXPECT_EQ(lines, QStringList({"删除[采购建议号：P12 ]该记录成功",
                                  "删除[采购建议号：P1 ]该记录不成功!已有下推记录",
                                  "删除[采购建议号：P3 ]该记录成功"}));
}
