#include "AppFixture.h"
#include "services/access/frmUsers.h"
#include "support/AccessibleNames.h"
#include "support/OrderedElsewhere.h"
#include <QAccessible>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QTimer>

using namespace zpp;
using namespace zpp::test;

// Started in filter mode, the wired component lists today's open entries; 全选 ticks every row.
// Every control has an accessible name.
TEST_P(AppTest, TheWiredListShowsTodaysOpenEntries) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    controls::SpreadGrid& g = list->vsProc();
    const int expected = Count("SELECT COUNT(*) FROM plan_entries WHERE entry_date = ? AND close_mark = ''",
                               {QDate::currentDate().toString("yyyy-MM-dd")});
    EXPECT_EQ(Count("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan001'"), 1);
    QString ticks;
    list->ToolClick("SelectAll");
    for (int r = 1; r <= g.MaxRows(); ++r)
        ticks += g.Text(col::CheckBox, r);
    EXPECT_EQ(ticks, QString(expected, '1'));
    EXPECT_EQ(MissingAccessibleNames(*list), QStringList());

    // 过滤 on another day lists that day's open entries; 刷新 reads the store again, without the
    // entry another user closed meanwhile.
    const QString day = FilterToYesterday();
    Hands{*list}.Tool("iFilter");
    const int more =
        Count("SELECT COUNT(*) FROM plan_entries WHERE entry_date = ? AND close_mark = ''", {day});
    ASSERT_GT(more, 1);
    EXPECT_EQ(g.MaxRows(), more);
    db->Exec("UPDATE plan_entries SET close_mark = 'Y' WHERE plan_id || '_' || entry_id = ?",
             {g.Text(col::Key, 1)});
    Hands{*list}.Tool("iRefresh");
    EXPECT_EQ(g.MaxRows(), more - 1);
}

// 批量填充 (F6) copies a typed note down to the open rows below it and 保存 stores them; 关闭 (menu)
// closes a ticked entry, and 反关闭 in the plan's own list opens it again.
TEST_P(AppTest, FillDownCloseAndUnCloseReachTheStore) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    const QList<int> open = PushableRows(h.g, 2, false);
    ASSERT_EQ(open.size(), 2);
    const int from = open[1];
    auto key = [](controls::SpreadGrid& g, int r) -> QString {
        return g.Text(col::InterID, r) + "_" + g.Text(col::EntryID, r);
    };
    QStringList filled, stored;
    for (int r = from; r <= h.g.MaxRows(); ++r)
        if (h.g.Text(col::Close, r).trimmed().isEmpty() &&
            h.g.Text(col::PurchaseUnFinishQty, r).toDouble() > 0)
            filled << key(h.g, r);
    ASSERT_EQ(filled.value(0), key(h.g, from));
    h.RightTo(from, col::Memo);
    h.Type("fill");
    h.Key(Qt::Key_Up);
    h.Key(Qt::Key_Down);
    h.Key(Qt::Key_F6);
    h.Tool("Save");
    for (const QString& k : filled)
        stored << Entry(k, "memo");
    EXPECT_EQ(stored, QStringList(filled.size(), "fill"));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM plan_entries WHERE memo = 'fill'"), filled.size());
    // The menu's 批量填充 of a note the rows hold already changes nothing, and marks nothing.
    h.Click(col::Memo, from);
    list->Tool("mnuView", "FillCol")->trigger();
    EXPECT_FALSE(list->DataChanged);

    const QString closed = key(h.g, from);
    QString bill = h.g.Text(col::BillNo, from);
    Answer([](QDialog&) {}); // the result list is looked at and closed
    h.Click(col::CheckBox, from);
    list->Tool("mnuEdit", "Close")->trigger();
    EXPECT_NE(Entry(closed, "close_mark"), "");
    list->close();
    ClsPurchasePlanMain().Show(bill);
    ASSERT_EQ(OpenListWindows().size(), 1);
    Hands plan{*OpenListWindows()[0]};
    int row = 1;
    while (row < plan.g.MaxRows() && key(plan.g, row) != closed)
        ++row;
    ASSERT_EQ(key(plan.g, row), closed);
    plan.Click(col::CheckBox, row);
    plan.list.Tool("mnuEdit", "UnClose")->trigger();
    EXPECT_EQ(Entry(closed, "close_mark"), "");
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
    EXPECT_EQ(shown + Said(), QStringList({"对不起，你没有相应的权限！\n所需权限：导入",
                                           "只有拥有全部权限的管理员才能管理用户与权限"}));
}

// A push that runs long shows a progress window: assistive technology finds it among the
// program's windows and presses its 取消, and nothing is ordered. After another user ordered one
// of its entries it is refused whole, naming the row the list shows. Each keeps the user's ticks;
// 上查 and 下查 follow the first.
TEST_P(AppTest, APushStoppedOrRefusedOrdersNothingAndKeepsTheTicks) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    controls::SpreadGrid& g = list->vsProc();
    const QList<int> rows = PushableRows(g, 8);
    ASSERT_GE(rows.size(), 2);
    bool pressed = false;
    QTimer reader;
    QObject::connect(&reader, &QTimer::timeout, [&] {
        QAccessibleInterface* app = QAccessible::queryAccessibleInterface(qApp);
        for (int i = 0; !pressed && i < app->childCount(); ++i) {
            QAccessibleInterface* window = app->child(i);
            for (int j = 0; window->text(QAccessible::Name) == "正在下推…" && j < window->childCount(); ++j) {
                QAccessibleInterface* button = window->child(j);
                if (button->role() == QAccessible::Button && button->text(QAccessible::Name) == "取消") {
                    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
                    pressed = true;
                }
            }
        }
    });
    reader.start(20);
    QStringList shown;
    FollowPush([&](QDialog& d) { shown << d.objectName() + ": " + d.windowTitle(); });
    const QString key = g.Text(col::Key, rows[1]);
    const QString named = QString("第%1行（采购建议号[%2]分录号 %3）")
                              .arg(rows[1])
                              .arg(g.Text(col::BillNo, rows[1]), key.section('_', 1));
    for (bool slow : {true, false}) {
        // Slow: every look of the push at whether to go on takes a while, as over a slow network.
        longwork::Scope scope([slow] {
            QThread::msleep(slow ? 120 : 0);
            return true;
        });
        if (!slow)
            db->InTransaction([&] {
                OrderElsewhere(*db, key.section('_', 0, 0).toInt(), key.section('_', 1).toInt(),
                               Entry(key, "unordered_qty").toDouble());
            });
        const int orders = Count("SELECT COUNT(*) FROM purchase_orders");
        prompts->Clear();
        list->ToolClick("PushBill");
        EXPECT_EQ(Said().join('\n').count(slow ? QString("下推已取消，没有生成任何订单") : named), 1)
            << Said().join('\n').toStdString();
        EXPECT_EQ(QString("%1|%2")
                      .arg(Count("SELECT COUNT(*) FROM purchase_orders") - orders)
                      .arg(g.Text(col::CheckBox, rows[0])),
                  "0|1");
    }
    EXPECT_TRUE(pressed) << "the progress window and its button were found through the interface";
    shown.clear();
    list->ToolClick("ViewBillUp");
    list->ToolClick("ViewBillDown");
    const QString at = QString(" - 第%1行（计划单 %2 分录 %3）")
                           .arg(rows[0])
                           .arg(g.Text(col::BillNo, rows[0]), g.Text(col::Key, rows[0]).section('_', 1));
    EXPECT_EQ(shown, QStringList({"frmBillLookUp: 上查" + at, "frmBillLookUp: 下查" + at}));
}

// Export writes the whole list, asking before it replaces a file, each logged; a page setup is
// stored; the preview's PDF needs the export right and is logged as an export.
TEST_P(AppTest, ExportPrintPreviewAndPageSetup) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    QTemporaryDir out;
    const QString pdf = out.filePath("计划.pdf");
    WriteFiles(out.path(), [&](QDialog& d) {
        if (d.objectName() == "dlgSavePdf") {
            static_cast<QFileDialog&>(d).selectFile(pdf);
            return int(QDialog::Accepted);
        }
        if (auto* setup = d.findChild<QAction*>("actSetup")) { // the preview: its page setup and PDF
            setup->trigger();
            d.findChild<QAction*>("actPdf")->trigger();
        } else if (auto* top = d.findChild<QDoubleSpinBox*>("txtMarginTop")) {
            top->setValue(33);
            d.findChild<QComboBox*>("cboPageMode")->setCurrentIndex(1);
            return int(QDialog::Accepted);
        }
        return int(QDialog::Rejected);
    });
    // A click in a cell selects no rows: the whole list is written.
    Hands h{*list};
    h.Click(col::ItemNumber, 2);
    h.Tool("Export");
    QFile csv(out.filePath("plan.csv"));
    EXPECT_TRUE(csv.open(QIODevice::ReadOnly) && csv.readAll().count("\r\n") == list->vsProc().MaxRows() + 1);
    h.Tool("Export");
    list->ToolClick("iPrintSetup");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM report_formats WHERE format_key = ?", {"0_采购计划表_HeadFoot"}),
              1);

    // Print and preview without export: the PDF is refused as the list's Export is.
    db->Exec("UPDATE user_rights SET granted_mask = ? WHERE user_id = 1", {2147483647 - rights::Export});
    list->ToolClick("PrintView");
    EXPECT_FALSE(QFileInfo::exists(pdf));
    db->Exec("UPDATE user_rights SET granted_mask = 2147483647 WHERE user_id = 1");
    list->ToolClick("PrintView");
    EXPECT_GT(QFileInfo(pdf).size(), 0);
    EXPECT_EQ(RowTexts(*db, "SELECT object_code FROM operation_log WHERE object_code IN ('CGPlan003',"
                            " 'CGPlan004') ORDER BY id"),
              QStringList({"CGPlan004", "CGPlan004", "CGPlan004"}));
    EXPECT_EQ(Rows(*db, "SELECT operation_name FROM operation_log ORDER BY id DESC LIMIT 1"),
              "采购计划表引出（PDF：" + QDir::toNativeSeparators(pdf) + "）");
    EXPECT_EQ(Said(), QStringList({"文件“" + out.filePath("plan.csv") + "”已存在。要替换它吗？",
                                   "对不起，你没有相应的权限！\n所需权限：引出"}));

    // A file that cannot be written is the list's failed export, with the reason; nothing logged.
    WriteFiles(out.filePath("无此目录"));
    prompts->Clear();
    h.Tool("Export");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.startsWith("引出组件调用不成功\n无法写入文件"))
        << Said().join('|').toStdString();
    EXPECT_EQ(prompts->Log[0].Title, "信息提示");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan004'"), 3);
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
        EXPECT_EQ(model->headerData(first, Qt::Horizontal).toString() + "," +
                      model->headerData(model->columnCount() - 1, Qt::Horizontal).toString(),
                  "查询,禁用的供应商");
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
        EXPECT_EQ(Rows(*db, "SELECT has_column_privilege('guest', 'plan_entries', 'qty', 'SELECT'),"
                            " has_column_privilege('guest', 'plan_entries', 'price', 'SELECT')"),
                  "true|false");
        EXPECT_EQ(AsClient(location, "newbie", "SELECT 1", "n3w-secret"), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, AppTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
