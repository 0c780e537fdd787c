#include "AppFixture.h"
#include "component/host/Access.h"
#include "services/bills/BillModels.h"
#include "support/Documents.h"

using namespace zpp;
using namespace zpp::test;

// A buyer, who holds no price right, logged in in English, reads English and sees no price anywhere (the
// list's cells, the high-price question, the order window and its totals, the export, the printed pages) and
// pushes at the entries' stored prices. The orders of the push go out as their suppliers read them: from the
// result window every new order as a PDF named by its number into a chosen folder. No file holds a price, and
// each file written is one export record.
TEST_P(AppTest, ABuyerSeesNoPriceAnywhereAndSendsTheOrdersOfAPushAsPdfFiles) {
    frmPurchasePlan* list = OpenList("buyer", "en");
    ASSERT_NE(list, nullptr);
    Hands h{*list};
    QStringList priced, suppliers;
    for (int r = 1; r <= h.g.MaxRows(); ++r)
        if (!h.g.Text(col::Price, r).isEmpty())
            priced << "the list's row " + QString::number(r);
    // Three rows of three suppliers: three orders.
    double pushed = 0;
    for (int r : PushableRows(h.g, 200, false))
        if (suppliers.size() < 3 && !suppliers.contains(h.g.Text(col::SupplyNumber, r))) {
            suppliers << h.g.Text(col::SupplyNumber, r);
            pushed += h.g.Text(col::PushQty, r).toDouble();
            h.Click(col::CheckBox, r);
        }
    ASSERT_EQ(suppliers.size(), 3);
    auto ordered = [&] { return db->Scalar("SELECT SUM(ordered_qty) FROM plan_entries").toDouble(); };
    const double orderedBefore = ordered();
    const qint64 lastBefore = db->Scalar("SELECT COALESCE(MAX(id), 0) FROM purchase_orders").toLongLong();

    auto clickTool = [](QDialog& window, const char* bar, const char* key) {
        auto* tools = window.findChild<QToolBar*>(bar);
        QTest::mouseClick(tools->widgetForAction(tools->findChild<QAction*>(key)), Qt::LeftButton);
    };
    QTemporaryDir out;
    QStringList seen;
    prompts->QueueAnswer(ui::Ok);
    Answer([&](QDialog& d) {
        seen << d.objectName();
        if (d.objectName() == u"dlgOrderFolder") {
            static_cast<QFileDialog&>(d).setDirectory(out.path());
            d.accept();
        } else if (auto* go = d.findChild<QPushButton*>("cmdContinue")) {
            if (d.findChild<QTableView*>()->model()->columnCount() != 4)
                priced << "the high-price window";
            go->click();
        } else if (d.objectName() == u"frmMrpResult") {
            clickTool(d, "barProc1", "ExportAllPdf");
            clickTool(d, "barProc1", "Modify");
        } else if (d.objectName() == u"frmPurchaseOrder") {
            auto* view = d.findChild<QTableView*>("grdLines");
            if (!view->isColumnHidden(services::OrderLinesModel::Price) ||
                !view->isColumnHidden(services::OrderLinesModel::Amount) ||
                d.findChild<QLabel*>("lblTotalWithTax")->isVisibleTo(&d))
                priced << "the order window";
        }
    });
    h.Tool("PushBill");
    seen.removeAll("frmPOHighPrice");
    EXPECT_EQ(seen, QStringList({"frmMrpResult", "dlgOrderFolder", "frmPurchaseOrder"}));
    EXPECT_NEAR(ordered() - orderedBefore, pushed, 1e-6) << "each entry once";

    // Each new order once, by its number, and nothing else.
    QStringList names =
        RowTexts(*db, QString("SELECT bill_no || '.pdf' FROM purchase_orders WHERE id > %1 ORDER BY bill_no")
                          .arg(lastBefore));
    ASSERT_EQ(names.size(), 3);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), names);
    for (const QString& name : names) {
        const QString text = PdfText(out.filePath(name));
        EXPECT_TRUE(text.contains("Order No.: " + name.chopped(4)) && text.contains("Item code") &&
                    !text.contains("Price") && !text.contains("Total"))
            << name.toStdString() << ": " << text.toStdString();
        // As a supplier's viewer reads it, unfolded: the supplier's Chinese name is searchable, not
        // spelt with look-alike radicals, and the page says which of how many it is.
        const QString raw = RunTool("pdftotext", {out.filePath(name), "-"});
        EXPECT_FALSE(raw.contains(QRegularExpression("[\\x{2E80}-\\x{2FDF}]")) ||
                     !raw.contains("Page 1 of 1"))
            << name.toStdString() << ": " << raw.toStdString();
    }
    EXPECT_TRUE(Said().size() == 1 && Said()[0].contains(QDir::toNativeSeparators(out.path())));
    // One push record, no line away from its entry's stored price, one export record a file.
    EXPECT_EQ(
        Rows(*db, QString("SELECT (SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan008'),"
                          " (SELECT COUNT(*) FROM purchase_order_lines l JOIN purchase_order_line_sources s"
                          " ON s.order_id = l.order_id AND s.line_no = l.line_no JOIN plan_entries e"
                          " ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id WHERE l.order_id > %1 AND"
                          " l.price <> e.price), (SELECT COUNT(*) FROM operation_log WHERE object_code ="
                          " '%2' AND operation_name LIKE '采购订单[%')")
                      .arg(lastBefore)
                      .arg(logs::Export.Code)),
        "1|0|3");

    // What leaves the program from the list: the export and the printed pages.
    WriteFiles(out.path());
    h.Tool("Export");
    QFile csv(out.filePath("plan.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    if (QString::fromUtf8(csv.readLine()).contains(GetLangString("含税单价")))
        priced << "the export";
    h.Tool("Print");
    auto* pages = list->findChild<controls::LedgerGrid*>("LdgPreview");
    EXPECT_GT(QFileInfo(out.filePath("plan.pdf")).size(), 0);
    if (!pages->ColHidden(col::Price))
        priced << "the printed pages";
    EXPECT_EQ(priced.join(", "), "");
}
