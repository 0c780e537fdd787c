#include "BillsFixture.h"
#include "support/Documents.h"

#include "component/host/Access.h"
#include "services/bills/OrderDocument.h"
#include "services/bills/OrderPrintService.h"

#include <QFileDialog>
#include <QTemporaryDir>

using namespace zpp;
using namespace zpp::test;
using services::OrderDocument;

namespace {

// PO001 with a model on its first item and a 5 % discount on its second line:
//   line 1: 30.00 × 10.00 at 13 %: 300.00, 265.49 without tax, 34.51 tax
//   line 2: 5 × 2.500 less 5 % (0.62): 11.88, 10.51 without tax, 1.37 tax
const QStringList kLine1{"01.001", "六角螺栓", "M8x30", "30.00",  "10.00",     "0.00",
                         "13.00",  "265.49",   "34.51", "300.00", "2024-05-20"};
const QStringList kLine2{"01.002", "六角螺母", "5",     "2.500", "5.00",
                         "0.62",   "13.00",    "10.51", "1.37",  "11.88"};
const QStringList kPriced{"10.00", "2.500", "265.49", "34.51",  "300.00", "0.62",
                          "10.51", "1.37",  "11.88",  "276.00", "35.88",  "311.88"};

class OrderDocumentTest : public BillsTest {
protected:
    QTemporaryDir dir;

    void Prepare() {
        db->Exec("UPDATE items SET model = 'M8x30' WHERE id = 1");
        db->Exec("UPDATE purchase_order_lines SET discount_rate = 5 WHERE order_id = 1 AND line_no = 2");
    }
    void SetCompany(const QString& name, const QString& address) {
        db->Exec("DELETE FROM system_settings WHERE section = 'Company'");
        db->Exec("INSERT INTO system_settings (section, key, value) VALUES ('Company', 'Name', ?),"
                 " ('Company', 'Address', ?)",
                 {name, address});
    }
    // Both files of a document, written as the program writes them.
    std::pair<QString, QString> Write(const OrderDocument& doc) {
        const QString pdf = dir.filePath(doc.FileBaseName() + ".pdf");
        const QString xlsx = dir.filePath(doc.FileBaseName() + ".xlsx");
        QString error;
        EXPECT_TRUE(services::WriteOrderPdf(doc, pdf, &error)) << error.toStdString();
        EXPECT_TRUE(services::WriteOrderWorkbook(doc, xlsx, &error)) << error.toStdString();
        return {pdf, xlsx};
    }
};

// A printed line that shows the texts in their order.
::testing::AssertionResult LineShows(const QString& text, const QStringList& cells) {
    for (const QString& line : text.split(u'\n')) {
        qsizetype at = 0;
        for (const QString& cell : cells) {
            at = at < 0 ? at : line.indexOf(cell, at);
            if (at >= 0)
                at += cell.size();
        }
        if (at >= 0)
            return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "no line with " << cells.join(" ").toStdString() << " in:\n"
                                         << text.toStdString();
}

// As the PDF reads back (see PdfText): full-width colons come back as ASCII ones.
QString AsRead(const char* text) {
    return QString::fromUtf8(text).normalized(QString::NormalizationForm_KC);
}

} // namespace

TEST_P(OrderDocumentTest, APdfAndAWorkbookReadBackHoldEveryLineAndTheTotals) {
    ZPP_OPEN_OR_SKIP();
    Prepare();
    SetCompany("宏远机械制造有限公司", "江苏省苏州市工业园区星湖街 88 号");
    const OrderDocument doc = services::BuildOrderDocument(session, 1);
    const auto [pdf, xlsx] = Write(doc);

    const QString text = PdfText(pdf);
    for (const char* heading : {"宏远机械制造有限公司", "江苏省苏州市工业园区星湖街 88 号", "采购订单",
                                "PO001", "2024-05-10", "01.001", "上海宏达五金有限公司", "admin"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(heading))) << heading << "\n" << text.toStdString();
    EXPECT_TRUE(LineShows(text, kLine1));
    EXPECT_TRUE(LineShows(text, kLine2));
    for (const char* total :
         {"折扣额合计：0.62", "不含税金额合计：276.00", "税额合计：35.88", "价税合计：311.88"})
        EXPECT_TRUE(text.contains(AsRead(total))) << total << "\n" << text.toStdString();

    // Numbers are the sheet's numbers ("2.5" for 2.500), the totals under their columns.
    const QVector<QStringList> rows = XlsxRows(xlsx);
    ASSERT_EQ(rows.size(), 13);
    EXPECT_EQ(rows[0], QStringList{"宏远机械制造有限公司"});
    EXPECT_EQ(rows[2], QStringList{"采购订单"});
    EXPECT_EQ(rows[3], (QStringList{"订单号", "PO001"}));
    EXPECT_EQ(rows[6], (QStringList{"供应商名称", "上海宏达五金有限公司"}));
    EXPECT_EQ(rows[9], (QStringList{"行号", "物料代码", "物料名称", "规格型号", "单位", "数量", "含税单价",
                                    "折扣率(%)", "折扣额", "税率(%)", "不含税金额", "税额", "价税合计",
                                    "交货日期", "备注"}));
    EXPECT_EQ(rows[10], (QStringList{"1", "01.001", "六角螺栓", "M8x30", "个", "30", "10", "0", "0", "13",
                                     "265.49", "34.51", "300", "2024-05-20"}));
    EXPECT_EQ(rows[11], (QStringList{"2", "01.002", "六角螺母", "", "个", "5", "2.5", "5", "0.62", "13",
                                     "10.51", "1.37", "11.88", "2024-05-20"}));
    EXPECT_EQ(rows[12],
              (QStringList{"合计", "", "", "", "", "", "", "", "0.62", "", "276", "35.88", "311.88"}));
}

// The buyer holds every right but the price: on PostgreSQL a role that cannot even read a price
// column, so a document that selected one would fail here.
TEST_P(OrderDocumentTest, WithoutThePriceRightNeitherFileHoldsAPriceOrAnAmount) {
    ZPP_OPEN_OR_SKIP();
    Prepare();
    // No company rows: the heading starts with the title.
    db->Exec("DELETE FROM system_settings WHERE section = 'Company'");
    const OrderDocument doc = services::BuildOrderDocument(SessionAs("buyer"), 1);
    EXPECT_FALSE(doc.Totals.has_value());
    const auto [pdf, xlsx] = Write(doc);

    const QString text = PdfText(pdf);
    EXPECT_TRUE(text.trimmed().startsWith("采购订单")) << text.toStdString();
    EXPECT_TRUE(LineShows(text, {"01.001", "六角螺栓", "M8x30", "30.00", "0.00", "13.00", "2024-05-20"}));
    EXPECT_TRUE(LineShows(text, {"01.002", "5", "5.00", "13.00"}));
    for (const QString& figure : kPriced)
        EXPECT_FALSE(text.contains(figure)) << figure.toStdString() << " in\n" << text.toStdString();
    for (const char* caption : {"含税单价", "折扣额", "不含税金额", "税额", "价税合计", "合计"})
        EXPECT_FALSE(text.contains(QString::fromUtf8(caption))) << caption;

    const QVector<QStringList> rows = XlsxRows(xlsx);
    ASSERT_EQ(rows.size(), 10) << "no totals row";
    EXPECT_EQ(rows[0], QStringList{"采购订单"});
    EXPECT_EQ(rows[7], (QStringList{"行号", "物料代码", "物料名称", "规格型号", "单位", "数量", "折扣率(%)",
                                    "税率(%)", "交货日期", "备注"}));
    EXPECT_EQ(rows[8],
              (QStringList{"1", "01.001", "六角螺栓", "M8x30", "个", "30", "0", "13", "2024-05-20"}));
    EXPECT_EQ(rows[9], (QStringList{"2", "01.002", "六角螺母", "", "个", "5", "5", "13", "2024-05-20"}));
}

// Each command asks for its right before it reads the order or opens a dialog, and a file that
// cannot be written is named with the reason; neither leaves a file or a log record behind.
TEST_P(OrderDocumentTest, OutputNeedsItsRightAndAFileThatCannotBeWrittenSaysWhy) {
    ZPP_OPEN_OR_SKIP();
    db->Exec("INSERT INTO users (id, name, full_name) VALUES (9, 'viewer', 'viewer')");
    db->Exec("INSERT INTO user_rights (user_id, subsystem, module, granted_mask) VALUES (9, 1006, 13, ?)",
             {rights::Query});
    const QString target = dir.filePath("missing/PO001.pdf");
    QStringList dialogs;
    ui::SetModalHandler([&](QDialog& d) {
        dialogs << d.objectName();
        static_cast<QFileDialog&>(d).selectFile(target);
        return int(QDialog::Accepted);
    });
    auto refusal = [](const std::function<void()>& command) {
        try {
            command();
        } catch (const Error& e) {
            return e.Description();
        }
        return QStringLiteral("(done)");
    };
    services::OrderPrintService viewer(SessionAs("viewer"));
    const QString noRight = QStringLiteral("对不起，你没有相应的权限！");
    EXPECT_EQ(refusal([&] { viewer.PrintOrder(1); }), noRight);
    EXPECT_EQ(refusal([&] { viewer.PreviewOrder(1); }), noRight);
    EXPECT_EQ(refusal([&] { viewer.ExportOrder(1, OrderPrint::FileKind::Pdf); }), noRight);
    EXPECT_EQ(refusal([&] { viewer.ExportOrder(1, OrderPrint::FileKind::Workbook); }), noRight);
    EXPECT_EQ(refusal([&] { viewer.ExportOrdersPdf({1, 2}); }), noRight);
    EXPECT_TRUE(dialogs.isEmpty()) << dialogs.join(",").toStdString();

    services::OrderPrintService admin(session);
    const QString failed = refusal([&] { admin.ExportOrder(1, OrderPrint::FileKind::Pdf); });
    // The dialog may name the folder by its real path.
    EXPECT_TRUE(failed.startsWith(QStringLiteral("无法写入文件“")) &&
                failed.contains(QDir::toNativeSeparators("missing/PO001.pdf”：")))
        << failed.toStdString();
    EXPECT_EQ(dialogs, QStringList{"dlgOrderPdf"});
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM operation_log WHERE object_code IN (?, ?)",
                         {QString::fromLatin1(logs::Print.Code), QString::fromLatin1(logs::Export.Code)})
                  .toInt(),
              0);
}

INSTANTIATE_TEST_SUITE_P(Stores, OrderDocumentTest,
                         ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL), StoreKindName);
