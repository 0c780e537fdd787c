#include "OrderDocument.h"

#include "component/host/Lang.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/export/Exporter.h"
#include "platform/records/Values.h"

#include <QObject>
#include <algorithm>

namespace zpp::services {

namespace {

enum ColumnId {
    LineNo,
    ItemNumber,
    ItemName,
    ItemModel,
    Unit,
    Qty,
    Price,
    DiscountRate,
    Discount,
    TaxRate,
    WithoutTax,
    Tax,
    WithTax,
    FinishDate,
    Memo,
    ColumnCount
};

struct ColumnDef {
    const char* Caption;
    bool Numeric;
    bool Priced; // left out for a user without the price right
};

constexpr ColumnDef kColumns[ColumnCount] = {
    {"行号", true, false},      {"物料代码", false, false}, {"物料名称", false, false},
    {"规格型号", false, false}, {"单位", false, false},     {"数量", true, false},
    {"含税单价", true, true},   {"折扣率(%)", true, false}, {"折扣额", true, true},
    {"税率(%)", true, false},   {"不含税金额", true, true}, {"税额", true, true},
    {"价税合计", true, true},   {"交货日期", false, false}, {"备注", false, false},
};

constexpr int kNumberCellType = 13; // the ledger's right-aligned number cells

QString Lang(const char* builtIn) {
    return GetLangString(QString::fromUtf8(builtIn));
}

QString Money(double value) {
    return values::FormatNumber(value, 2);
}

QString CellText(const OrderLine& line, const OrderAmounts& a, int column) {
    switch (column) {
    case LineNo:
        return QString::number(line.LineNo);
    case ItemNumber:
        return line.ItemNumber;
    case ItemName:
        return line.ItemName;
    case ItemModel:
        return line.ItemModel;
    case Unit:
        return line.UnitName;
    case Qty:
        return values::FormatNumber(line.Qty, line.QtyDecimals);
    case Price:
        return values::FormatNumber(line.Price, line.PriceDecimals);
    case DiscountRate:
        return values::FormatNumber(line.DiscountRate, 2);
    case Discount:
        return Money(a.Discount);
    case TaxRate:
        return values::FormatNumber(line.TaxRate, 2);
    case WithoutTax:
        return Money(a.WithoutTax);
    case Tax:
        return Money(a.Tax);
    case WithTax:
        return Money(a.WithTax);
    case FinishDate:
        return line.FinishDate.isValid() ? values::DisplayDate(line.FinishDate) : QString();
    case Memo:
        return line.Memo;
    default:
        return {};
    }
}

QString FieldText(const OrderDocument::Field& f) {
    return GetLangString(QStringLiteral("%1：%2")).arg(f.Label, f.Value);
}

// Columns a text takes on paper: East Asian characters, and signs such as × that the CJK
// font draws as wide as them, count as two Latin ones.
double Chars(const QString& text) {
    double n = 0;
    for (const QChar ch : text)
        n += ch.unicode() < 0x80 ? 1 : 2;
    return n;
}

controls::LedgerCell Cell(const QString& text, double points, bool bold = false) {
    controls::LedgerCell cell;
    cell.Text = text;
    cell.Font.setPointSizeF(points);
    cell.Font.setBold(bold);
    return cell;
}

} // namespace

QString OrderDocument::FileBaseName() const {
    QString name = BillNo.trimmed();
    for (QChar& ch : name)
        if (QStringView(u"\\/:*?\"<>|").contains(ch) || ch.unicode() < 0x20)
            ch = u'_';
    return name.isEmpty() ? QStringLiteral("order") : name;
}

OrderDocument BuildOrderDocument(const store::SessionPtr& session, qint64 orderId) {
    // The store leaves the price out of the lines for a user without the price right.
    const PurchaseOrder order = PurchaseOrderStore(session).Load(orderId);
    OrderDocument doc;
    doc.Title = Lang("采购订单");
    doc.BillNo = order.BillNo;
    doc.PricesShown = order.PricesShown;
    QSqlQuery company = session->Db->Exec(
        QStringLiteral("SELECT key, value FROM system_settings WHERE section = 'Company' AND key IN ('Name', "
                       "'Address')"));
    while (company.next())
        (company.value(0).toString() == u"Name" ? doc.Company : doc.Address) =
            company.value(1).toString().trimmed();

    doc.Fields = {{Lang("订单号"), order.BillNo, true},
                  {Lang("日期"), values::DisplayDate(order.Date), true},
                  {Lang("供应商代码"), order.SupplyNumber, false},
                  {Lang("供应商名称"), order.SupplyName, false}};
    if (!order.Buyer.isEmpty())
        doc.Fields.push_back({Lang("采购员"), order.Buyer, false});

    QVector<int> shown;
    for (int c = 0; c < ColumnCount; ++c) {
        if (kColumns[c].Priced && !order.PricesShown)
            continue;
        shown << c;
        doc.Columns.push_back({Lang(kColumns[c].Caption), kColumns[c].Numeric});
    }
    for (const OrderLine& line : order.Lines) {
        const OrderAmounts a = order.PricesShown ? LineAmounts(line) : OrderAmounts{};
        QStringList row;
        for (int c : shown)
            row << CellText(line, a, c);
        doc.Rows << row;
    }
    if (!order.PricesShown)
        return doc;

    const OrderAmounts t = OrderTotals(order.Lines);
    doc.Totals = t;
    doc.TotalsRow = QStringList(doc.Columns.size());
    doc.TotalsRow[0] = Lang("合计");
    const std::pair<int, double> figures[] = {
        {Discount, t.Discount}, {WithoutTax, t.WithoutTax}, {Tax, t.Tax}, {WithTax, t.WithTax}};
    for (const auto& [column, value] : figures)
        doc.TotalsRow[shown.indexOf(column)] = Money(value);
    if (t.Discount != 0)
        doc.TotalFields.push_back({Lang("折扣额合计"), Money(t.Discount)});
    doc.TotalFields.push_back({Lang("不含税金额合计"), Money(t.WithoutTax)});
    doc.TotalFields.push_back({Lang("税额合计"), Money(t.Tax)});
    doc.TotalFields.push_back({Lang("价税合计"), Money(t.WithTax)});
    return doc;
}

void FillLedger(controls::LedgerGrid& ledger, const OrderDocument& doc) {
    const int cols = int(doc.Columns.size());
    ledger.ClearTexts();
    ledger.SetMaxCols(cols);
    ledger.SetMaxRows(int(doc.Rows.size()) + 1);
    for (int c = 1; c <= cols; ++c) {
        const OrderDocument::Column& column = doc.Columns[c - 1];
        // As wide as the caption (bold) and the longest text, so nothing a supplier reads is cut;
        // a long name or note is the exception that may be.
        double width = Chars(column.Caption) * 1.15;
        for (const QStringList& row : doc.Rows)
            width = std::max(width, Chars(row.value(c - 1)));
        ledger.SetText(1, c, column.Caption);
        ledger.SetColWidth(c, std::min(width + 1, 40.0));
        ledger.SetColCellType(c, column.Numeric ? kNumberCellType : 0);
    }
    for (int r = 0; r < doc.Rows.size(); ++r)
        for (int c = 1; c <= cols; ++c)
            ledger.SetText(r + 2, c, doc.Rows[r].value(c - 1));

    std::vector<controls::LedgerLine>& title = ledger.TitleLines();
    title.clear();
    if (!doc.Company.isEmpty())
        title.push_back({{}, Cell(doc.Company, 15, true), {}});
    if (!doc.Address.isEmpty())
        title.push_back({{}, Cell(doc.Address, 10), {}});
    title.push_back({{}, Cell(doc.Title, 18, true), {}});
    // The supplier on the left, the order's number and date on the right.
    QStringList left, right;
    for (const OrderDocument::Field& f : doc.Fields)
        (f.Right ? right : left) << FieldText(f);
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i)
        title.push_back({Cell(left.value(i), 10), {}, Cell(right.value(i), 10)});

    std::vector<controls::LedgerLine>& closing = ledger.ClosingLines();
    closing.clear();
    closing.push_back({Cell(FieldText({Lang("行数"), QString::number(doc.Rows.size())}), 10), {}, {}});
    for (qsizetype i = 0; i < doc.TotalFields.size(); ++i) {
        const auto& [label, figure] = doc.TotalFields[i];
        const bool last = i + 1 == doc.TotalFields.size();
        const QString text = FieldText({label, figure});
        if (i == 0)
            closing.front().Right = Cell(text, 10, last);
        else
            closing.push_back({{}, {}, Cell(text, 10, last)});
    }

    for (controls::LedgerCell& cell : ledger.HeadCells())
        cell.Text.clear();
    for (controls::LedgerCell& cell : ledger.FootCells())
        cell.Text.clear();
    ledger.FootCells()[2].Text = GetLangString(QStringLiteral(" 第&[页]页/共&[总页]页  "));
    // The table under the centred title, between the supplier's and the order's facts.
    ledger.SetOptions(ledger.Options() | controls::CenterHorz);
}

void PrepareExport(exporting::Exporter& exporter, const OrderDocument& doc) {
    const int cols = int(doc.Columns.size());
    exporter.SetColumnCount(cols);
    for (int c = 1; c <= cols; ++c) {
        exporter.SetColumnCaption(c, doc.Columns[c - 1].Caption);
        exporter.SetColumnDataType(c, doc.Columns[c - 1].Numeric ? exporting::kNumberType
                                                                 : exporting::kTextType);
    }
    exporter.SetRowCount(int(doc.Rows.size()));
    QVector<QStringList> heading;
    for (const QString& line : {doc.Company, doc.Address})
        if (!line.isEmpty())
            heading << QStringList{line};
    heading << QStringList{doc.Title};
    for (const OrderDocument::Field& f : doc.Fields)
        heading << QStringList{f.Label, f.Value};
    heading << QStringList{};
    exporter.SetHeadingRows(heading);
    exporter.SetClosingRows(doc.TotalsRow.isEmpty() ? QVector<QStringList>{}
                                                    : QVector<QStringList>{doc.TotalsRow});
    QObject::connect(
        &exporter, &exporting::Exporter::LoadData, &exporter,
        [&doc](int rowIndex, exporting::ExportRow* row) {
            const QStringList& texts = doc.Rows.value(rowIndex - 1);
            for (int c = 0; c < texts.size(); ++c)
                row->SetValue(c + 1, texts[c]);
        },
        Qt::DirectConnection);
}

bool WriteOrderPdf(const OrderDocument& doc, const QString& path, QString* error) {
    controls::LedgerGrid ledger;
    FillLedger(ledger, doc);
    return ledger.SavePdf(path, error);
}

bool WriteOrderWorkbook(const OrderDocument& doc, const QString& path, QString* error) {
    exporting::Exporter exporter;
    PrepareExport(exporter, doc);
    return exporter.Write(path, exporting::Format::Xlsx, doc.FileBaseName(), error);
}

} // namespace zpp::services
