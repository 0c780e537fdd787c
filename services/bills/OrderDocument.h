#pragma once

#include "PdfText.h"
#include "PurchaseOrderStore.h"

#include <QFont>
#include <QList>
#include <QStringList>
#include <QVector>
#include <optional>
#include <utility>

namespace zpp::controls {
class LedgerGrid;
}
namespace zpp::exporting {
class Exporter;
}

namespace zpp::services {

// What the user chose to put on the orders they send; kept per user (user_profiles, section
// 'PurchaseOrder'). A line's note is written for the buyer's own people (二车间), so it goes to the
// supplier only when asked for.
struct OrderDocumentOptions {
    bool LineNotes = false;
};
// The log-in user's choices; the defaults when never saved.
OrderDocumentOptions SavedOrderOptions(const store::Session& session);
void SaveOrderOptions(const store::Session& session, const OrderDocumentOptions& options);

// A purchase order as its supplier reads it, every text in the log-in language. Without the
// price right it holds no price, discount amount or amount column and no totals: the order is
// read without its prices (the store never hands them out), and those columns are left out.
// Columns that say nothing for this order (no line has a model or a discount, notes not asked
// for) are left out too, so the table stays readable on one page width.
struct OrderDocument {
    struct Column {
        QString Caption;
        bool Numeric = false;
    };
    struct Field {
        QString Label, Value;
        bool Right = false; // a fact of the order (number, date, terms) rather than of its supplier
    };
    QString Title;            // "采购订单"
    QString Company, Address; // empty when the store has none
    QString BillNo;
    // Under the title: order number, date, supplier code and name, the buyer when known, and the
    // company's currency, delivery address and payment terms when set.
    QVector<Field> Fields;
    // Order number and supplier, at the head of every page.
    QString RunningHeader;
    QVector<Column> Columns;
    QVector<QStringList> Rows; // one text per column
    bool PricesShown = false;
    std::optional<OrderAmounts> Totals;
    // With the totals: a row under the lines, "合计" and each total under its column.
    QStringList TotalsRow;
    // Labels and figures of the totals, for a closing block.
    QVector<std::pair<QString, QString>> TotalFields;

    // The order number made safe as a file name, without a suffix.
    QString FileBaseName() const;
};

// Reads the order for the session's user (the right to open the list, as the order window)
// and the company's settings ('Company' in system_settings: Name, Address, Currency,
// DeliveryAddress, PaymentTerms; a missing row reads as empty and its line is left out).
OrderDocument BuildOrderDocument(const store::SessionPtr& session, qint64 orderId,
                                 const OrderDocumentOptions& options = {});

// The document as a ledger sheet: title block, lines, closing block with the totals, and on
// every page a running header with the order number, the supplier and "第 x 页 / 共 y 页".
void FillLedger(controls::LedgerGrid& ledger, const OrderDocument& doc);

// Announces the document's columns, heading and totals to the export component and answers its
// rows; doc must outlive the export.
void PrepareExport(exporting::Exporter& exporter, const OrderDocument& doc);

// Writes the document as a PDF through the ledger, or as an Excel workbook through the export
// component (heading rows, lines, totals row), each under a temporary name renamed at the end.
// False with the reason when it cannot be written.
bool WriteOrderPdf(const OrderDocument& doc, const QString& path, QString* error);
bool WriteOrderWorkbook(const OrderDocument& doc, const QString& path, QString* error);

} // namespace zpp::services
