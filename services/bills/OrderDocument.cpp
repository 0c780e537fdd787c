#include "OrderDocument.h"

#include "component/host/Lang.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/export/Exporter.h"
#include "platform/records/Values.h"

#include <QBuffer>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QObject>
#include <QPdfWriter>
#include <QRawFont>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>
#include <map>
#include <vector>

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

// When a column is on the order: always, or only when some line has something to put in it.
enum class Shown { Always, WithModel, WithDiscount, WithNotes };

struct ColumnDef {
    const char* Caption;
    bool Numeric;
    bool Priced; // left out for a user without the price right
    Shown When = Shown::Always;
};

constexpr ColumnDef kColumns[ColumnCount] = {
    {"行号", true, false},
    {"物料代码", false, false},
    {"物料名称", false, false},
    {"规格型号", false, false, Shown::WithModel},
    {"单位", false, false},
    {"数量", true, false},
    {"含税单价", true, true},
    {"折扣率(%)", true, false, Shown::WithDiscount},
    {"折扣额", true, true, Shown::WithDiscount},
    {"税率(%)", true, false},
    {"不含税金额", true, true},
    {"税额", true, true},
    {"价税合计", true, true},
    {"交货日期", false, false},
    {"备注", false, false, Shown::WithNotes},
};

constexpr int kNumberCellType = 13; // the ledger's right-aligned number cells
// Points of the table's text, the same in every language.
constexpr double kTablePoints = 9;
const QString kOptionsSection = QStringLiteral("PurchaseOrder");
const QString kLineNotesKey = QStringLiteral("PrintLineNotes");

QString Lang(const char* builtIn) {
    return GetLangString(QString::fromUtf8(builtIn));
}

// A column's caption on the printed order: a language's shorter word where its catalogue has one
// under "caption|采购订单" (English "Qty" for 数量, so fifteen columns fit the page at the size
// the Chinese order prints), else the caption as everywhere else.
QString Caption(const char* builtIn) {
    const QString caption = QString::fromUtf8(builtIn);
    const QString key = caption + QStringLiteral("|采购订单");
    const QString shorter = GetLangString(key);
    return shorter == key ? GetLangString(caption) : shorter;
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
        return values::FormatNumber(line.DiscountRate, kRateDecimals);
    case Discount:
        return Money(a.Discount);
    case TaxRate:
        return values::FormatNumber(line.TaxRate, kRateDecimals);
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

// A font with CJK and Latin glyphs of one design, as the program's windows use; the default
// font elsewhere.
// Not shaped: every glyph is then one the font's character map names, so the PDF's text layer
// can name it too (shaped Latin in a CJK font drew "PO001" with glyphs no character names, and
// pdftotext read "PO"; "fi" became a ligature).
QFont DocumentFont(double points, bool bold = false) {
    static const QString family = [] {
        const QString preferred = QStringLiteral("Noto Sans CJK SC");
        return QFontDatabase::families().contains(preferred) ? preferred : QString();
    }();
    QFont font;
    if (!family.isEmpty())
        font.setFamily(family);
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

controls::LedgerCell Cell(const QString& text, double points, bool bold = false) {
    controls::LedgerCell cell;
    cell.Text = text;
    cell.Font = DocumentFont(points, bold);
    return cell;
}

bool Needed(Shown when, const PurchaseOrder& order, const OrderDocumentOptions& options) {
    const auto any = [&](auto has) { return std::any_of(order.Lines.begin(), order.Lines.end(), has); };
    switch (when) {
    case Shown::WithModel:
        return any([](const OrderLine& l) { return !l.ItemModel.trimmed().isEmpty(); });
    case Shown::WithDiscount:
        return any([](const OrderLine& l) { return ShownValue(l.DiscountRate, kRateDecimals) != 0; });
    case Shown::WithNotes:
        return options.LineNotes && any([](const OrderLine& l) { return !l.Memo.trimmed().isEmpty(); });
    default:
        return true;
    }
}

} // namespace

OrderDocumentOptions SavedOrderOptions(const store::Session& session) {
    OrderDocumentOptions options;
    options.LineNotes =
        session.Db
            ->Scalar(QStringLiteral(
                         "SELECT value FROM user_profiles WHERE user_id = ? AND section = ? AND key = ?"),
                     {session.UserId, kOptionsSection, kLineNotesKey})
            .toString() == u"1";
    return options;
}

void SaveOrderOptions(const store::Session& session, const OrderDocumentOptions& options) {
    session.Db->Exec(
        QStringLiteral("INSERT INTO user_profiles (user_id, section, key, value) VALUES (?, ?, ?, ?)"
                       " ON CONFLICT (user_id, section, key) DO UPDATE SET value = excluded.value"),
        {session.UserId, kOptionsSection, kLineNotesKey,
         options.LineNotes ? QStringLiteral("1") : QStringLiteral("0")});
}

QString OrderDocument::FileBaseName() const {
    QString name = BillNo.trimmed();
    for (QChar& ch : name)
        if (QStringView(u"\\/:*?\"<>|").contains(ch) || ch.unicode() < 0x20)
            ch = u'_';
    return name.isEmpty() ? QStringLiteral("order") : name;
}

OrderDocument BuildOrderDocument(const store::SessionPtr& session, qint64 orderId,
                                 const OrderDocumentOptions& options) {
    // The store leaves the price out of the lines for a user without the price right.
    const PurchaseOrder order = PurchaseOrderStore(session).Load(orderId);
    OrderDocument doc;
    doc.Title = Lang("采购订单");
    doc.BillNo = order.BillNo;
    doc.PricesShown = order.PricesShown;
    QHash<QString, QString> company;
    QSqlQuery settings = session->Db->Exec(
        QStringLiteral("SELECT key, value FROM system_settings WHERE section = 'Company' AND key IN ('Name',"
                       " 'Address', 'Currency', 'DeliveryAddress', 'PaymentTerms')"));
    while (settings.next())
        company.insert(settings.value(0).toString(), settings.value(1).toString().trimmed());
    doc.Company = company.value(QStringLiteral("Name"));
    doc.Address = company.value(QStringLiteral("Address"));

    doc.Fields = {{Lang("订单号"), order.BillNo, true},
                  {Lang("日期"), values::DisplayDate(order.Date), true},
                  {Lang("供应商代码"), order.SupplyNumber, false},
                  {Lang("供应商名称"), order.SupplyName, false}};
    if (!order.Buyer.isEmpty())
        doc.Fields.push_back({Lang("采购员"), order.Buyer, false});
    const struct {
        const char* key;
        const char* label;
        bool right;
    } terms[] = {{"Currency", "币别", true},
                 {"PaymentTerms", "付款条件", true},
                 {"DeliveryAddress", "交货地址", false}};
    for (const auto& term : terms)
        if (const QString value = company.value(QString::fromLatin1(term.key)); !value.isEmpty())
            doc.Fields.push_back({Lang(term.label), value, term.right});
    doc.RunningHeader =
        FieldText({Lang("订单号"), order.BillNo}) + QStringLiteral("    ") +
        FieldText({Lang("供应商"), QString(order.SupplyNumber + u' ' + order.SupplyName).trimmed()});

    QVector<int> shown;
    for (int c = 0; c < ColumnCount; ++c) {
        if ((kColumns[c].Priced && !order.PricesShown) || !Needed(kColumns[c].When, order, options))
            continue;
        shown << c;
        doc.Columns.push_back({Caption(kColumns[c].Caption), kColumns[c].Numeric});
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
        if (const qsizetype at = shown.indexOf(column); at >= 0)
            doc.TotalsRow[at] = Money(value);
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
    ledger.setFont(DocumentFont(kTablePoints));
    ledger.SetMaxCols(cols);
    ledger.SetMaxRows(int(doc.Rows.size()) + 1);
    // Widths in the ledger's unit (the table font's average letter), measured in the fonts the
    // table is printed in: the caption (bold) and the longest text, so nothing a supplier reads
    // is cut and no column is wider than it needs; a long name or note is the exception that may be.
    const QFontMetricsF text(DocumentFont(kTablePoints)), caption(DocumentFont(kTablePoints, true));
    static const QString sample = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const double unit = text.horizontalAdvance(sample) / sample.size();
    for (int c = 1; c <= cols; ++c) {
        const OrderDocument::Column& column = doc.Columns[c - 1];
        double width = caption.horizontalAdvance(column.Caption);
        for (const QStringList& row : doc.Rows)
            width = std::max(width, text.horizontalAdvance(row.value(c - 1)));
        ledger.SetText(1, c, column.Caption);
        // Half a letter beyond the ledger's own padding keeps a caption clear of the lines.
        ledger.SetColWidth(c, std::min(width / unit + 0.5, 40.0));
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
    // The supplier on the left, the order's number, date and terms on the right.
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

    // A page that strays from the others still names its order, its supplier and its place.
    for (controls::LedgerCell& cell : ledger.HeadCells())
        cell = Cell({}, 9);
    for (controls::LedgerCell& cell : ledger.FootCells())
        cell = Cell({}, 9);
    ledger.HeadCells()[1].Text = doc.RunningHeader;
    ledger.HeadCells()[3].Text = GetLangString(QStringLiteral("第 &[页] 页 / 共 &[总页] 页"));
    // The table under the centred title, between the supplier's and the order's facts.
    ledger.SetOptions(ledger.Options() | controls::CenterHorz | controls::WholeHeadFooterPerPage |
                      controls::PageNumbers);
    for (int side : {controls::Left, controls::Right})
        ledger.SetMargin(side, 12);
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
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setCreator(QGuiApplication::applicationName());
        writer.setTitle(doc.Title + u' ' + doc.BillNo);
        if (ledger.Render(writer) <= 0) {
            *error = Lang("无法生成PDF");
            return false;
        }
    }
    MendLedgerPdf(pdf, ledger);
    // Written under a temporary name: a failed write leaves no half file and the old one in place.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf) != pdf.size() || !out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
}

bool WriteOrderWorkbook(const OrderDocument& doc, const QString& path, QString* error) {
    exporting::Exporter exporter;
    PrepareExport(exporter, doc);
    return exporter.Write(path, exporting::Format::Xlsx, doc.FileBaseName(), error);
}

} // namespace zpp::services
