#include "AppFixture.h"
#include "services/access/frmUsers.h"
#include "services/bills/BillModels.h"
#include "support/OrderedElsewhere.h"
#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QLabel>
#include <QSqlQuery>
#include <QTableView>
#include <QThread>
#include <QTimer>

using namespace zpp;
using namespace zpp::test;

TEST_P(AppTest, AdminIsLoggedGuestIsRefused) {
    const bool ok = Start("admin");
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    EXPECT_EQ(GetPropsValue("UserName"), "admin");
    ClsPurchasePlanMain().Show();
    EXPECT_EQ(LogCount(), 1);
    EXPECT_TRUE(prompts->Log.isEmpty());

    auto guest = std::make_shared<store::Session>(store::LogIn(db, "guest"));
    ResetState();
    app::Wire(guest);
    ClsPurchasePlanMain().Show();
    EXPECT_EQ(LogCount(), 1);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "对不起，你没有相应的权限！");
    EXPECT_EQ(prompts->Log[0].Title, "信息提示");
}

TEST_P(AppTest, EveryServiceTheComponentCreatesIsRegistered) {
    const bool ok = Start("admin");
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    for (const char* id : progid::CreatedByComponent) {
        const QString progId = QString::fromLatin1(id);
        EXPECT_TRUE(HostObjectFactory::Instance().IsRegistered(progId)) << id;
        if (HostObjectFactory::Instance().IsRegistered(progId)) {
            EXPECT_NO_THROW(HostObjectFactory::Instance().Create(progId)) << id;
        }
    }
    // A host creates the component itself by its identifier.
    EXPECT_TRUE(CreateObject<ClsPurchasePlanMain>(QString::fromLatin1(progid::PurchasePlanMain)));
}

TEST_P(AppTest, EnglishTextsComeFromTheEmbeddedCatalogue) {
    const bool ok = Start("guest", "en");
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    // Qt's month names follow the log-in language, both ways.
    store::Session chinese;
    chinese.Language = "zh";
    app::UseQtLanguage(chinese);
    EXPECT_EQ(QLocale().monthName(12), QLocale(QLocale::Chinese, QLocale::China).monthName(12));
    store::Session english;
    english.Language = "en";
    app::UseQtLanguage(english);
    EXPECT_EQ(QLocale().monthName(12), "December");
    ClsPurchasePlanMain().Show();
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Title, "Information");
    EXPECT_NE(prompts->Log[0].Text, "对不起，你没有相应的权限！");
    EXPECT_EQ(GetLangString("not in the catalogue"), "not in the catalogue");
    // Keys are looked up without their blanks, which stay around the translation.
    EXPECT_EQ(GetLangString("行建议交货日期不能为空 "), ": the delivery date must not be empty ");

    // The form service puts a window's designed captions into the log-in language; data stay.
    QWidget form;
    auto* label = new QLabel("物料代码:", &form);
    auto* box = new QCheckBox("已关闭不显示", &form);
    box->setAccessibleName(box->text());
    auto* data = new QLabel("01.002 华东五金", &form);
    CreateObject<FrmResLoader>(QString::fromLatin1(progid::FrmResLoader))->SetFrmFont(&form, "en");
    EXPECT_EQ(label->text(), "Item code:");
    EXPECT_EQ(box->text(), "Hide closed entries");
    EXPECT_EQ(box->accessibleName(), box->text());
    EXPECT_EQ(data->text(), "01.002 华东五金");
}

// The store keeps a typed "Bob's" as "Bob''s" and lists it so; saving over it must replace it.
TEST_P(AppTest, SavingOverASchemeWithAnApostropheReplacesIt) {
    const bool ok = Start("admin");
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    ui::SetModalHandler([this](QDialog& d) {
        auto* item = d.findChild<QLineEdit*>("txtBItemNumber");
        auto* save = d.findChild<QAction*>("tlbSave");
        item->setText("first");
        prompts->QueueInput(QString("Bob's"));
        save->trigger();
        item->setText("second");
        prompts->QueueAnswer(ui::Yes);
        save->trigger();
        d.reject();
        return int(QDialog::Rejected);
    });
    RunFilterDialog(false);
    EXPECT_EQ(Rows(*db, "SELECT s.name, v.value FROM filter_schemes s JOIN filter_scheme_values v"
                        " ON v.scheme_id = s.id WHERE v.key = 'BItem' ORDER BY s.id"),
              "Bob''s|second");
}

INSTANTIATE_TEST_SUITE_P(Stores, AppTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

TEST_P(AppListTest, FilterModeListsTodaysOpenEntries) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    const int expected =
        db->Scalar("SELECT COUNT(*) FROM plan_entries WHERE entry_date = ? AND close_mark = ''",
                   {QDate::currentDate().toString("yyyy-MM-dd")})
            .toInt();
    EXPECT_GT(expected, 10);
    EXPECT_EQ(list->vsProc().MaxRows(), expected);
    EXPECT_TRUE(prompts->Log.isEmpty());

    // A reload the user stops, plain or with new conditions, leaves list and conditions as they were.
    list->vsProc().SetText(col::Memo, 1, "kept");
    const QString kept = State().FilterConditions->Text("BDate");
    {
        longwork::Scope stop([] { return false; });
        list->ToolClick("iRefresh");
        ui::SetModalHandler([](QDialog& d) {
            if (auto* from = d.findChild<QDateEdit*>("dtpBDate"))
                from->setDate(QDate(2000, 1, 1));
            if (auto* button = d.findChild<QPushButton*>("cmdOK"))
                button->click();
            return d.result();
        });
        list->ToolClick("iFilter");
    }
    EXPECT_EQ(list->vsProc().MaxRows(), expected);
    EXPECT_EQ(list->vsProc().Text(col::Memo, 1), "kept");
    EXPECT_EQ(State().FilterConditions->Text("BDate"), kept);
    EXPECT_TRUE(prompts->Log.isEmpty());
}

TEST_P(AppListTest, BillModeListsOnePlanInTheLogInLanguage) {
    const bool ok = StartDemo("en");
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    QString bill = db->Scalar("SELECT bill_no FROM purchase_plans ORDER BY id").toString();
    ClsPurchasePlanMain().Show(bill);
    auto windows = Windows();
    ASSERT_EQ(windows.size(), 1);
    const int expected = db->Scalar("SELECT COUNT(*) FROM plan_entries e JOIN purchase_plans p ON p.id = "
                                    "e.plan_id WHERE p.bill_no = ?",
                                    {bill})
                             .toInt();
    EXPECT_EQ(windows[0]->vsProc().MaxRows(), expected);
    for (int r = 1; r <= expected; ++r)
        EXPECT_EQ(windows[0]->vsProc().Text(col::BillNo, r), bill);
    EXPECT_TRUE(windows[0]->lblCpt(0)->text().startsWith("Start date:2"))
        << windows[0]->lblCpt(0)->text().toStdString();
    EXPECT_TRUE(windows[0]->lblCpt(1)->text().startsWith("End date:2"));
    windows[0]->ToolClick("iPrintPreView");
    auto* ledger = windows[0]->findChild<controls::LedgerGrid*>("LdgPreview");
    ASSERT_TRUE(ledger);
    EXPECT_EQ(ledger->HeadCells()[2].Text, "Purchase Plan List");

    // The push checks' window and the question on closing with edits read English too.
    frmMessage message;
    message.ButtonMode = "vbYes";
    message.Load();
    EXPECT_EQ(message.windowTitle() + "|" + message.btnYes->text(),
              GetLangString("Marvane提示") + "|" + GetLangString("确定"));
    EXPECT_FALSE(message.windowTitle().contains("提示"));
    windows[0]->DataChanged = true;
    prompts->QueueAnswer(ui::No);
    windows[0]->close();
    ASSERT_FALSE(prompts->Log.isEmpty());
    EXPECT_EQ(prompts->Log.last().Title, GetLangString("Marvane提示"));
    EXPECT_FALSE(prompts->Log.last().Text.contains("是否需要保存")) << prompts->Log.last().Text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Stores, AppListTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

TEST(Help, TheGuideShipsInBothLanguages) {
    for (const char* lang : {"zh", "en"}) {
        QFile guide(QStringLiteral(":/help/%1.html").arg(lang));
        ASSERT_TRUE(guide.open(QIODevice::ReadOnly)) << lang;
        EXPECT_TRUE(guide.readAll().contains("id=\"ZelPurchasePlan.frmPurchasePlan\"")) << lang;
    }
}

TEST_P(AppListTest, PushOrdersTheTickedRowsOnceAndTheirBillsCanBeFollowed) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    controls::SpreadGrid& g = list->vsProc();

    list->ToolClick("PushBill");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "请勾选需要下推的数据！");
    prompts->Clear();

    const QList<int> rows = TickPushableRows(g, 3);
    ASSERT_EQ(rows.size(), 3) << "today's demo plans must hold pushable rows";
    QStringList keys;
    double pushed = 0;
    for (int r : rows) {
        keys << g.Text(col::Key, r);
        pushed += g.Text(col::PushQty, r).toDouble();
    }
    const int ordersBefore = db->Scalar("SELECT COUNT(*) FROM purchase_orders").toInt();
    auto ordered = [&] {
        double sum = 0;
        for (const QString& key : keys)
            sum += db->Scalar("SELECT ordered_qty FROM plan_entries WHERE plan_id = ? AND entry_id = ?",
                              {key.section('_', 0, 0).toInt(), key.section('_', 1).toInt()})
                       .toDouble();
        return sum;
    };
    const double orderedBefore = ordered();

    // Go on past any high price; in the result window open the first order and close it again.
    QStringList shown, titles;
    FollowPush([&](QDialog& d) {
        shown << d.objectName();
        titles << d.windowTitle();
    });
    list->ToolClick("PushBill");
    EXPECT_TRUE(prompts->Log.isEmpty()) << prompts->Log.value(0).Text.toStdString();
    shown.removeAll("frmPOHighPrice");
    EXPECT_EQ(shown, QStringList({"frmMrpResult", "frmPurchaseOrder"}));
    const int created = db->Scalar("SELECT COUNT(*) FROM purchase_orders").toInt() - ordersBefore;
    EXPECT_GE(created, 1);
    EXPECT_NEAR(ordered() - orderedBefore, pushed, 1e-6);
    EXPECT_NEAR(db->Scalar("SELECT SUM(s.qty) FROM purchase_order_line_sources s"
                           " JOIN purchase_orders o ON o.id = s.order_id WHERE o.id > ?",
                           {db->Scalar("SELECT MAX(id) FROM purchase_orders").toInt() - created})
                    .toDouble(),
                pushed, 1e-6);
    // One record, written with the orders of the one push made.
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan008'").toInt(), 1);
    for (int r = 1; r <= g.MaxRows(); ++r)
        ASSERT_NE(g.Text(col::CheckBox, r), "1") << "the list is reloaded with nothing ticked";

    // 下查 from a pushed entry opens the bill lookup; without a tick it says what to do.
    shown.clear();
    int again = 1;
    while (again <= g.MaxRows() && g.Text(col::Key, again) != keys[0])
        ++again;
    ASSERT_LE(again, g.MaxRows());
    const QString key0Entry = keys[0].section('_', 1);
    list->ToolClick("ViewBillDown");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "请先选择需要下查的物料记录数据！");
    g.SetText(col::CheckBox, again, "1");
    list->ToolClick("ViewBillDown");
    EXPECT_EQ(shown, QStringList({"frmBillLookUp"}));
    // Titled by the row the list shows, then plan and entry.
    EXPECT_EQ(
        titles.last(),
        QString("下查 - 第%1行（计划单 %2 分录 %3）").arg(again).arg(g.Text(col::BillNo, again), key0Entry));
    EXPECT_EQ(prompts->Log.size(), 1);

    // Pushing the same entries again (a second press on stale ticks) is stopped by the row checks.
    shown.clear();
    const int orders = db->Scalar("SELECT COUNT(*) FROM purchase_orders").toInt();
    list->ToolClick("PushBill");
    EXPECT_EQ(shown, QStringList({"frmMessage"}));
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM purchase_orders").toInt(), orders);
}

// As buyer, who has no price right, no price shows anywhere: not in the list's cells (hidden or
// not), not in the high-price question, the order window or its totals; the push still orders at
// the entries' prices.
TEST_P(AppListTest, BuyerSeesNoPriceAnywhereAndPushesAtTheStoredPrices) {
    const bool ok = StartDemo({}, QStringLiteral("buyer"));
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_NE(list, nullptr);
    controls::SpreadGrid& g = list->vsProc();
    ASSERT_GT(g.MaxRows(), 0);
    for (int r = 1; r <= g.MaxRows(); ++r)
        ASSERT_EQ(g.Text(col::Price, r), "") << "row " << r;
    Hands h{*list};
    const QList<int> rows = PushableRows(g, 2);
    ASSERT_EQ(rows.size(), 2);
    for (int r : rows)
        h.Click(col::CheckBox, r);
    QStringList shown, priced;
    FollowPush([&](QDialog& d) {
        shown << d.objectName();
        if (d.objectName() == u"frmPOHighPrice" && d.findChild<QTableView*>()->model()->columnCount() != 4)
            priced << "the high-price window";
        auto* view = d.findChild<QTableView*>("grdLines");
        if (!view || d.objectName() != u"frmPurchaseOrder")
            return;
        for (int c : {int(services::OrderLinesModel::Price), int(services::OrderLinesModel::Amount)})
            if (!view->isColumnHidden(c))
                priced << "the order window's column " + QString::number(c);
        if (d.findChild<QLabel*>("lblTotalWithTax")->isVisibleTo(&d))
            priced << "the order window's totals";
    });
    h.Tool("PushBill");
    EXPECT_TRUE(shown.contains("frmPurchaseOrder")) << shown.join(",").toStdString();

    // What leaves the program: the export and the printed pages.
    QTemporaryDir out;
    ui::SetModalHandler([&](QDialog& d) {
        if (auto* file = d.findChild<QLineEdit*>("txtFile")) {
            d.findChild<QComboBox*>("cboFormat")->setCurrentIndex(1);
            file->setText(out.filePath("plan.csv"));
            return int(QDialog::Accepted);
        }
        if (auto* print = qobject_cast<QPrintDialog*>(&d)) {
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(out.filePath("plan.pdf"));
            return int(QDialog::Accepted);
        }
        return int(QDialog::Rejected);
    });
    h.Tool("Export");
    QFile csv(out.filePath("plan.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    if (QString::fromUtf8(csv.readLine()).contains("单价"))
        priced << "the export";
    h.Tool("Print");
    EXPECT_GT(QFileInfo(out.filePath("plan.pdf")).size(), 0);
    if (!list->findChild<controls::LedgerGrid*>("LdgPreview")->ColHidden(col::Price))
        priced << "the printed pages";
    EXPECT_EQ(priced.join(", "), "");
    EXPECT_EQ(
        db->Scalar("SELECT COUNT(*) FROM purchase_order_lines l JOIN purchase_order_line_sources s"
                   " ON s.order_id = l.order_id AND s.line_no = l.line_no JOIN plan_entries e"
                   " ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id"
                   " JOIN purchase_orders o ON o.id = l.order_id"
                   " WHERE o.created_by = (SELECT id FROM users WHERE name = 'buyer') AND l.price <> e.price")
            .toInt(),
        0);
    EXPECT_GT(db->Scalar("SELECT COUNT(*) FROM purchase_orders o JOIN users u ON u.id = o.created_by"
                         " WHERE u.name = 'buyer'")
                  .toInt(),
              0);
}

// A push that runs long shows a progress window. Assistive technology finds it among the
// program's windows while the push runs and presses its 取消: nothing is ordered. Stopped during
// its checks, it asks nothing either.
TEST_P(AppListTest, ALongPushIsStoppedThroughTheAccessibilityInterfaceAndOrdersNothing) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    controls::SpreadGrid& g = list->vsProc();
    const QList<int> rows = TickPushableRows(g, 8);
    ASSERT_GE(rows.size(), 2);
    const int orders = db->Scalar("SELECT COUNT(*) FROM purchase_orders").toInt();
    ContinuePastHighPrices();

    bool pressed = false;
    QTimer reader;
    reader.setInterval(20);
    QObject::connect(&reader, &QTimer::timeout, [&] {
        QAccessibleInterface* app = QAccessible::queryAccessibleInterface(qApp);
        for (int i = 0; app && !pressed && i < app->childCount(); ++i) {
            QAccessibleInterface* window = app->child(i);
            if (!window || window->text(QAccessible::Name) != "正在下推…")
                continue;
            for (int j = 0; j < window->childCount(); ++j) {
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
    {
        // Every look of the push at whether to go on takes a while, as over a slow network.
        longwork::Scope slow([] {
            QThread::msleep(120);
            return true;
        });
        list->ToolClick("PushBill");
    }
    EXPECT_TRUE(pressed) << "the progress window and its button were found through the interface";
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM purchase_orders").toInt(), orders);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.contains("下推已取消，没有生成任何订单"))
        << prompts->Log[0].Text.toStdString();
    EXPECT_EQ(g.Text(col::CheckBox, rows[0]), "1") << "a stopped push keeps the user's ticks";

    // Stopped while the list's rows are checked, it asks nothing (no high-price question) and
    // orders nothing.
    prompts->Clear();
    QStringList shown;
    FollowPush([&](QDialog& d) { shown << d.objectName(); });
    {
        longwork::Scope stop([] { return false; });
        list->ToolClick("PushBill");
    }
    EXPECT_TRUE(shown.isEmpty()) << shown.join(',').toStdString();
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.contains("下推已取消，没有生成任何订单"))
        << prompts->Log[0].Text.toStdString();
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM purchase_orders").toInt(), orders);
}

TEST_P(AppListTest, PushOfRowsAnotherUserOrderedMeanwhileIsRefusedWhole) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    controls::SpreadGrid& g = list->vsProc();
    const QList<int> rows = TickPushableRows(g, 2);
    ASSERT_EQ(rows.size(), 2);
    const QString key = g.Text(col::Key, rows[1]);
    // Another user's push took all of the second entry after this list was loaded.
    db->InTransaction([&] {
        OrderElsewhere(*db, key.section('_', 0, 0).toInt(), key.section('_', 1).toInt(),
                       db->Scalar("SELECT unordered_qty FROM plan_entries WHERE plan_id = ? AND entry_id = ?",
                                  {key.section('_', 0, 0).toInt(), key.section('_', 1).toInt()})
                           .toDouble());
    });
    const int orders = db->Scalar("SELECT COUNT(*) FROM purchase_orders").toInt();
    ContinuePastHighPrices();
    list->ToolClick("PushBill");
    ASSERT_EQ(prompts->Log.size(), 1);
    const QString text = prompts->Log[0].Text;
    // Named by the row the list shows, then plan and entry.
    EXPECT_TRUE(text.contains(QString("第%1行（采购建议号[%2]分录号 %3）")
                                  .arg(rows[1])
                                  .arg(g.Text(col::BillNo, rows[1]), key.section('_', 1))))
        << text.toStdString();
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM purchase_orders").toInt(), orders);
    EXPECT_EQ(g.Text(col::CheckBox, rows[0]), "1") << "a refused push keeps the user's ticks";
}

TEST_P(AppListTest, ExportPrintAndAPageSetupThatHoldsAtTheNextStart) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    const int rows = list->vsProc().MaxRows();
    QTemporaryDir out;
    auto logged = [&](const char* code) {
        return db->Scalar("SELECT COUNT(*) FROM operation_log WHERE object_code = ?", {QString(code)})
            .toInt();
    };

    double margin = 31;
    QString csvName = "plan.csv";
    ui::SetModalHandler([&](QDialog& d) {
        if (auto* file = d.findChild<QLineEdit*>("txtFile")) {
            d.findChild<QComboBox*>("cboFormat")->setCurrentIndex(1);
            file->setText(out.filePath(csvName));
            return int(QDialog::Accepted);
        }
        if (auto* print = qobject_cast<QPrintDialog*>(&d)) {
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(out.filePath("plan.pdf"));
            return int(QDialog::Accepted);
        }
        if (auto* setup = d.findChild<QAction*>("actSetup")) { // the preview: its page setup, then close
            setup->trigger();
            return int(QDialog::Rejected);
        }
        if (auto* top = d.findChild<QDoubleSpinBox*>("txtMarginTop")) {
            top->setValue(margin);
            d.findChild<QComboBox*>("cboPageMode")->setCurrentIndex(1);
            d.accept();
            return int(QDialog::Accepted);
        }
        return int(QDialog::Rejected);
    });
    auto look = [&](const char* key) { return list->Tool("Band", key)->icon().pixmap(24).toImage(); };
    EXPECT_NE(look("Save"), look("Export")) << "export does not look like save";

    // A click in a cell selects no rows: the whole list is written.
    Hands h{*list};
    h.Click(col::ItemNumber, 2);
    h.Tool("Export");
    QFile csv(out.filePath("plan.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count("\r\n"), rows + 1);
    csv.close();
    // A block of three rows chosen with Shift and a click is written alone.
    h.Click(col::ItemNumber, 4, Qt::ShiftModifier);
    csvName = "block.csv";
    h.Tool("Export");
    QFile block(out.filePath(csvName));
    ASSERT_TRUE(block.open(QIODevice::ReadOnly));
    EXPECT_EQ(block.readAll().count("\r\n"), 3 + 1);
    list->ToolClick("Print");
    EXPECT_TRUE(QFileInfo(out.filePath("plan.pdf")).size() > 0);
    EXPECT_EQ(logged("CGPlan004"), 2);
    EXPECT_EQ(logged("CGPlan003"), 1);
    EXPECT_TRUE(prompts->Log.isEmpty()) << prompts->Log.value(0).Text.toStdString();

    list->ToolClick("iPrintSetup");
    EXPECT_EQ(
        db->Scalar("SELECT COUNT(*) FROM report_formats WHERE format_key = ?", {"0_采购计划表_HeadFoot"})
            .toInt(),
        1);
    // A page setup changed from the preview is kept as well.
    margin = 33;
    list->ToolClick("PrintView");
    list->close();
    QApplication::processEvents();

    frmPurchasePlan* again = ShowFiltered();
    ASSERT_TRUE(again);
    auto* ledger = again->findChild<controls::LedgerGrid*>("LdgPreview");
    ASSERT_TRUE(ledger);
    EXPECT_DOUBLE_EQ(ledger->Margin(controls::Top), 33);
    EXPECT_EQ(ledger->PageMode(), controls::FitToWidth);
}

TEST_P(AppListTest, APdfFromThePreviewNeedsTheExportRightAndIsLoggedAsAnExport) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    QTemporaryDir out;
    const QString pdf = out.filePath("计划.pdf");
    auto exports = [&] {
        return RowTexts(*db, "SELECT operation_name FROM operation_log WHERE object_code = 'CGPlan004'");
    };
    int fileDialogs = 0;
    ui::SetModalHandler([&](QDialog& d) {
        if (d.objectName() == "dlgSavePdf") {
            ++fileDialogs;
            static_cast<QFileDialog&>(d).selectFile(pdf);
            return int(QDialog::Accepted);
        }
        if (auto* save = d.findChild<QAction*>("actPdf"))
            save->trigger();
        return int(QDialog::Rejected);
    });
    auto grant = [&](qint64 mask) {
        db->Exec("UPDATE user_rights SET granted_mask = ? WHERE user_id = 1", {mask});
    };

    // Print and preview without export: the PDF is refused as the list's Export is.
    grant(2147483647 - rights::Export);
    list->ToolClick("PrintView");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "对不起，你没有相应的权限！");
    EXPECT_EQ(fileDialogs, 0);
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_TRUE(exports().isEmpty());

    grant(2147483647);
    prompts->Clear();
    list->ToolClick("PrintView");
    EXPECT_TRUE(prompts->Log.isEmpty()) << prompts->Log.value(0).Text.toStdString();
    EXPECT_GT(QFileInfo(pdf).size(), 0);
    EXPECT_EQ(exports(), QStringList{"采购计划表引出（PDF：" + QDir::toNativeSeparators(pdf) + "）"});
}

// 文件 → 用户与权限: the administrator ticks a right with the keyboard and saves; the rights table,
// and on PostgreSQL the role's privileges, follow. Anyone else is told they may not.
TEST_P(AppListTest, TheAdministratorGrantsARightInTheUsersWindow) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    ui::SetModalHandler([&](QDialog& d) {
        d.show();
        auto* view = d.findChild<QTableView*>("grdUsers");
        if (!view)
            return int(QDialog::Rejected);
        QAbstractItemModelTester tester(view->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        // guest is the third user; 查询 the first right.
        EXPECT_EQ(view->model()->index(2, 0).data().toString(), "guest");
        view->setFocus();
        view->setCurrentIndex(view->model()->index(2, services::frmUsers::kFirstRight));
        QTest::keyClick(view, Qt::Key_Space);
        // With an unknown supplier typed for buyer nothing is written, and what was typed stays.
        const QModelIndex suppliers = view->model()->index(1, view->model()->columnCount() - 1);
        const QString forbidden = suppliers.data().toString();
        auto type = [&](const QString& text) {
            view->setCurrentIndex(suppliers);
            QTest::keyClick(view, Qt::Key_F2);
            QLineEdit* editor = nullptr;
            for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>())
                if (e->isVisible())
                    editor = e;
            ASSERT_TRUE(editor);
            editor->selectAll();
            QTest::keyClicks(editor, text);
            QTest::keyClick(editor, Qt::Key_Return);
            QCoreApplication::processEvents();
        };
        type(forbidden + ", 09.999");
        QTest::mouseClick(d.findChild<QPushButton*>("cmdSave"), Qt::LeftButton);
        EXPECT_EQ(db->Scalar("SELECT granted_mask FROM user_rights WHERE user_id = 3").toLongLong(), 0);
        EXPECT_EQ(view->model()->index(2, services::frmUsers::kFirstRight).data(Qt::CheckStateRole),
                  Qt::Checked);
        // buyer may use the first supplier he was refused, and no longer 01.001.
        QStringList changed = forbidden.split(',', Qt::SkipEmptyParts);
        for (QString& code : changed)
            code = code.trimmed();
        EXPECT_GE(changed.size(), 2) << forbidden.toStdString();
        const QString allowed = changed.takeFirst();
        changed << "01.001";
        type(changed.join(", "));
        QTest::mouseClick(d.findChild<QPushButton*>("cmdSave"), Qt::LeftButton);
        QStringList refused;
        QSqlQuery rows =
            db->Exec("SELECT supplier_code FROM user_supplier_rights WHERE user_id = 2 AND may_use = 0");
        while (rows.next())
            refused << rows.value(0).toString();
        refused.sort();
        changed.sort();
        EXPECT_EQ(refused, changed) << "allowed again: " << allowed.toStdString();
        // A right ticked and the window left with Esc: asked, and Yes saves it.
        view->setCurrentIndex(view->model()->index(2, services::frmUsers::kFirstRight + 1));
        QTest::keyClick(view, Qt::Key_Space);
        prompts->QueueAnswer(ui::Yes);
        QTest::keyClick(view, Qt::Key_Escape);
        return d.result();
    });
    list->Tool("mnuFile", "iUsers")->trigger();
    ASSERT_EQ(prompts->Log.size(), 4);
    EXPECT_EQ(prompts->Log[0].Text, "保存失败！\n没有代码为“09.999”的供应商");
    EXPECT_EQ(prompts->Log[1].Text, "保存成功！");
    EXPECT_EQ(prompts->Log[2].Text, "用户与权限已修改，是否保存？");
    EXPECT_EQ(db->Scalar("SELECT granted_mask FROM user_rights WHERE user_id = 3").toLongLong(),
              rights::Query | rights::Save);
    if (!db->IsSQLite()) {
        EXPECT_TRUE(
            db->Scalar("SELECT has_column_privilege('guest', 'plan_entries', 'qty', 'SELECT')").toBool());
        EXPECT_FALSE(
            db->Scalar("SELECT has_column_privilege('guest', 'plan_entries', 'price', 'SELECT')").toBool());
    }
}

TEST_P(AppListTest, OnlyAnAdministratorOpensTheUsersWindow) {
    const bool ok = StartDemo({}, "buyer");
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    list->Tool("mnuFile", "iUsers")->trigger();
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "只有拥有全部权限的管理员才能管理用户与权限");
}
