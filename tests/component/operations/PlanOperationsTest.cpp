#include "PlanFakes.h"
#include "component/grid/PlanGrid.h"
#include "component/operations/MergeRows.h"
#include "platform/records/Values.h"

using namespace zpp;
using namespace zpp::test;

using PlanOperations = GridOpsFixture;

TEST_F(PlanOperations, SaveSendsEveryRowAndLeavesTheLogToTheService) {
    ASSERT_TRUE(ops.Save()) << "an empty grid is still sent";
    EXPECT_EQ(Plans().Calls[0].List->Count(), 0);

    Fill({{.ticked = true}, {.ticked = false, .push = "3"}});
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

    Plans().OnUpdate = [](const QString&, RecordListPtr&) -> RecordListPtr { throw Error("数量不能为负"); };
    EXPECT_FALSE(ops.Save());
    EXPECT_TRUE(World().Log.isEmpty());
    EXPECT_TRUE(prompts->Log.isEmpty());
    EXPECT_FALSE(clsPurchasePlan().Save()) << "no grid";
}

TEST_F(PlanOperations, SaveOfMergedViewSendsMembersWithTheirOwnOrPouredQuantities) {
    Fill({{.qty = "30", .push = "30"}, {.qty = "50", .push = "50"}, {.qty = "20", .push = "20"}});
    Load(MergeView(ReadGridRows(grid)));
    State().IsMergedView = true;
    ASSERT_EQ(grid.MaxRows(), 1);
    auto pushed = [] {
        QStringList q;
        for (const auto& e : *Plans().Calls.back().List)
            q << e->Text("FKey") + "=" + QString::number(values::Val(e->Get("FPushQty")));
        return q.join(' ');
    };
    ASSERT_TRUE(ops.Save());
    EXPECT_EQ(pushed(), "1_1=30 1_2=50 1_3=20");
    grid.SetText(col::PushQty, 1, "60");
    ASSERT_TRUE(ops.Save());
    EXPECT_EQ(pushed(), "1_1=30 1_2=30 1_3=0");
}

TEST_F(PlanOperations, NothingTickedShowsAMessageAndSendsNothing) {
    Fill({{.ticked = false}});
    const std::pair<std::function<void()>, QString> cases[] = {
        {[&] { ops.ClosePurchasePlan(); }, "请先选择需要关闭的数据！"},
        {[&] { ops.UnClosePurchasePlan(); }, "请先选择需要反关闭的数据！"},
        {[&] { EXPECT_FALSE(ops.DeletePurChasePlan()); }, "请先选择需要删除的数据！"},
    };
    for (const auto& [run, text] : cases) {
        prompts->Clear();
        run();
        ASSERT_EQ(prompts->Log.size(), 1) << text.toStdString();
        EXPECT_EQ(prompts->Log[0].Text, text);
        EXPECT_EQ(prompts->Log[0].Title, "信息提示");
        EXPECT_EQ(prompts->Log[0].IconOf(), ui::Information);
    }
    EXPECT_TRUE(World().Log.isEmpty());
    EXPECT_TRUE(Plans().Calls.isEmpty());
    EXPECT_EQ(resultLists, 0);
}

TEST_F(PlanOperations, CloseSendsTickedRowsAndListsEveryResultWithARow) {
    Fill({{.inter = 11, .bill = "P1", .item = "1.01"},
          {.inter = 11, .ticked = false},
          {.inter = 12, .entry = 4, .bill = "P2", .item = "2.02", .qty = "7.5"}});
    Plans().OnUpdate = [](const QString& method, RecordListPtr&) {
        EXPECT_EQ(method, "ClosePurchasePlan");
        return ListOf({Result(1, 0, "E"), Result(QVariant(), 0, "no row"), Result(3, 1, "ignored"),
                       Result(3, 2, "odd")});
    };
    ops.ClosePurchasePlan();
    ASSERT_EQ(Plans().Calls.size(), 1);
    const auto requests = Plans().Calls[0].List;
    ASSERT_EQ(requests->Count(), 2);
    EXPECT_EQ(requests->Item(1)->Keys(), QStringList({"FInterID", "FEntryID", "Row"}));
    EXPECT_EQ(requests->Item(2)->Text("FInterID") + "_" + requests->Item(2)->Text("FEntryID"), "12_4");
    EXPECT_EQ(requests->Item(2)->Get("Row"), QVariant(qint32(3)));
    EXPECT_EQ(resultLists, 1);
    EXPECT_EQ(title, "提示信息");
    EXPECT_EQ(lines, QStringList({"关闭[采购建议号：P1,物料代码：1.01,数量：100 ]该记录不成功!E",
                                  "关闭[采购建议号：P2,物料代码：2.02,数量：7.5 ]该记录成功",
                                  "关闭[采购建议号：P2,物料代码：2.02,数量：7.5 ]该记录不成功!"}));
}

TEST_F(PlanOperations, UnCloseUsesItsOwnCallAndWordAndServiceErrorsReachTheCaller) {
    Fill({{.bill = "P1", .item = "1.01"}});
    Plans().OnUpdate = [](const QString&, RecordListPtr&) { return RecordListPtr(); };
    ops.UnClosePurchasePlan();
    EXPECT_EQ(resultLists, 0) << "no results, no window";
    Plans().OnUpdate = [](const QString&, RecordListPtr&) { return ListOf({Result(1, 1)}); };
    ops.UnClosePurchasePlan();
    EXPECT_EQ(Plans().Calls[1].Method, "UnClosePurchasePlan");
    EXPECT_EQ(lines, QStringList({"反关闭[采购建议号：P1,物料代码：1.01,数量：100 ]该记录成功"}));

    Plans().OnUpdate = [](const QString&, RecordListPtr&) { return ListOf({Result(QVariant(), 1)}); };
    ops.UnClosePurchasePlan();
    EXPECT_EQ(resultLists, 2) << "results without rows still open the window";
    EXPECT_TRUE(lines.isEmpty());

    Plans().OnUpdate = [](const QString&, RecordListPtr&) -> RecordListPtr { throw Error("store locked"); };
    EXPECT_THROW(ops.ClosePurchasePlan(), Error);
}

TEST_F(PlanOperations, DeleteAsksWithEveryPlanNumberOnceAndSendsOneRequestPerPlan) {
    Fill({{.inter = 11, .bill = "P12"},
          {.inter = 11, .bill = "P12"},
          {.inter = 11, .bill = "P12"},
          {.inter = 12, .bill = "P1"},
          {.inter = 13, .ticked = false, .bill = "P9"},
          {.inter = 14, .bill = "P3"}});
    prompts->QueueAnswer(ui::No);
    EXPECT_FALSE(ops.DeletePurChasePlan());
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "系统将删除采购建议号：\r\nP12,P3\r\n所关联的所有记录，是否继续？");
    EXPECT_EQ(prompts->Log[0].Style, ui::YesNo | ui::Information);
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
