#include "AppFixture.h"
#include "support/Documents.h"

#include <QDir>

using namespace zpp;
using namespace zpp::test;

namespace {

void ClickTool(QDialog& window, const char* bar, const char* key) {
    auto* tools = window.findChild<QToolBar*>(QString::fromLatin1(bar));
    ASSERT_NE(tools, nullptr) << bar;
    auto* action = tools->findChild<QAction*>(QString::fromLatin1(key));
    ASSERT_NE(action, nullptr) << key;
    QTest::mouseClick(tools->widgetForAction(action), Qt::LeftButton);
    QCoreApplication::processEvents();
}

} // namespace

// A buyer, who holds no price right, logged in in English, puts out the orders of a push as their
// suppliers read them: from the result window every new order as a PDF named by its number into
// a chosen folder (the second time, with the files there, the program asks and keeps them), and
// from an order's own window that order alone. No file holds a price or an amount, and each file
// written is one export record.
TEST_P(AppListTest, TheOrdersOfAPushGoOutAsPdfFilesWithoutPricesInTheLogInLanguage) {
    const bool ok = StartDemo(QStringLiteral("en"), QStringLiteral("buyer"));
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    db->Exec("DELETE FROM system_settings WHERE section = 'Company'");
    db->Exec("INSERT INTO system_settings (section, key, value) VALUES ('Company', 'Name', 'Hongyuan "
             "Machinery Co.'),"
             " ('Company', 'Address', '88 Xinghu Street, Suzhou')");
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_NE(list, nullptr);
    Hands h{*list};
    // Three rows of three suppliers: three orders.
    QStringList suppliers;
    for (int r : PushableRows(h.g, 200)) {
        const QString supplier = h.g.Text(col::SupplyNumber, r);
        if (suppliers.size() < 3 && !suppliers.contains(supplier)) {
            suppliers << supplier;
            h.Click(col::CheckBox, r);
        }
    }
    ASSERT_EQ(suppliers.size(), 3);
    const qint64 lastBefore = db->Scalar("SELECT COALESCE(MAX(id), 0) FROM purchase_orders").toLongLong();
    auto exports = [&] {
        return db
            ->Scalar("SELECT COUNT(*) FROM operation_log WHERE object_code = ? AND operation_name LIKE ?",
                     {QString::fromLatin1(logs::Export.Code), QStringLiteral("采购订单[%")})
            .toInt();
    };

    QTemporaryDir out;
    QStringList seen;
    QHash<QString, QDateTime> firstWrite;
    // Both message boxes that report are answered OK; the question about the files there is answered No.
    prompts->QueueAnswer(ui::Ok);
    prompts->QueueAnswer(ui::No);
    prompts->QueueAnswer(ui::Ok);
    ui::SetModalHandler([&](QDialog& d) {
        seen << d.objectName();
        if (d.objectName() == u"dlgOrderFolder") {
            static_cast<QFileDialog&>(d).setDirectory(out.path());
            return int(QDialog::Accepted);
        }
        if (d.objectName() == u"dlgOrderPdf") {
            static_cast<QFileDialog&>(d).selectFile(out.filePath("chosen.pdf"));
            return int(QDialog::Accepted);
        }
        d.show();
        if (auto* go = d.findChild<QPushButton*>("cmdContinue")) {
            go->click();
            return d.result();
        }
        if (d.objectName() == u"frmMrpResult") {
            ClickTool(d, "barProc1", "ExportAllPdf");
            for (const QFileInfo& f : QDir(out.path()).entryInfoList(QDir::Files))
                firstWrite.insert(f.fileName(), f.lastModified());
            ClickTool(d, "barProc1", "ExportAllPdf");
            ClickTool(d, "barProc1", "Modify");
        } else if (d.objectName() == u"frmPurchaseOrder") {
            ClickTool(d, "barOrder", "ExportPdf");
        }
        d.reject();
        return d.result();
    });
    h.Tool("PushBill");
    seen.removeAll("frmPOHighPrice");
    EXPECT_EQ(seen, QStringList({"frmMrpResult", "dlgOrderFolder", "dlgOrderFolder", "frmPurchaseOrder",
                                 "dlgOrderPdf"}));

    QStringList names;
    QHash<QString, QStringList> itemsOf;
    QSqlQuery lines =
        db->Exec("SELECT o.bill_no, i.code FROM purchase_orders o"
                 " JOIN purchase_order_lines l ON l.order_id = o.id JOIN items i ON i.id = l.item_id"
                 " WHERE o.id > ? ORDER BY o.id, l.line_no",
                 {lastBefore});
    while (lines.next()) {
        const QString name = lines.value(0).toString() + ".pdf";
        if (!names.contains(name))
            names << name;
        itemsOf[name] << lines.value(1).toString();
    }
    ASSERT_EQ(names.size(), 3);
    QStringList files = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
    files.removeOne("chosen.pdf");
    files.sort();
    QStringList expected = names;
    expected.sort();
    EXPECT_EQ(files, expected) << "each order once, by its number, and nothing else";

    for (const QString& name : names) {
        const QString text = PdfText(out.filePath(name));
        for (const QString& part : QStringList{"Hongyuan Machinery Co.", "88 Xinghu Street, Suzhou",
                                               "Purchase order", "Order No.: " + name.chopped(4), "Item code",
                                               "Quantity", "Delivery date", "Page 1 of 1"})
            EXPECT_TRUE(text.contains(part)) << name.toStdString() << ": " << part.toStdString() << "\n"
                                             << text.toStdString();
        for (const QString& code : itemsOf[name])
            EXPECT_TRUE(text.contains(code)) << name.toStdString() << ": " << code.toStdString();
        for (const char* priced :
             {"Unit price incl. tax", "Discount amount", "Amount excl. tax", "Total", "Tax:"})
            EXPECT_FALSE(text.contains(QString::fromLatin1(priced))) << name.toStdString() << ": " << priced;
        EXPECT_FALSE(text.contains(QStringLiteral("物料"))) << "captions in the log-in language";
    }
    EXPECT_TRUE(PdfText(out.filePath("chosen.pdf")).contains("Order No.: " + names[0].chopped(4)));

    // The second export asked about the files there, was told No, and left them as they were.
    ASSERT_EQ(prompts->Log.size(), 3);
    EXPECT_EQ(prompts->Log[1].Buttons(), ui::YesNoCancel);
    for (const QString& name : names) {
        EXPECT_TRUE(prompts->Log[1].Text.contains(name)) << prompts->Log[1].Text.toStdString();
        EXPECT_TRUE(prompts->Log[2].Text.contains(name)) << "named as kept";
        EXPECT_EQ(QFileInfo(out.filePath(name)).lastModified(), firstWrite.value(name)) << name.toStdString();
    }
    EXPECT_TRUE(prompts->Log[0].Text.contains(QDir::toNativeSeparators(out.path())));
    EXPECT_EQ(exports(), names.size() + 1);
}
