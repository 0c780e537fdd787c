#include "PlanFakes.h"
#include "component/grid/PlanGrid.h"
#include "component/host/contracts/Bills.h"
#include "component/host/contracts/LinkedBills.h"
#include "component/host/contracts/MrpDataServer.h"
#include "component/host/contracts/UserProfileInfo.h"
#include "component/operations/clsPurchasePlan.h"
#include "component/operations/frmMessage.h"
#include "component/operations/frmMrpResult.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/controls/SpreadGrid.h"

#include <QAbstractItemModelTester>
#include <QPlainTextEdit>

using namespace zpp;
using namespace zpp::test;

namespace {

// What the push's outside services saw and answer.
struct PushWorld {
    QString NewBillDateSetting = "1";
    QVector<bool> DateFlags;
    QDate NewBillDate{2026, 12, 10};
    bool PriceOk = true;
    qint16 PriceRow = 0; // the grid row the high-price form names when it stops
    QVector<qint16> PriceRowsGiven;
    int PriceCalls = 0;
    bool CreditOk = true;
    QString ControlType, Suppliers;
    int CreditCalls = 0;
    QVector<QPair<qint32, qint32>> Lookups; // direction, plan
    qint32 LookupEntry = 0;
    bool LookupFails = false;
    RecordSetPtr Orders;
    QString ShownOrder; // FInterID the bill window was opened on
    bool BillChanged = false;
    QStringList Refreshes;
};
PushWorld& Push() {
    static PushWorld world;
    return world;
}

class FakeUserProfile : public UserProfileInfo {
public:
    QString GetUserProfile(const QString&, const QString&, const QString&) override {
        return Push().NewBillDateSetting;
    }
};

class FakeMrp : public MrpDataServer {
public:
    QString GetSysInfo(const QString&, const QString&, const QString&) override { return "2"; }
    QString GetSupplierNameByNumber(const QString&, QString&) override { return {}; }
    bool IsSupplierright(const QString&, QString&, const QString&) override { return true; }
    bool CheckCreditDegrees(const QString&, RecordListPtr&, QString& type, QString& suppliers) override {
        ++Push().CreditCalls;
        type = Push().ControlType;
        suppliers = Push().Suppliers;
        return Push().CreditOk;
    }
    RecordSetPtr getPOOrderBills(const QString&) override {
        return std::make_shared<RecordSet>(*Push().Orders); // a fresh set each time
    }
    RecordListPtr RefreshPOOrderBill(const QString&, QString& ids) override {
        Push().Refreshes << ids;
        return ListOf({Order("华东五金", "POORD000009", "77")});
    }
    QDate GetNewBillDate(bool& today) override {
        Push().DateFlags << today;
        return Push().NewBillDate;
    }
    static RecordPtr Order(const QString& supplier, const QString& billNo, const QString& id) {
        RecordPtr r = KeyedRecord::Create();
        r->Set("FSupplyName", supplier);
        r->Set("FBillNO", billNo);
        r->Set("FDate", "2026-12-10");
        r->Set("FInterID", id);
        return r;
    }
};

class FakeBills : public Bills {
public:
    bool ShowPOHighPriceForm(const QString&, RecordListPtr&, qint16& row) override {
        ++Push().PriceCalls;
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

class FakeBillLookUp : public BillLookUp {
public:
    void ConnectView(qint32& direction, qint32& interId) override {
        if (Push().LookupFails)
            throw Error("联查服务不可用");
        Push().LookupEntry = ClassEntryID;
        Push().Lookups.push_back({direction, interId});
    }
};

struct Row {
    QString close = {}, finish = "2026-12-20", push = "10", supplier = "01.001";
    bool ticked = true;
    QString item = "1.01.001";
    QString price = "2.5";
};

class PushTest : public PlanFixture {
protected:
    void SetUp() override {
        PlanFixture::SetUp();
        Push() = PushWorld();
        RegisterService<FakeUserProfile>(progid::UserProfileInfo);
        RegisterService<FakeMrp>(progid::MrpDataServer);
        RegisterService<FakeBills>(progid::Bills);
        RegisterService<FakeBillLookUp>(progid::BillLookUp);
        RegisterService<OldDataSrv>(progid::OldDataSrv);
        grid.SetMaxCols(col::Count);
        grid.SetColCellType(col::CheckBox, controls::CellType::CheckBox);
        ops.SetSpread(&grid);
        ui::SetModalHandler([this](QDialog& dialog) {
            if (auto* m = qobject_cast<frmMessage*>(&dialog)) {
                m->Load();
                messages << m->ButtonMode + u':' + m->txtMessage->toPlainText();
            } else if (auto* r = qobject_cast<frmMrpResult*>(&dialog)) {
                resultIds = r->OrderInterID;
                resultRows = r->grdLedger->MaxRows() - 1;
            }
            return int(QDialog::Accepted);
        });
    }
    void TearDown() override {
        ui::SetModalHandler(nullptr);
        Push() = PushWorld();
        PlanFixture::TearDown();
    }
    void Fill(const QVector<Row>& rows) {
        grid.SetMaxRows(rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            const int row = i + 1;
            grid.SetText(col::InterID, row, "1");
            grid.SetText(col::EntryID, row, QString::number(row));
            grid.SetText(col::CheckBox, row, r.ticked ? "1" : "0");
            grid.SetText(col::Close, row, r.close);
            grid.SetText(col::FinishDate, row, r.finish);
            grid.SetText(col::PushQty, row, r.push);
            grid.SetText(col::Price, row, r.price);
            grid.SetText(col::Qty, row, "100");
            grid.SetText(col::PurchaseUnFinishQty, row, "100");
            grid.SetText(col::SupplyNumber, row, r.supplier);
            grid.SetText(col::SupplyID, row, r.supplier.isEmpty() ? "0" : "7");
            grid.SetText(col::ItemNumber, row, r.item);
            grid.SetText(col::ItemID, row, r.item == "1.01.001" ? "100" : "101");
            grid.SetText(col::BillNo, row, "PL1");
            grid.SetText(col::Key, row, QStringLiteral("1_%1").arg(row));
            grid.SetText(col::IsMerge, row, "0");
        }
    }
    int Pushes() const {
        int n = 0;
        for (const UpdateCall& c : Plans().Calls)
            n += c.Method == "PushBill";
        return n;
    }
    controls::SpreadGrid grid;
    clsPurchasePlan ops;
    QStringList messages;
    QString resultIds;
    int resultRows = -1;
};

} // namespace

TEST_F(PushTest, EveryProblemOfEveryTickedRowIsListedAtOnceAndNothingIsSent) {
    Fill({{.close = "Y", .finish = "", .push = "0"},
          {.finish = "2026-12-09", .push = "0", .supplier = ""},
          {.finish = "next week", .push = "many"},
          {.finish = "", .ticked = false},
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
    EXPECT_TRUE(messages[0].startsWith("vbYes:第1行物料已关闭")); // one-button mode
    EXPECT_EQ(Pushes(), 0);
    EXPECT_EQ(Push().PriceCalls, 0);
    EXPECT_TRUE(World().Log.isEmpty()) << "a refused push leaves no record";
    // "1" asks for today's date, "10" (holding a 0) for the profile's date; checked twice.
    EXPECT_EQ(Push().DateFlags, QVector<bool>({true, true}));
    Push().NewBillDateSetting = "10";
    ops.CheckPushRows();
    EXPECT_EQ(Push().DateFlags.last(), false);
}

TEST_F(PushTest, NothingOpenTickedIsRefusedBeforeAnyService) {
    Fill({{.ticked = false}});
    EXPECT_FALSE(ops.PushBill());
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "请勾选需要下推的数据！");
    EXPECT_EQ(Push().PriceCalls, 0);
    EXPECT_EQ(Pushes(), 0);
}

TEST_F(PushTest, ACleanPushSendsOneLinePerItemSupplierAndPriceAndShowsTheCreatedOrders) {
    // A row at another price is a line of its own, ordered at its own price: no price is asked.
    Fill({{.push = "10"}, {.push = "2.5"}, {.item = "1.01.002"}, {.push = "4", .price = "3"}});
    Plans().Price = [](qint32, qint32 item) { return item == 100 ? 8.5 : 3.0; };
    QDate sentDate;
    Plans().OnPush = [&](RecordListPtr& list, qint16 user, QString& ids, const QDate& date) {
        EXPECT_EQ(user, 1);
        sentDate = date;
        EXPECT_EQ(list->Count(), 3);
        ids = "77,78";
        return ListOf({FakeMrp::Order("华东五金", "POORD000009", "77"),
                       FakeMrp::Order("华南电子", "POORD000010", "78")});
    };
    EXPECT_TRUE(ops.PushBill());
    EXPECT_EQ(Push().PriceRowsGiven, QVector<qint16>({1}));
    EXPECT_EQ(Push().CreditCalls, 1);
    ASSERT_EQ(ops.PushVct()->Count(), 3);
    const RecordPtr first = ops.PushVct()->Item(1);
    EXPECT_DOUBLE_EQ(first->Get("FPushQty").toDouble(), 12.5);
    EXPECT_DOUBLE_EQ(first->Get("FPrice").toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(ops.PushVct()->Item(3)->Get("FPrice").toDouble(), 3);
    EXPECT_TRUE(Plans().PriceAsks.isEmpty());
    EXPECT_EQ(first->Get("Row").toInt(), 1); // the grid row travels with the line
    EXPECT_EQ(sentDate, QDate(2026, 12, 10));
    EXPECT_EQ(resultIds, "77,78");
    EXPECT_EQ(resultRows, 2);

    // No orders created: no result window.
    resultRows = -1;
    Plans().OnPush = [](RecordListPtr&, qint16, QString&, const QDate&) { return RecordListPtr(); };
    EXPECT_TRUE(ops.PushBill());
    EXPECT_EQ(resultRows, -1);
}

TEST_F(PushTest, HighPricesAndCreditLinesStopOrLetThePushGoOn) {
    Fill({{}, {.item = "1.01.002"}});
    Push().PriceOk = false;
    Push().PriceRow = 2;
    EXPECT_FALSE(ops.PushBill());
    EXPECT_EQ(grid.ActiveRow(), 2);
    EXPECT_EQ(grid.ActiveCol(), col::ItemNumber);
    EXPECT_EQ(Push().CreditCalls, 0);

    Push().PriceOk = true;
    Push().CreditOk = false;
    Push().Suppliers = "供应商 01.001 华东五金：信用额度 1000.00，未结金额 1200.00";
    const struct {
        QString Type;
        int Answer;
        bool Sent;
        QString Shown;
    } cases[] = {
        {"2", ui::No, false, "以下供应商已超过信用额度，是否保存？\r\n"},
        {"2", ui::Yes, true, "以下供应商已超过信用额度，是否保存？\r\n"},
        {"3", ui::Ok, false, "以下供应商已超出信用额度，不允许保存!\r\n"},
        {"9", 0, true, ""},
    };
    for (const auto& c : cases) {
        Plans().Calls.clear();
        prompts->Clear();
        Push().ControlType = c.Type;
        prompts->QueueAnswer(c.Answer);
        EXPECT_EQ(ops.PushBill(), c.Sent) << c.Type.toStdString();
        EXPECT_EQ(Pushes(), c.Sent ? 1 : 0) << c.Type.toStdString();
        if (c.Shown.isEmpty()) {
            EXPECT_TRUE(prompts->Log.isEmpty());
        } else {
            ASSERT_EQ(prompts->Log.size(), 1);
            EXPECT_EQ(prompts->Log[0].Text, c.Shown + Push().Suppliers);
        }
    }
}

TEST_F(PushTest, LinkedBillsOfTheFirstTickedRow) {
    Fill({{.ticked = false}, {}, {}});
    grid.SetText(col::InterID, 2, "42");
    ops.ViewBillUp(1);
    ASSERT_EQ(Push().Lookups.size(), 1);
    EXPECT_EQ(Push().Lookups[0], qMakePair(1, 42));
    EXPECT_EQ(Push().LookupEntry, 2);

    grid.SetText(col::EntryID, 2, "");
    ops.ViewBillUp(0);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "请先选择需要上查的物料记录数据！");

    grid.SetText(col::EntryID, 2, "5");
    Push().LookupFails = true;
    ops.ViewBillUp(1);
    ASSERT_EQ(prompts->Log.size(), 2);
    EXPECT_EQ(prompts->Log[1].Text, "数据操作错误:\r\n联查服务不可用");
}

TEST_F(PushTest, TheResultWindowOpensAnOrderAndReadsTheListAgainWhenItChanged) {
    frmMrpResult window;
    QAbstractItemModelTester tester(window.grdLedger->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    window.OrderInterID = "77,78";
    window.FieldDataVct = ListOf(
        {FakeMrp::Order("华东五金", "POORD000009", "77"), FakeMrp::Order("华南电子", "POORD000010", "78")});
    window.Load();
    ASSERT_EQ(window.grdLedger->MaxRows() - 1, 2);
    EXPECT_TRUE(window.grdLedger->isColumnHidden(3));
    EXPECT_EQ(window.grdLedger->model()->headerData(1, Qt::Horizontal).toString(), "单据编号");

    Push().Orders = std::make_shared<RecordSet>(QStringList{"FInterID", "FTranType", "FStatus"});
    for (int id : {76, 77, 78})
        Push().Orders->AddRow({id, 71, 0});
    window.grdLedger->SetCurrentRow(2);
    window.ToolClick("Modify");
    EXPECT_EQ(Push().ShownOrder, "78");
    EXPECT_TRUE(Push().Refreshes.isEmpty()); // unchanged: not read again

    Push().BillChanged = true;
    window.grdLedger->SetCurrentRow(1);
    Q_EMIT window.grdLedger->RowActivated(1);
    EXPECT_EQ(Push().ShownOrder, "77");
    EXPECT_EQ(Push().Refreshes, QStringList({"77,78"}));
    EXPECT_EQ(window.grdLedger->MaxRows() - 1, 1);
}
