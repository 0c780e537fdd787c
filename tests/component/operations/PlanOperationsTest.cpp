#include "PlanFakes.h"
#include "component/grid/PlanGrid.h"
#include "component/operations/MergeRows.h"
#include "platform/records/Values.h"

using namespace zpp;
using namespace zpp::test;

using PlanOperations = GridOpsFixture;

namespace {
// Each request of the last call, its fields as "key=value" joined by spaces.
QStringList Sent() {
    QStringList requests;
    for (const RecordPtr& r : *Plans().Calls.back().List) {
        QStringList fields;
        for (const QString& k : r->Keys())
            fields << k + "=" + r->Text(k);
        requests << fields.join(' ');
    }
    return requests;
}
} // namespace

TEST_F(PlanOperations, SaveSendsEveryRowOrTheMembersOfMergedRowsAndLeavesTheLogToTheService) {
    ASSERT_TRUE(ops.Save()) << "an empty grid is still sent";
    EXPECT_EQ(Plans().Calls[0].List->Count(), 0);
    EXPECT_FALSE(clsPurchasePlan().Save()) << "no grid";

    Fill({{.qty = "30", .push = "30"},
          {.ticked = false, .qty = "50", .push = "50"},
          {.qty = "20", .push = "20"}});
    auto replacement = RecordList::Create();
    Plans().OnUpdate = [&](const QString&, RecordListPtr& list) -> RecordListPtr {
        list = replacement;
        return nullptr;
    };
    ASSERT_TRUE(ops.Save());
    EXPECT_EQ(Plans().Calls[1].Method + "|" + Plans().Calls[1].Props,
              "UpdatePurchasePlanEntry|" + World().PropsString);
    ASSERT_EQ(Plans().Calls[1].List->Count(), 3);
    EXPECT_EQ(Plans().Calls[1].List->Item(2)->Text("FPushQty"), "50");
    EXPECT_EQ(ops.SaveVct(), replacement);

    Plans().OnUpdate = [](const QString&, RecordListPtr&) -> RecordListPtr { throw Error("数量不能为负"); };
    EXPECT_FALSE(ops.Save());
    EXPECT_TRUE(World().Log.isEmpty());
    EXPECT_TRUE(prompts->Log.isEmpty());

    // Merged: each member with its own quantity, or its share of one typed over the merged row.
    Plans().OnUpdate = nullptr;
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

TEST_F(PlanOperations, CloseUnCloseAndDeleteSendTheTickedRowsAndListEveryResultWithARow) {
    Fill({{.ticked = false}});
    for (const auto& [run, text] :
         {std::pair<std::function<void()>, QString>{[&] { ops.ClosePurchasePlan(); },
                                                    "请先选择需要关闭的数据！"},
          {[&] { ops.UnClosePurchasePlan(); }, "请先选择需要反关闭的数据！"},
          {[&] { EXPECT_FALSE(ops.DeletePurChasePlan()); }, "请先选择需要删除的数据！"}}) {
        prompts->Clear();
        run();
        ASSERT_EQ(prompts->Log.size(), 1) << text.toStdString();
        EXPECT_EQ(prompts->Log[0].Text + "|" + prompts->Log[0].Title, text + "|信息提示");
        EXPECT_EQ(prompts->Log[0].IconOf(), ui::Information);
    }
    EXPECT_TRUE(Plans().Calls.isEmpty());

    Fill({{.inter = 11, .bill = "P1", .item = "1.01"},
          {.inter = 11, .ticked = false},
          {.inter = 12, .entry = 4, .bill = "P2", .item = "2.02", .qty = "7.5"}});
    Plans().OnUpdate = [](const QString&, RecordListPtr&) {
        return ListOf({Result(1, 0, "E"), Result(QVariant(), 0, "no row"), Result(3, 1, "ignored"),
                       Result(3, 2, "odd")});
    };
    ops.ClosePurchasePlan();
    EXPECT_EQ(Plans().Calls.back().Method, "ClosePurchasePlan");
    EXPECT_EQ(Sent(), QStringList({"FInterID=11 FEntryID=1 Row=1", "FInterID=12 FEntryID=4 Row=3"}));
    EXPECT_EQ(resultLists, 1);
    EXPECT_EQ(title, "提示信息");
    EXPECT_EQ(lines, QStringList({"关闭[采购建议号：P1,物料代码：1.01,数量：100 ]该记录不成功!E",
                                  "关闭[采购建议号：P2,物料代码：2.02,数量：7.5 ]该记录成功",
                                  "关闭[采购建议号：P2,物料代码：2.02,数量：7.5 ]该记录不成功!"}));

    Plans().OnUpdate = [](const QString&, RecordListPtr&) { return RecordListPtr(); };
    ops.UnClosePurchasePlan();
    EXPECT_EQ(resultLists, 1) << "no results, no window";
    Plans().OnUpdate = [](const QString&, RecordListPtr&) { return ListOf({Result(1, 1)}); };
    ops.UnClosePurchasePlan();
    EXPECT_EQ(Plans().Calls.back().Method, "UnClosePurchasePlan");
    EXPECT_EQ(lines, QStringList({"反关闭[采购建议号：P1,物料代码：1.01,数量：100 ]该记录成功"}));
    Plans().OnUpdate = [](const QString&, RecordListPtr&) { return ListOf({Result(QVariant(), 1)}); };
    ops.UnClosePurchasePlan();
    EXPECT_EQ(resultLists, 3) << "results without rows still open the window";
    EXPECT_TRUE(lines.isEmpty());
    Plans().OnUpdate = [](const QString&, RecordListPtr&) -> RecordListPtr { throw Error("store locked"); };
    EXPECT_THROW(ops.ClosePurchasePlan(), Error);
}
