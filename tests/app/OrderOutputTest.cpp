#include "AppFixture.h"
#include "component/host/Access.h"
#include "component/host/ProgIds.h"
#include "component/host/contracts/FrmResLoader.h"
#include "services/bills/BillModels.h"
#include "support/Documents.h"

#include <QCheckBox>
#include <QDir>

using namespace zpp;
using namespace zpp::test;

namespace {

void ClickTool(QDialog& window, const char* bar, const char* key) {
    auto* tools = window.findChild<QToolBar*>(QString::fromLatin1(bar));
    QTest::mouseClick(tools->widgetForAction(tools->findChild<QAction*>(QString::fromLatin1(key))),
                      Qt::LeftButton);
    QCoreApplication::processEvents();
}

} // namespace

// A buyer, who holds no price right, logged in in English, reads English and sees no price anywhere (the
// list's cells, the high-price question, the order window and its totals, the export, the printed pages) and
// pushes at the entries' stored prices. The orders of the push go out as their suppliers read them: from the
// result window every new order as a PDF named by its number into a chosen folder (the second time, with the
// files there, the program asks and keeps them), and from an order's own window that order alone. No file
// holds a price, and each file written is one export record.
TEST_P(AppTest, ABuyerSeesNoPriceAnywhereAndSendsTheOrdersOfAPushAsPdfFiles) {
    db->Exec("DELETE FROM system_settings WHERE section = 'Company'");
    db->Exec("INSERT INTO system_settings (section, key, value) VALUES ('Company', 'Name', 'Hongyuan "
             "Machinery Co.'), ('Company', 'Address', '88 Xinghu Street, Suzhou')");
    frmPurchasePlan* list = OpenList("buyer", "en");
    ASSERT_NE(list, nullptr);
    Hands h{*list};
    EXPECT_TRUE(list->lblCpt(0)->text().startsWith("Start date:2")) << list->lblCpt(0)->text().toStdString();
    QStringList priced;
    for (int r = 1; r <= h.g.MaxRows(); ++r)
        priced << h.g.Text(col::Price, r);
    priced.removeAll("");
    // Three rows of three suppliers: three orders.
    QStringList suppliers;
    double pushed = 0;
    for (int r : PushableRows(h.g, 200, false)) {
        const QString supplier = h.g.Text(col::SupplyNumber, r);
        if (suppliers.size() < 3 && !suppliers.contains(supplier)) {
            suppliers << supplier;
            pushed += h.g.Text(col::PushQty, r).toDouble();
            h.Click(col::CheckBox, r);
        }
    }
    ASSERT_EQ(suppliers.size(), 3);
    auto ordered = [&] { return db->Scalar("SELECT SUM(ordered_qty) FROM plan_entries").toDouble(); };
    const double orderedBefore = ordered();
    const qint64 lastBefore = db->Scalar("SELECT COALESCE(MAX(id), 0) FROM purchase_orders").toLongLong();

    QTemporaryDir out;
    QStringList seen;
    QHash<QString, QDateTime> firstWrite;
    // Both message boxes that report are answered OK; the question about the files there is answered No.
    for (int answer : {ui::Ok, ui::No, ui::Ok})
        prompts->QueueAnswer(answer);
    Answer([&](QDialog& d) {
        seen << d.objectName();
        if (d.objectName() == u"dlgOrderFolder") {
            static_cast<QFileDialog&>(d).setDirectory(out.path());
            d.accept();
        } else if (d.objectName() == u"dlgOrderPdf") {
            static_cast<QFileDialog&>(d).selectFile(out.filePath("chosen.pdf"));
            d.accept();
        } else if (auto* go = d.findChild<QPushButton*>("cmdContinue")) {
            if (d.findChild<QTableView*>()->model()->columnCount() != 4)
                priced << "the high-price window";
            go->click();
        } else if (d.objectName() == u"frmMrpResult") {
            ClickTool(d, "barProc1", "ExportAllPdf");
            for (const QFileInfo& f : QDir(out.path()).entryInfoList(QDir::Files))
                firstWrite.insert(f.fileName(), f.lastModified());
            ClickTool(d, "barProc1", "ExportAllPdf");
            ClickTool(d, "barProc1", "Modify");
        } else if (d.objectName() == u"frmPurchaseOrder") {
            auto* view = d.findChild<QTableView*>("grdLines");
            for (int c : {int(services::OrderLinesModel::Price), int(services::OrderLinesModel::Amount)})
                if (!view->isColumnHidden(c))
                    priced << "the order window's column " + QString::number(c);
            if (d.findChild<QLabel*>("lblTotalWithTax")->isVisibleTo(&d))
                priced << "the order window's totals";
            ClickTool(d, "barOrder", "ExportPdf");
        }
    });
    h.Tool("PushBill");
    seen.removeAll("frmPOHighPrice");
    EXPECT_EQ(seen, QStringList({"frmMrpResult", "dlgOrderFolder", "dlgOrderFolder", "frmPurchaseOrder",
                                 "dlgOrderPdf"}));
    // Each entry once, at its stored price; one record, written with the orders of the one push made;
    // the list is read again with nothing ticked.
    EXPECT_NEAR(ordered() - orderedBefore, pushed, 1e-6);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan008'"), 1);
    for (int r = 1; r <= h.g.MaxRows(); ++r)
        ASSERT_NE(h.g.Text(col::CheckBox, r), "1") << r;
    EXPECT_EQ(Count("SELECT COUNT(*) FROM purchase_order_lines l JOIN purchase_order_line_sources s"
                    " ON s.order_id = l.order_id AND s.line_no = l.line_no JOIN plan_entries e"
                    " ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id WHERE l.order_id > ? AND"
                    " l.price <> e.price",
                    {lastBefore}),
              0);

    // Each new order once, by its number, and nothing else.
    QStringList names = RowTexts(*db, QString("SELECT bill_no || '.pdf' FROM purchase_orders WHERE id > %1"
                                              " ORDER BY bill_no")
                                          .arg(lastBefore));
    ASSERT_EQ(names.size(), 3);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"chosen.pdf"} + names);
    for (const QString& name : names) {
        const QString text = PdfText(out.filePath(name));
        for (const QString& part :
             QStringList{"Hongyuan Machinery Co.", "88 Xinghu Street, Suzhou", "Purchase order",
                         "Order No.: " + name.chopped(4), "Item code", "Quantity", "Page 1 of 1"})
            EXPECT_TRUE(text.contains(part)) << name.toStdString() << ": " << part.toStdString();
        for (const char* part :
             {"Unit price incl. tax", "Discount amount", "Amount excl. tax", "Total", "Tax:", "物料"})
            EXPECT_FALSE(text.contains(QString::fromUtf8(part))) << name.toStdString() << ": " << part;
        // The second export asked about the files there, was told No, and left them as they were.
        EXPECT_TRUE(prompts->Log.value(1).Text.contains(name) && prompts->Log.value(2).Text.contains(name));
        EXPECT_EQ(QFileInfo(out.filePath(name)).lastModified(), firstWrite.value(name)) << name.toStdString();
    }
    EXPECT_TRUE(PdfText(out.filePath("chosen.pdf")).contains("Order No.: " + names[0].chopped(4)));
    ASSERT_EQ(prompts->Log.size(), 3);
    EXPECT_EQ(prompts->Log[1].Buttons(), ui::YesNoCancel);
    EXPECT_TRUE(prompts->Log[0].Text.contains(QDir::toNativeSeparators(out.path())));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM operation_log WHERE object_code = ? AND operation_name LIKE ?",
                    {QString::fromLatin1(logs::Export.Code), QStringLiteral("采购订单[%")}),
              names.size() + 1);

    // What leaves the program from the list: the export and the printed pages.
    WriteFiles(out.path());
    h.Tool("Export");
    QFile csv(out.filePath("plan.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    if (QString::fromUtf8(csv.readLine()).contains(GetLangString("含税单价")))
        priced << "the export";
    h.Tool("Print");
    EXPECT_GT(QFileInfo(out.filePath("plan.pdf")).size(), 0);
    if (!list->findChild<controls::LedgerGrid*>("LdgPreview")->ColHidden(col::Price))
        priced << "the printed pages";
    EXPECT_EQ(priced.join(", "), "");
    EXPECT_EQ(list->findChild<controls::LedgerGrid*>("LdgPreview")->HeadCells()[2].Text,
              "Purchase Plan List");

    // The form service's captions (data stay as they are) and Qt's own texts follow the log-in
    // language too.
    QWidget form;
    auto* box = new QCheckBox("已关闭不显示", &form);
    box->setAccessibleName(box->text());
    auto* data = new QLabel("01.002 华东五金", &form);
    CreateObject<FrmResLoader>(QString::fromLatin1(progid::FrmResLoader))->SetFrmFont(&form, "en");
    EXPECT_EQ(box->text() + "|" + box->accessibleName() + "|" + data->text(),
              "Hide closed entries|Hide closed entries|01.002 华东五金");
    QStringList months;
    for (const char* lang : {"en", "zh"}) {
        store::Session session;
        session.Language = lang;
        app::UseQtLanguage(session);
        months << QLocale().monthName(12);
    }
    EXPECT_EQ(months, QStringList({"December", QLocale(QLocale::Chinese, QLocale::China).monthName(12)}));
}
