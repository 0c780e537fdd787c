#include "AppFixture.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "services/access/frmUsers.h"
#include "support/OrderedElsewhere.h"
#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QThread>
#include <QTimer>
#include <libpq-fe.h>

using namespace zpp;
using namespace zpp::test;

// Started in filter mode, the wired component lists today's open entries. A scheme saved in the
// filter dialog as "Bob's" is kept as "Bob''s" and saving over it replaces it. A reload the user
// stops, plain or with new conditions, leaves list and conditions as they were.
TEST_P(AppTest, TheWiredListShowsTodaysOpenEntriesAndAStoppedReloadKeepsThem) {
    LogIn();
    Answer([this](QDialog& d) {
        auto* item = d.findChild<QLineEdit*>("txtBItemNumber");
        for (const char* text : {"first", "second"}) {
            item->setText(text);
            text == QString("first") ? prompts->QueueInput(QString("Bob's")) : prompts->QueueAnswer(ui::Yes);
            d.findChild<QAction*>("tlbSave")->trigger();
        }
        item->clear();
        d.findChild<QPushButton*>("cmdOK")->click();
    });
    ClsPurchasePlanMain().Show();
    ASSERT_EQ(OpenListWindows().size(), 1);
    frmPurchasePlan* list = OpenListWindows()[0];
    EXPECT_EQ(Rows(*db, "SELECT s.name, v.value FROM filter_schemes s JOIN filter_scheme_values v"
                        " ON v.scheme_id = s.id WHERE v.key = 'BItem' ORDER BY s.id"),
              "Bob''s|second");
    EXPECT_EQ(GetPropsValue("UserName"), "admin");
    for (const char* id : progid::CreatedByComponent)
        EXPECT_NO_THROW(HostObjectFactory::Instance().Create(QString::fromLatin1(id))) << id;
    // A host creates the component itself by its identifier.
    EXPECT_TRUE(CreateObject<ClsPurchasePlanMain>(QString::fromLatin1(progid::PurchasePlanMain)));
    const int expected = Count("SELECT COUNT(*) FROM plan_entries WHERE entry_date = ? AND close_mark = ''",
                               {QDate::currentDate().toString("yyyy-MM-dd")});
    EXPECT_GT(expected, 10);
    EXPECT_EQ(list->vsProc().MaxRows(), expected);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan001'"), 1);

    list->vsProc().SetText(col::Memo, 1, "kept");
    const QString kept = State().FilterConditions->Text("BDate");
    {
        longwork::Scope stop([] { return false; });
        list->ToolClick("iRefresh");
        Answer([](QDialog& d) {
            d.findChild<QDateEdit*>("dtpBDate")->setDate(QDate(2000, 1, 1));
            d.findChild<QPushButton*>("cmdOK")->click();
        });
        list->ToolClick("iFilter");
    }
    EXPECT_EQ(QString::number(list->vsProc().MaxRows()) + "|" + list->vsProc().Text(col::Memo, 1) + "|" +
                  State().FilterConditions->Text("BDate"),
              QString::number(expected) + "|kept|" + kept);
    EXPECT_EQ(prompts->Log.size(), 2) << "the scheme's name and whether to save over it";
}

// Started on one plan's bill number, the list shows that plan's entries. Each command a user lacks
// the right for says so and opens nothing.
TEST_P(AppTest, BillModeListsOnePlanAndCommandsWithoutTheirRightAreRefused) {
    LogIn("buyer");
    QString bill = db->Scalar("SELECT bill_no FROM purchase_plans ORDER BY id").toString();
    ClsPurchasePlanMain().Show(bill);
    ASSERT_EQ(OpenListWindows().size(), 1);
    frmPurchasePlan* list = OpenListWindows()[0];
    QStringList shown;
    for (int r = 1; r <= list->vsProc().MaxRows(); ++r)
        shown << list->vsProc().Text(col::BillNo, r);
    EXPECT_EQ(shown, QStringList(Count("SELECT COUNT(*) FROM plan_entries e JOIN purchase_plans p"
                                       " ON p.id = e.plan_id WHERE p.bill_no = ?",
                                       {bill}),
                                 bill));
    shown.clear();
    Answer([&](QDialog& d) { shown << d.objectName(); });
    list->Tool("mnuFile", "iImport")->trigger();
    list->Tool("mnuFile", "iUsers")->trigger();
    list->close();
    LogIn("guest");
    ClsPurchasePlanMain().Show();
    EXPECT_EQ(shown + Said(true), QStringList({"信息提示: 对不起，你没有相应的权限！",
                                               "信息提示: 只有拥有全部权限的管理员才能管理用户与权限",
                                               "信息提示: 对不起，你没有相应的权限！"}));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan001'"), 1)
        << "buyer's alone";
}

TEST(Help, TheGuideShipsInBothLanguages) {
    for (const char* lang : {"zh", "en"}) {
        QFile guide(QStringLiteral(":/help/%1.html").arg(lang));
        ASSERT_TRUE(guide.open(QIODevice::ReadOnly)) << lang;
        EXPECT_TRUE(guide.readAll().contains("id=\"ZelPurchasePlan.frmPurchasePlan\"")) << lang;
    }
}

// A push that runs long shows a progress window. Assistive technology finds it among the
// program's windows while the push runs and presses its 取消: nothing is ordered. Stopped during
// its checks, it asks nothing either; after another user ordered one of its entries it is refused
// whole, naming the row the list shows. Each keeps the user's ticks, and 下查 follows the first.
TEST_P(AppTest, APushStoppedOrRefusedOrdersNothingAndKeepsTheTicks) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    controls::SpreadGrid& g = list->vsProc();
    const QList<int> rows = PushableRows(g, 8);
    ASSERT_GE(rows.size(), 2);
    bool pressed = false;
    QTimer reader;
    reader.setInterval(20);
    QObject::connect(&reader, &QTimer::timeout, [&] {
        QAccessibleInterface* app = QAccessible::queryAccessibleInterface(qApp);
        for (int i = 0; app && !pressed && i < app->childCount(); ++i) {
            QAccessibleInterface* window = app->child(i);
            for (int j = 0;
                 window && window->text(QAccessible::Name) == "正在下推…" && j < window->childCount(); ++j) {
                QAccessibleInterface* button = window->child(j);
                if (button && button->role() == QAccessible::Button &&
                    button->text(QAccessible::Name) == "取消" && button->actionInterface()) {
                    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
                    pressed = true;
                }
            }
        }
    });
    reader.start();
    QStringList shown;
    FollowPush([&](QDialog& d) { shown << d.objectName() + ": " + d.windowTitle(); });
    const QString key = g.Text(col::Key, rows[1]);
    for (int round : {0, 1, 2}) {
        // Slow: every look of the push at whether to go on takes a while, as over a slow network.
        // Stopped: while the list's rows are checked, before the high-price question.
        longwork::Scope scope([round] {
            QThread::msleep(round == 0 ? 120 : 0);
            return round != 1;
        });
        if (round == 2) {
            db->InTransaction([&] {
                OrderElsewhere(*db, key.section('_', 0, 0).toInt(), key.section('_', 1).toInt(),
                               Entry(key, "unordered_qty").toDouble());
            });
        }
        const int orders = Count("SELECT COUNT(*) FROM purchase_orders");
        shown.clear();
        prompts->Clear();
        list->ToolClick("PushBill");
        ASSERT_EQ(prompts->Log.size(), 1) << round;
        EXPECT_TRUE(prompts->Log[0].Text.contains(
            round < 2 ? QString("下推已取消，没有生成任何订单")
                      : QString("第%1行（采购建议号[%2]分录号 %3）")
                            .arg(rows[1])
                            .arg(g.Text(col::BillNo, rows[1]), key.section('_', 1))))
            << prompts->Log[0].Text.toStdString();
        EXPECT_EQ(Count("SELECT COUNT(*) FROM purchase_orders"), orders) << round;
        EXPECT_EQ(g.Text(col::CheckBox, rows[0]), "1") << round;
        if (round == 1)
            EXPECT_TRUE(shown.isEmpty()) << shown.join(',').toStdString();
    }
    EXPECT_TRUE(pressed) << "the progress window and its button were found through the interface";
    shown.clear();
    list->ToolClick("ViewBillDown");
    EXPECT_EQ(shown,
              QStringList(QString("frmBillLookUp: 下查 - 第%1行（计划单 %2 分录 %3）")
                              .arg(rows[0])
                              .arg(g.Text(col::BillNo, rows[0]), g.Text(col::Key, rows[0]).section('_', 1))));
}

// Export writes the whole list or the chosen block and print a PDF, each logged; the preview's
// PDF needs the export right and is logged as an export; page setups hold at the next start.
TEST_P(AppTest, ExportPrintPreviewAndAPageSetupThatHoldsAtTheNextStart) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    const int rows = list->vsProc().MaxRows();
    QTemporaryDir out;
    const QString pdf = out.filePath("计划.pdf");
    auto lines = [&] {
        QFile csv(out.filePath("plan.csv"));
        return csv.open(QIODevice::ReadOnly) ? int(csv.readAll().count("\r\n")) : -1;
    };
    double margin = 31;
    WriteFiles(out.path(), [&](QDialog& d) {
        if (d.objectName() == "dlgSavePdf") {
            static_cast<QFileDialog&>(d).selectFile(pdf);
            return int(QDialog::Accepted);
        }
        if (auto* setup = d.findChild<QAction*>("actSetup")) { // the preview: its page setup and PDF
            setup->trigger();
            d.findChild<QAction*>("actPdf")->trigger();
        } else if (auto* top = d.findChild<QDoubleSpinBox*>("txtMarginTop")) {
            top->setValue(margin);
            d.findChild<QComboBox*>("cboPageMode")->setCurrentIndex(1);
            return int(QDialog::Accepted);
        }
        return int(QDialog::Rejected);
    });
    // A click in a cell selects no rows: the whole list is written; a block of three rows chosen
    // with Shift and a click is written alone.
    Hands h{*list};
    h.Click(col::ItemNumber, 2);
    h.Tool("Export");
    EXPECT_EQ(lines(), rows + 1);
    h.Click(col::ItemNumber, 4, Qt::ShiftModifier);
    h.Tool("Export");
    EXPECT_EQ(lines(), 3 + 1);
    list->ToolClick("Print");
    EXPECT_GT(QFileInfo(out.filePath("plan.pdf")).size(), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan003'"), 1);
    list->ToolClick("iPrintSetup");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM report_formats WHERE format_key = ?", {"0_采购计划表_HeadFoot"}),
              1);

    // Print and preview without export: the PDF is refused as the list's Export is.
    margin = 33;
    db->Exec("UPDATE user_rights SET granted_mask = ? WHERE user_id = 1", {2147483647 - rights::Export});
    list->ToolClick("PrintView");
    EXPECT_FALSE(QFileInfo::exists(pdf));
    db->Exec("UPDATE user_rights SET granted_mask = 2147483647 WHERE user_id = 1");
    list->ToolClick("PrintView");
    EXPECT_GT(QFileInfo(pdf).size(), 0);
    EXPECT_EQ(RowTexts(*db, "SELECT operation_name FROM operation_log WHERE object_code = 'CGPlan004'"
                            " ORDER BY id DESC")
                  .value(0),
              "采购计划表引出（PDF：" + QDir::toNativeSeparators(pdf) + "）");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan004'"), 3);
    // The second export asked before it replaced the first file.
    EXPECT_EQ(Said(), QStringList({"文件“" + out.filePath("plan.csv") + "”已存在。要替换它吗？",
                                   "对不起，你没有相应的权限！"}));

    list->close();
    frmPurchasePlan* again = OpenList();
    ASSERT_TRUE(again);
    auto* ledger = again->findChild<controls::LedgerGrid*>("LdgPreview");
    EXPECT_DOUBLE_EQ(ledger->Margin(controls::Top), 33);
    EXPECT_EQ(ledger->PageMode(), controls::FitToWidth);
}

// 文件 → 用户与权限: the administrator adds a user, sets its password (PostgreSQL), ticks rights with
// the keyboard and types the suppliers a user may not use; the rights tables, and on PostgreSQL
// the roles, follow. A refused save writes nothing and keeps what was typed.
TEST_P(AppTest, TheAdministratorGrantsARightInTheUsersWindow) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    const bool pg = !db->IsSQLite();
    const int first = services::frmUsers::kFirstRight;
    ui::SetModalHandler([&](QDialog& d) {
        if (auto* password = qobject_cast<QInputDialog*>(&d)) {
            password->setTextValue("n3w-secret");
            return int(QDialog::Accepted);
        }
        d.show();
        auto* view = d.findChild<QTableView*>("grdUsers");
        QAbstractItemModel* model = view->model();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        QStringList captions;
        for (int c = 0; c < model->columnCount(); ++c)
            captions << model->headerData(c, Qt::Horizontal).toString();
        EXPECT_EQ(captions.join(','), "用户,姓名,查询,保存,关闭,删除,下推,引出,打印,单价,导入,禁用的供应商");
        auto click = [&](const char* button) {
            QTest::mouseClick(d.findChild<QPushButton*>(button), Qt::LeftButton);
        };
        // The editor F2 opens on a cell, if any.
        auto edit = [&](int row, int column) -> QLineEdit* {
            view->setCurrentIndex(model->index(row, column));
            QTest::keyClick(view, Qt::Key_F2);
            for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>())
                if (e->isVisible())
                    return e;
            return nullptr;
        };
        prompts->QueueInput(QString("newbie"));
        click("cmdAdd");
        EXPECT_EQ(model->index(3, 0).data().toString(), "newbie");
        if (pg) {
            view->setCurrentIndex({}); // nobody chosen yet, as the window opens
            click("cmdPassword");
            view->setCurrentIndex(model->index(3, 0));
            click("cmdPassword");
        }
        // Names are not edited in place; guest is the third user, 查询 the first right.
        view->setFocus();
        EXPECT_EQ(edit(2, 0), nullptr);
        EXPECT_EQ(model->index(2, 0).data().toString(), "guest");
        view->setCurrentIndex(model->index(2, first));
        QTest::keyClick(view, Qt::Key_Space);
        // With an unknown supplier typed for buyer nothing is written, and what was typed stays.
        const QString forbidden = model->index(1, model->columnCount() - 1).data().toString();
        auto type = [&](const QString& text) {
            QLineEdit* editor = edit(1, model->columnCount() - 1);
            ASSERT_TRUE(editor);
            editor->selectAll();
            QTest::keyClicks(editor, text);
            QTest::keyClick(editor, Qt::Key_Return);
            QCoreApplication::processEvents();
            click("cmdSave");
        };
        type(forbidden + ", 09.999");
        EXPECT_EQ(Count("SELECT granted_mask FROM user_rights WHERE user_id = 3"), 0);
        EXPECT_EQ(model->index(2, first).data(Qt::CheckStateRole), Qt::Checked);
        // buyer may use the first supplier he was refused, and no longer 01.001.
        QStringList changed = forbidden.split(", ");
        EXPECT_GE(changed.size(), 2) << forbidden.toStdString();
        changed.replace(0, "01.001");
        type(changed.join(", "));
        changed.sort();
        EXPECT_EQ(RowTexts(*db, "SELECT supplier_code FROM user_supplier_rights WHERE user_id = 2"
                                " AND may_use = 0 ORDER BY supplier_code"),
                  changed);
        // A right ticked and the window left with Esc: asked, and Yes saves it.
        view->setCurrentIndex(model->index(2, first + 1));
        QTest::keyClick(view, Qt::Key_Space);
        prompts->QueueAnswer(ui::Yes);
        QTest::keyClick(view, Qt::Key_Escape);
        return d.result();
    });
    list->Tool("mnuFile", "iUsers")->trigger();
    EXPECT_EQ(Said(), QStringList({"新用户的用户名："}) +
                          (pg ? QStringList({"请先选择用户", "密码已设置"}) : QStringList()) +
                          QStringList({"保存失败！\n没有代码为“09.999”的供应商", "保存成功！",
                                       "用户与权限已修改，是否保存？", "保存成功！"}));
    EXPECT_EQ(Count("SELECT granted_mask FROM user_rights WHERE user_id = 3"), rights::Query | rights::Save);
    if (pg) {
        EXPECT_TRUE(
            db->Scalar("SELECT has_column_privilege('guest', 'plan_entries', 'qty', 'SELECT')").toBool());
        EXPECT_FALSE(
            db->Scalar("SELECT has_column_privilege('guest', 'plan_entries', 'price', 'SELECT')").toBool());
        QUrl newbie(location);
        newbie.setUserName("newbie");
        newbie.setPassword("n3w-secret");
        PGconn* c = PQconnectdb(newbie.toString().toUtf8().constData());
        EXPECT_EQ(PQstatus(c), CONNECTION_OK) << PQerrorMessage(c);
        PQfinish(c);
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, AppTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
