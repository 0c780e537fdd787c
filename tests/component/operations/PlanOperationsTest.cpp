#include "PlanFakes.h"
#include "component/grid/PlanGrid.h"
#include "component/operations/frmResultList.h"

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QTest>

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

TEST_F(PlanOperations, SaveSendsEveryRowAndLeavesTheLogToTheService) {
    ASSERT_TRUE(ops.Save()) << "an empty grid is still sent";
    EXPECT_EQ(Plans().Calls[0].List->Count(), 0);

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
}

TEST_F(PlanOperations, CloseAndUnCloseSendTheTickedRowsAndListEveryResultWithARow) {
    Fill({{.ticked = false}});
    ops.UnClosePurchasePlan();
    EXPECT_EQ(Shown(), QStringList{"请先选择需要反关闭的数据！"});
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
    EXPECT_EQ(title, "提示信息");
    EXPECT_EQ(lines, QStringList({"关闭[采购建议号：P1,物料代码：1.01,数量：100 ]该记录不成功!E",
                                  "关闭[采购建议号：P2,物料代码：2.02,数量：7.5 ]该记录成功",
                                  "关闭[采购建议号：P2,物料代码：2.02,数量：7.5 ]该记录不成功!"}));
    Plans().OnUpdate = [](const QString&, RecordListPtr&) { return RecordListPtr(); };
    ops.UnClosePurchasePlan();
    EXPECT_EQ(Plans().Calls.back().Method, "UnClosePurchasePlan");
    EXPECT_EQ(resultLists, 1) << "no results, no window";
}

// What people copy out of the result list: the selected lines, by the usual key.
TEST_F(PlanOperations, TheResultListCopiesTheSelectedLines) {
    frmResultList window;
    for (const char* line : {"关闭[P1]该记录成功|", "关闭[P2]该记录不成功!E|", "第三行|"})
        window.AddLine(line);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.lstResult->viewport(), Qt::LeftButton, {},
                      window.lstResult->visualItemRect(window.lstResult->item(0)).center());
    QTest::mouseClick(window.lstResult->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      window.lstResult->visualItemRect(window.lstResult->item(2)).center());
    QTest::keyClick(window.lstResult, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "关闭[P1]该记录成功\n第三行");
}
