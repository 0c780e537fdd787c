#include "PlanFakes.h"
#include "component/grid/PlanGrid.h"
#include "component/host/contracts/Bills.h"
#include "component/host/contracts/UserProfileInfo.h"
#include "component/operations/frmMrpResult.h"
#include "platform/controls/LedgerGrid.h"

#include <QAbstractItemModelTester>

using namespace zpp;
using namespace zpp::test;

namespace {

// What the push's outside services saw and answer.
struct PushWorld {
    bool PriceOk = true;
    qint16 PriceRow = 0; // the grid row the high-price form names when it stops
    QVector<qint16> PriceRowsGiven;
    QString ShownOrder; // FInterID the bill window was opened on
    bool BillChanged = false;
};
PushWorld& Push() {
    static PushWorld world;
    return world;
}

class FakeUserProfile : public UserProfileInfo {
public:
    QString GetUserProfile(const QString&, const QString&, const QString&) override { return "1"; }
    QString GetUserFullName(const QString&) override { return {}; }
};

class FakeBills : public Bills {
public:
    bool ShowPOHighPriceForm(const QString&, RecordListPtr&, qint16& row) override {
        Push().PriceRowsGiven << row;
        row = Push().PriceRow;
        return Push().PriceOk;
    }
    void SetOpt(qint32, QString&) override {}
    void Show(qint32 type, qint32) override {
        if (type == 208 && ListRecordset && !ListRecordset->Eof())
            Push().ShownOrder = ListRecordset->Text("FInterID");
    }
    bool billValueChanged() const override { return Push().BillChanged; }
};

class PushTest : public GridOpsFixture {
protected:
    void SetUp() override {
        GridOpsFixture::SetUp();
        Push() = PushWorld();
        RegisterService<FakeUserProfile>(progid::UserProfileInfo);
        RegisterService<FakeBills>(progid::Bills);
    }
};

} // namespace

TEST_F(PushTest, EveryProblemOfEveryTickedRowIsListedAtOnceAndNothingIsSent) {
    Fill({{.push = "0", .close = "Y", .finish = ""},
          {.push = "0", .supplier = "", .finish = "2026-12-09"},
          {.push = "many", .finish = "next week"},
          {.ticked = false, .finish = ""},
          {.finish = "2026-12-10"},
          {.push = "150"}});
    EXPECT_FALSE(ops.PushBill());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(ops.PushProblems(), "第1行物料已关闭,不能下推 \r\n"
                                  "第1行建议交货日期不能为空 \r\n"
                                  "第2行建议交货日期不能小于单据日期 \r\n"
                                  "第2行下推数量不能小于或等于'0' \r\n"
                                  "第2行供应商代码不能为空 \r\n"
                                  "第3行建议交货日期不是有效日期 \r\n"
                                  "第3行下推数量不能小于或等于'0' \r\n"
                                  "第6行下推数量不能大于未下达采购订单数量 \r\n");
    EXPECT_TRUE(
        messages[0].startsWith("确定:没有下推任何分录，也没有生成采购订单。\n第1行物料已关闭,不能下推 \n"
                               "第1行建议交货日期")); // one button, the first line saying nothing was pushed
    EXPECT_EQ(Calls("PushBill"), 0);
    EXPECT_TRUE(Push().PriceRowsGiven.isEmpty());
    EXPECT_TRUE(World().Log.isEmpty()) << "a refused push leaves no record";

    // A list of many refused rows names the first 200 problems and counts the rest.
    Fill(QVector<Row>(150, Row{.supplier = "", .finish = ""}));
    EXPECT_FALSE(ops.PushBill());
    EXPECT_EQ(ops.PushProblems().count("\r\n"), 201);
    EXPECT_TRUE(ops.PushProblems().endsWith("第100行供应商代码不能为空 \r\n……另有 100 个问题未列出\r\n"));

    // Nothing open ticked is refused before any service.
    Fill({{.ticked = false}});
    prompts->Clear();
    EXPECT_FALSE(ops.PushBill());
    EXPECT_EQ(Shown(), QStringList{"请勾选需要下推的数据！"});
    EXPECT_TRUE(Push().PriceRowsGiven.isEmpty());
    EXPECT_EQ(Calls("PushBill"), 0);
}

// Only the component asks about a supplier over its credit line or refuses the push for it.
TEST_F(PushTest, HighPricesAndCreditLinesStopOrLetThePushGoOn) {
    Fill({{}, {.item = "1.01.002"}});
    Push().PriceOk = false;
    Push().PriceRow = 2;
    EXPECT_FALSE(ops.PushBill());
    EXPECT_EQ(QPoint(grid.ActiveCol(), grid.ActiveRow()), QPoint(col::ItemNumber, 2));
    EXPECT_EQ(Plans().CreditCalls, 0);

    Push().PriceOk = true;
    Plans().CreditOk = false;
    Plans().CreditSuppliers = "供应商 01.001 华东五金";
    const std::tuple<QString, int, bool, QString> cases[] = {
        {"2", ui::No, false, "以下供应商已超过信用额度，是否保存？\r\n"},
        {"2", ui::Yes, true, "以下供应商已超过信用额度，是否保存？\r\n"},
        {"3", ui::Ok, false,
         "没有下推任何分录，也没有生成采购订单。\r\n以下供应商已超出信用额度，不允许保存!\r\n"}};
    for (const auto& [type, answer, sent, said] : cases) {
        Plans().Calls.clear();
        prompts->Clear();
        Plans().ControlType = type;
        prompts->QueueAnswer(answer);
        EXPECT_EQ(ops.PushBill(), sent) << type.toStdString();
        EXPECT_EQ(Calls("PushBill"), sent ? 1 : 0) << type.toStdString();
        EXPECT_EQ(Shown(), QStringList{said + Plans().CreditSuppliers});
    }
}

TEST_F(PushTest, TheResultWindowOpensAnOrderAndReadsTheListAgainWhenItChanged) {
    frmMrpResult window;
    QAbstractItemModelTester tester(window.grdLedger->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    window.OrderInterID = "77,78";
    window.FieldDataVct =
        ListOf({Order("华东五金", "POORD000009", "77"), Order("华南电子", "POORD000010", "78")});
    window.Load();
    ASSERT_EQ(window.grdLedger->MaxRows() - 1, 2);

    Plans().Orders = std::make_shared<RecordSet>(QStringList{"FInterID", "FTranType", "FStatus"});
    for (int id : {76, 77, 78})
        Plans().Orders->AddRow({id, 71, 0});
    window.grdLedger->SetCurrentRow(2);
    window.ToolClick("Modify");
    EXPECT_EQ(Push().ShownOrder, "78");
    EXPECT_TRUE(Plans().Refreshes.isEmpty()); // unchanged: not read again

    Push().BillChanged = true;
    window.grdLedger->SetCurrentRow(1);
    Q_EMIT window.grdLedger->RowActivated(1);
    EXPECT_EQ(Push().ShownOrder, "77");
    EXPECT_EQ(Plans().Refreshes, QStringList({"77,78"}));
    EXPECT_EQ(window.grdLedger->MaxRows() - 1, 1);
}

// Rows of one item and supplier become one order line only when price, date and note agree too;
// the line sums their quantities and lists them as members in plan and entry order. A cell that is
// no number reaches the service as typed, on a line of its own, for the service to refuse.
TEST_F(PushTest, RowsFoldIntoALineOnlyWhenEveryOrderedValueAgrees) {
    Fill({{.inter = 2, .entry = 3, .bill = "PL2", .push = "10"},
          {.inter = 1, .entry = 1, .push = "5"},
          {.inter = 1, .entry = 2, .push = "7", .price = "3"},
          {.inter = 3, .entry = 1, .bill = "PL3", .push = "4", .finish = "2026-12-21"},
          {.inter = 4, .entry = 1, .bill = "PL4", .push = "2", .price = "2.5元"},
          {.inter = 5, .entry = 1, .bill = "PL5", .push = "1", .price = "2.50", .finish = "2026-12-20"}});
    ASSERT_TRUE(ops.PushBill());
    ASSERT_EQ(Calls("PushBill"), 1);
    const RecordListPtr lines = Plans().Calls.back().List;
    ASSERT_EQ(lines->Count(), 4);
    auto text = [&](int line, const char* key) { return lines->Peek(line)->Text(key); };
    EXPECT_EQ(text(1, "FIsMerge") + "|" + text(1, "FPushQty") + "|" + text(1, "FBillNo") + "|" +
                  text(1, "Row"),
              "1|16|PL2,PL1,PL5|1");
    const RecordListPtr members = lines->Peek(1)->Object("EntryDataVct");
    ASSERT_EQ(members->Count(), 3);
    QStringList order;
    for (int m = 1; m <= members->Count(); ++m)
        order << members->Peek(m)->Text("FInterID") + "_" + members->Peek(m)->Text("FEntryID") + ":" +
                     members->Peek(m)->Text("FPushQty") + "@" + members->Peek(m)->Text("Row");
    EXPECT_EQ(order.join(' '), "1_1:5@2 2_3:10@1 5_1:1@6");
    for (int line : {2, 3, 4})
        EXPECT_EQ(text(line, "FIsMerge"), "0") << line;
    EXPECT_EQ(text(2, "FPrice") + "|" + text(3, "FFinishDate") + "|" + text(4, "FPrice"),
              "3|2026-12-21|2.5元");
    EXPECT_EQ(text(4, "FSupplyNumber") + "|" + text(4, "FItemNumber") + "|" + text(4, "FSupplyID"),
              "01.001|1.01.001|7");
}
