#include "BillsFixture.h"
#include "support/Documents.h"

#include "component/host/Access.h"
#include "services/bills/OrderDocument.h"
#include "services/bills/OrderPrintService.h"

#include <QTemporaryDir>

using namespace zpp;
using namespace zpp::test;
using services::OrderDocument;

namespace {

// PO001 with a model on its first item and a 5 % discount on its second line:
//   line 1: 30.00 × 10.00 at 13 %: 300.00, 265.49 without tax, 34.51 tax
//   line 2: 5 × 2.500 less 5 % (0.62): 11.88, 10.51 without tax, 1.37 tax
const QStringList kPriced{"10.00", "2.500", "265.49", "34.51",  "300.00", "0.62",
                          "10.51", "1.37",  "11.88",  "276.00", "35.88",  "311.88"};

class OrderDocumentTest : public BillsTest {
protected:
    QTemporaryDir dir;

    // PO001's PDF as text and workbook as rows, built for the session and written as the program
    // writes them.
    std::pair<QString, QVector<QStringList>> Files(const store::SessionPtr& as) {
        db->Exec("UPDATE items SET model = 'M8x30' WHERE id = 1");
        db->Exec("UPDATE purchase_order_lines SET discount_rate = 5 WHERE order_id = 1 AND line_no = 2");
        const OrderDocument doc = services::BuildOrderDocument(as, 1);
        const QString pdf = dir.filePath(doc.FileBaseName() + ".pdf"),
                      xlsx = dir.filePath(doc.FileBaseName() + ".xlsx");
        QString error;
        EXPECT_TRUE(services::WriteOrderPdf(doc, pdf, &error)) << error.toStdString();
        EXPECT_TRUE(services::WriteOrderWorkbook(doc, xlsx, &error)) << error.toStdString();
        return {PdfText(pdf), XlsxRows(xlsx)};
    }
};

} // namespace

// The buyer holds every right but the price: on PostgreSQL a role that cannot even read a price
// column, so a document that selected one would fail here.
TEST_P(OrderDocumentTest, BothFilesHoldEveryAmountForThePriceRightAndNoneWithoutIt) {
    ZPP_OPEN_OR_SKIP();
    const auto [text, rows] = Files(session);
    for (const QString& figure : kPriced)
        EXPECT_TRUE(text.contains(figure)) << figure.toStdString() << " not in\n" << text.toStdString();
    // Numbers are the sheet's numbers ("2.5" for 2.500), the totals under their columns.
    ASSERT_EQ(rows.size(), 11);
    EXPECT_EQ(rows.mid(8), (QVector<QStringList>{
                               {"1", "01.001", "六角螺栓", "M8x30", "个", "30", "10", "0", "0", "13",
                                "265.49", "34.51", "300", "2024-05-20"},
                               {"2", "01.002", "六角螺母", "", "个", "5", "2.5", "5", "0.62", "13", "10.51",
                                "1.37", "11.88", "2024-05-20"},
                               {"合计", "", "", "", "", "", "", "", "0.62", "", "276", "35.88", "311.88"}}));

    const auto [unpriced, unpricedRows] = Files(SessionAs("buyer"));
    for (const QString& figure : kPriced)
        EXPECT_FALSE(unpriced.contains(figure)) << figure.toStdString() << " in\n" << unpriced.toStdString();
    EXPECT_TRUE(unpriced.contains("六角螺栓")) << unpriced.toStdString();
    ASSERT_EQ(unpricedRows.size(), 10) << "no totals row";
    EXPECT_EQ(unpricedRows[7], (QStringList{"行号", "物料代码", "物料名称", "规格型号", "单位", "数量",
                                            "折扣率(%)", "税率(%)", "交货日期", "备注"}));
}

// Each command asks for its right before it reads the order or opens a dialog.
TEST_P(OrderDocumentTest, OutputNeedsItsRight) {
    ZPP_OPEN_OR_SKIP();
    db->Exec("UPDATE user_rights SET granted_mask = ? WHERE user_id = 2", {rights::Query});
    ui::SetModalHandler([&](QDialog& d) -> int {
        ADD_FAILURE() << d.objectName().toStdString() << " opened without the right";
        return QDialog::Rejected;
    });
    services::OrderPrintService viewer(SessionAs("buyer"));
    const std::function<void()> commands[] = {[&] { viewer.PrintOrder(1); }, [&] { viewer.PreviewOrder(1); },
                                              [&] { viewer.ExportOrder(1, OrderPrint::FileKind::Pdf); },
                                              [&] { viewer.ExportOrder(1, OrderPrint::FileKind::Workbook); },
                                              [&] {
                                                  viewer.ExportOrdersPdf({1, 2});
                                              }};
    for (const auto& command : commands)
        try {
            command();
            ADD_FAILURE() << "done without the right";
        } catch (const Error& e) {
            EXPECT_EQ(e.Description(), "对不起，你没有相应的权限！");
        }
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM operation_log").toInt(), 0);
}

INSTANTIATE_TEST_SUITE_P(Stores, OrderDocumentTest,
                         ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL), StoreKindName);
