#include "BillsFixture.h"

#include "component/host/ProgIds.h"
#include "component/host/contracts/Bills.h"
#include "component/host/contracts/LinkedBills.h"
#include "services/bills/BillModels.h"
#include "services/bills/frmPurchaseOrder.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

using namespace zpp;
using namespace zpp::test;
using services::frmPurchaseOrder;
using services::OrderLinesModel;

namespace {
QTableView* List(QDialog& d) {
    return d.findChild<QTableView*>(d.objectName() == "frmBillLookUp" ? "grdBills" : "grdLines");
}
QString Cell(QDialog& d, int row, int column) {
    return List(d)->model()->index(row, column).data().toString();
}
// Types into a cell as a user does: select it, type, Enter.
void TypeInto(QDialog& d, int row, int column, const QString& text) {
    QTableView* view = List(d);
    view->setFocus();
    view->setCurrentIndex(view->model()->index(row, column));
    QTest::keyClick(view, Qt::Key_F2);
    // Closed editors linger until deferred deletion; the open one is the visible one.
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>())
        if (e->isVisible())
            editor = e;
    ASSERT_TRUE(editor) << "no editor opened";
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The view commits on Return through a queued call.
    QCoreApplication::processEvents();
}

// The order window as the push result window opens it.
bool OpenOrder(qint32 orderId, qint32 classType = 208) {
    auto orders = std::make_shared<RecordSet>(QStringList{"FInterID", "FBillNo", "FTranType", "FStatus"});
    orders->AddRow({2, "PO002", 71, 1});
    orders->AddRow({1, "PO001", 71, 0});
    orders->MoveFirst();
    orders->Find(QString("FInterID = %1").arg(orderId));
    auto bill = CreateObject<Bills>(progid::Bills);
    bill->ListRecordset = orders;
    QString user = "admin";
    bill->SetOpt(1, user);
    bill->Show(classType, 1);
    return bill->billValueChanged();
}

void LookUp(qint32 direction, qint32 interId, qint32 entryId) {
    auto source = CreateObject<OldDataSrv>(progid::OldDataSrv);
    source->ClassTypeID = -95;
    auto lookup = CreateObject<BillLookUp>(progid::BillLookUp);
    lookup->ClassTypeID = -95;
    lookup->ClassEntryID = entryId;
    lookup->dataSrv = source;
    lookup->ConnectView(direction, interId);
}

// The totals under the lines: with tax, without tax, tax; each shown right beside its caption.
QStringList Totals(QDialog& d) {
    QStringList figures;
    for (const char* name : {"lblTotalWithTax", "lblTotalWithoutTax", "lblTotalTax"}) {
        auto* figure = d.findChild<QLabel*>(name);
        auto* caption = figure ? figure->property("caption").value<QWidget*>() : nullptr;
        const bool beside = caption && figure->geometry().left() > caption->geometry().right() &&
                            figure->geometry().center().y() == caption->geometry().center().y();
        figures << (beside ? figure->text() : QString("(no %1 beside its caption)").arg(name));
    }
    return figures;
}

} // namespace

using BillWindow = BillsTest;

TEST_P(BillWindow, TheOrderAtTheRecordsetsRowOpensAndTypedEditsAreCheckedAndSaved) {
    ZPP_OPEN_OR_SKIP();
    OnModal([&](QDialog& d) {
        auto& w = dynamic_cast<frmPurchaseOrder&>(d);
        QAbstractItemModelTester tester(List(w)->model(),
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        EXPECT_EQ(w.windowTitle(), "采购订单 - PO001");
        EXPECT_EQ(w.findChild<QLineEdit*>("txtSupplier")->text(), "01.001 上海宏达五金有限公司");
        EXPECT_EQ(w.findChild<QLineEdit*>("txtBuyer")->text(), "系统管理员") << "the buyer by full name";
        EXPECT_EQ(Cell(w, 0, OrderLinesModel::Sources), "PP001 分录 1: 20.00; PP001 分录 2: 10.00");
        EXPECT_EQ(MissingAccessibleNames(w), QStringList());

        TypeInto(w, 0, OrderLinesModel::Qty, "abc");
        TypeInto(w, 0, OrderLinesModel::FinishDate, "2024-05-01");
        EXPECT_EQ(Cell(w, 0, OrderLinesModel::Qty), "30.00");
        TypeInto(w, 0, OrderLinesModel::Qty, "35");
        TypeInto(w, 0, OrderLinesModel::Price, "9.5");
        ASSERT_EQ(prompts->Log.size(), 2);
        EXPECT_EQ(prompts->Log[0].Text, "第 1 行“abc”不是有效的数字");
        EXPECT_EQ(prompts->Log[1].Text, "第 1 行交货日期不能早于订单日期 2024-05-10");
        QTest::keySequence(&w, QKeySequence::Save);
        EXPECT_EQ(prompts->Log.last().Text, "保存成功！");
        EXPECT_EQ(Cell(w, 0, OrderLinesModel::Sources), "PP001 分录 1: 25.00; PP001 分录 2: 10.00");

        // Above the price list's 10 plus 10%: the user is asked, and No saves nothing.
        TypeInto(w, 0, OrderLinesModel::Price, "12.5");
        prompts->QueueAnswer(ui::No);
        QTest::keySequence(&w, QKeySequence::Save);
        EXPECT_EQ(prompts->Log.last().Text, "第 1 行单价高于供应商价格表的限价，是否保存？");
        EXPECT_EQ(LinePrice(), 9.5);
        prompts->QueueAnswer(ui::Yes);
        QTest::keySequence(&w, QKeySequence::Save);
        EXPECT_EQ(prompts->Log.last().Text, "保存成功！");
        QTest::keyClick(List(w), Qt::Key_Escape);
        EXPECT_FALSE(w.isVisible());
    });
    EXPECT_TRUE(OpenOrder(1));
    EXPECT_EQ(LineQty(1, 1), 35);
    EXPECT_EQ(Ordered(1), 25);
    EXPECT_EQ(LinePrice(), 12.5);
}

// The price includes tax and the discount comes off it: 1340 × 2.88 less 5% is 3666.24, of which
// 3244.46 without 13% tax. The totals are the sums of the lines' figures and follow every edit.
TEST_P(BillWindow, AmountsTakeTheDiscountAndTheTotalsFollowEdits) {
    ZPP_OPEN_OR_SKIP();
    db->Exec("UPDATE purchase_order_lines SET qty = 1340, price = 2.88, discount_rate = 5"
             " WHERE order_id = 1 AND line_no = 2");
    OnModal([&](QDialog& w) {
        EXPECT_EQ(Cell(w, 0, OrderLinesModel::Amount), "300.00");
        EXPECT_EQ(Cell(w, 1, OrderLinesModel::Amount), "3666.24");
        EXPECT_EQ(Totals(w), (QStringList{"3966.24", "3509.95", "456.29"}));

        TypeInto(w, 1, OrderLinesModel::Qty, "1000");
        EXPECT_EQ(Cell(w, 1, OrderLinesModel::Amount), "2736.00");
        EXPECT_EQ(Totals(w), (QStringList{"3036.00", "2686.73", "349.27"}));
        TypeInto(w, 0, OrderLinesModel::Price, "9.5");
        EXPECT_EQ(Totals(w), (QStringList{"3021.00", "2673.45", "347.55"}));

        // Reloaded after the save, the order comes to the same.
        QTest::mouseClick(w.findChild<QAbstractButton*>("cmdSave"), Qt::LeftButton);
        EXPECT_EQ(prompts->Log.last().Text, "保存成功！");
        EXPECT_EQ(Totals(w), (QStringList{"3021.00", "2673.45", "347.55"}));
        w.reject();
    });
    EXPECT_TRUE(OpenOrder(1));
}

TEST_P(BillWindow, LeavingWithUnsavedEditsAsksAndClosedOrdersAreReadOnly) {
    ZPP_OPEN_OR_SKIP();
    prompts->QueueAnswer(ui::Cancel);
    prompts->QueueAnswer(ui::No);
    OnModal([&](QDialog& d) {
        TypeInto(d, 1, OrderLinesModel::Qty, "6");
        QTest::keyClick(List(d), Qt::Key_Escape); // Cancel: stays open
        EXPECT_TRUE(d.isVisible());
        d.findChild<QAbstractButton*>("cmdClose")->click(); // No: closes without saving
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_FALSE(OpenOrder(1));
    EXPECT_EQ(prompts->Log.size(), 2);
    EXPECT_EQ(prompts->Log[0].Text, "采购订单已修改，是否保存？");
    EXPECT_EQ(LineQty(1, 2), 5);

    OnModal([&](QDialog& d) {
        auto& w = dynamic_cast<frmPurchaseOrder&>(d);
        EXPECT_TRUE(w.IsReadOnly());
        EXPECT_EQ(w.findChild<QLabel*>("lblNote")->text(), "该采购订单已关闭，只能查看");
        EXPECT_FALSE(w.findChild<QAbstractButton*>("cmdSave")->isEnabled());
        EXPECT_FALSE(List(w)->model()->flags(List(w)->model()->index(0, OrderLinesModel::Qty)) &
                     Qt::ItemIsEditable);
        w.reject();
    });
    EXPECT_FALSE(OpenOrder(2));
    EXPECT_THROW(OpenOrder(1, 71), Error);
}

TEST_P(BillWindow, LookingDownEnterOpensTheOrderAndTheListShowsItsSave) {
    ZPP_OPEN_OR_SKIP();
    // Downstream: Enter opens the order; a save there shows in the list when it closes.
    int windows = 0;
    OnModal([&](QDialog& d) {
        ++windows;
        if (auto* order = dynamic_cast<frmPurchaseOrder*>(&d)) {
            EXPECT_EQ(order->windowTitle(), "采购订单 - PO001");
            TypeInto(*order, 0, OrderLinesModel::Qty, "28");
            EXPECT_TRUE(order->Save());
            order->reject();
            return;
        }
        EXPECT_EQ(d.windowTitle(), "下查 - 计划单 PP001 分录 2");
        // The order's number, its line's price and quantity.
        const auto line = [&] { return QStringList{Cell(d, 0, 0), Cell(d, 0, 6), Cell(d, 0, 7)}; };
        EXPECT_EQ(line(), (QStringList{"PO001", "10.00", "30.00"}));
        EXPECT_EQ(MissingAccessibleNames(d), QStringList());
        QTest::keyClick(List(d), Qt::Key_Return);
        EXPECT_EQ(line(), (QStringList{"PO001", "8.00", "28.00"}));
        d.reject();
    });
    LookUp(1, 1, 2);
    EXPECT_EQ(windows, 2);
}

INSTANTIATE_TEST_SUITE_P(Stores, BillWindow, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
