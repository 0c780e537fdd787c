#include "LedgerPrint.h"

#include "LedgerSheet.h"
#include "platform/ini/IniFile.h"

#include <QDataStream>
#include <QHash>
#include <QIODevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <optional>

namespace zpp::controls {

namespace {

constexpr int kNumberType = 13;
constexpr quint8 kBlockVersion = 1;
constexpr double kEpsilon = 1e-6;

std::optional<double> Number(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// Saved flags are "-1"/"0" in the record and "1"/"0" in the INI file; both read either way.
std::optional<bool> Flag(const QString& text) {
    const QString t = text.trimmed();
    if (t == u"-1" || t == u"1")
        return true;
    if (t == u"0")
        return false;
    return std::nullopt;
}

// Colours are saved as one number: red + green * 256 + blue * 65536.
std::optional<QColor> SavedColor(const QString& text) {
    const auto v = Number(text);
    if (!v || *v < 0 || *v > 0xFFFFFF || *v != std::floor(*v))
        return std::nullopt;
    const auto n = static_cast<quint32>(*v);
    return QColor(int(n & 0xFF), int((n >> 8) & 0xFF), int((n >> 16) & 0xFF));
}

} // namespace

QString LedgerPageFields(const QString& text, int pageNo, int pageTotal, bool numbers) {
    if (!text.contains(u"&["))
        return text;
    QString t = text;
    // Without page numbers the fields print blank, and the text around them stays.
    t.replace(QStringLiteral("&[总页]"), numbers ? QString::number(pageTotal) : QString());
    t.replace(QStringLiteral("&[页]"), numbers ? QString::number(pageNo) : QString());
    return t;
}

int LedgerPageSetup::SideIndex(int side) {
    switch (side) {
    case Left:
        return 0;
    case Top:
        return 1;
    case Right:
        return 2;
    case Bottom:
        return 3;
    default:
        return -1;
    }
}

int LedgerPageSetup::Dpi() const {
    const auto it = sheetValues.find(kDpiKey);
    if (it == sheetValues.end() || it->second < 72 || it->second > 2400)
        return 300;
    return it->second;
}

QPageLayout LedgerPageSetup::PageLayout() const {
    const QPageSize size(pageSize);
    QSizeF mm = size.size(QPageSize::Millimeter);
    if (orientation == QPageLayout::Landscape)
        mm.transpose();
    double l = std::max(0.0, margins[0]), t = std::max(0.0, margins[1]);
    double r = std::max(0.0, margins[2]), b = std::max(0.0, margins[3]);
    // Margins that would eat the page are cut down so some room is always left to print on.
    if (l + r > mm.width() * 0.8) {
        const double k = mm.width() * 0.8 / (l + r);
        l *= k;
        r *= k;
    }
    if (t + b > mm.height() * 0.8) {
        const double k = mm.height() * 0.8 / (t + b);
        t *= k;
        b *= k;
    }
    return QPageLayout(size, orientation, QMarginsF(l, t, r, b), QPageLayout::Millimeter, QMarginsF());
}

QByteArray LedgerPageSetup::PrinterBlock() const {
    QByteArray block;
    QDataStream out(&block, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kBlockVersion << qint32(pageSize) << qint32(orientation) << printerName;
    return block;
}

bool LedgerPageSetup::SetPrinterBlock(const QByteArray& block) {
    QDataStream in(block);
    in.setVersion(QDataStream::Qt_6_0);
    quint8 version = 0;
    qint32 size = -1, turn = -1;
    QString name;
    in >> version;
    if (version != kBlockVersion)
        return false;
    in >> size >> turn >> name;
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return false;
    if (size < 0 || size > QPageSize::LastPageSize || size == QPageSize::Custom || (turn != 0 && turn != 1))
        return false;
    pageSize = QPageSize::PageSizeId(size);
    orientation = QPageLayout::Orientation(turn);
    printerName = name;
    return true;
}

void LoadLedgerIni(LedgerPageSetup& setup, const QString& iniPath) {
    const QString section = QStringLiteral("ReportView");
    auto read = [&](const char* key) { return ini::Read(iniPath, section, QString::fromLatin1(key)); };

    const QStringList bytes = read("PrintSetting").split(u'|', Qt::SkipEmptyParts);
    if (!bytes.isEmpty()) {
        QByteArray block;
        bool good = true;
        for (const QString& b : bytes) {
            bool ok = false;
            const int v = b.trimmed().toInt(&ok);
            good = good && ok && v >= 0 && v <= 255;
            block.append(char(v));
        }
        if (good)
            setup.SetPrinterBlock(block);
    }

    const struct {
        const char* key;
        int side;
    } margins[] = {{"PageTopMargin", Top},
                   {"PageLeftMargin", Left},
                   {"PageRightMargin", Right},
                   {"PageBottomMargin", Bottom}};
    for (const auto& m : margins) {
        const auto v = Number(read(m.key));
        if (v && *v >= 0 && *v <= 500)
            setup.margins[LedgerPageSetup::SideIndex(m.side)] = *v;
    }

    const auto mode = Number(read("PageMode"));
    if (mode && (*mode == 0 || *mode == 1))
        setup.pageMode = *mode == 0 ? PagesAcross : FitToWidth;

    const struct {
        const char* key;
        int option;
    } flags[] = {{"CenterHorz", CenterHorz},   {"CenterVert", CenterVert},
                 {"ColorPrint", ColorPrint},   {"FooterAtPageBottom", FooterAtPageBottom},
                 {"GridExtend", GridExtend},   {"NotPrtFrame", NotPrtFrame},
                 {"NotPrtHLine", NotPrtHLine}, {"NotPrtVLine", NotPrtVLine},
                 {"PhysicPages", PhysicPages}, {"PN", PageNumbers},
                 {"SavingPaper", SavingPaper}, {"WholeHeadFooterPerPage", WholeHeadFooterPerPage}};
    for (const auto& f : flags) {
        const auto on = Flag(read(f.key));
        if (on)
            setup.options = *on ? (setup.options | f.option) : (setup.options & ~f.option);
    }
}

void LoadLedgerHeadFoot(LedgerPageSetup& setup, const QString& record) {
    QHash<QString, QString> values;
    for (const QString& pair : record.split(u'л', Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq > 0)
            values.insert(pair.left(eq).trimmed().toCaseFolded(), pair.mid(eq + 1));
    }
    auto value = [&](const QString& key) -> std::optional<QString> {
        const auto it = values.constFind(key.toCaseFolded());
        if (it == values.cend())
            return std::nullopt;
        return *it;
    };

    auto loadCells = [&](std::array<LedgerCell, 10>& cells, const QString& part, const char* boldKey) {
        for (int i = 0; i < 10; ++i) {
            LedgerCell& cell = cells[i];
            const QString p = QString::number(i) + part;
            if (const auto text = value(p))
                cell.Text = *text;
            if (const auto name = value(p + u"FontName"); name && !name->trimmed().isEmpty())
                cell.Font.setFamily(name->trimmed());
            if (const auto size = value(p + u"FontSize")) {
                const auto v = Number(*size);
                if (v && *v > 0 && *v <= 400)
                    cell.Font.setPointSizeF(*v);
            }
            if (const auto charset = value(p + u"FontCharset")) {
                const auto v = Number(*charset);
                if (v && *v >= 0 && *v <= 255)
                    cell.Charset = int(*v);
            }
            const auto bold = value(p + QString::fromLatin1(boldKey));
            if (const auto on = bold ? Flag(*bold) : std::nullopt)
                cell.Font.setBold(*on);
            if (const auto on = Flag(value(p + u"FontItalic").value_or(QString())))
                cell.Font.setItalic(*on);
            if (const auto on = Flag(value(p + u"FontUnderline").value_or(QString())))
                cell.Font.setUnderline(*on);
            if (const auto on = Flag(value(p + u"FontStrikethrough").value_or(QString())))
                cell.Font.setStrikeOut(*on);
            if (const auto c = SavedColor(value(p + u"BackColor").value_or(QString())))
                cell.Back = *c;
            if (const auto c = SavedColor(value(p + u"ForeColor").value_or(QString())))
                cell.Fore = *c;
        }
    };
    // The saved header spells its bold key with a double "d".
    loadCells(setup.head, QStringLiteral("Head"), "FontBoldd");
    loadCells(setup.foot, QStringLiteral("Foot"), "FontBold");
    if (const auto note = value(QStringLiteral("NoteText")))
        setup.note = *note;
}

LedgerLayout::LedgerLayout(const LedgerSheet& sheet, const LedgerPageSetup& setup, const QFont& tableFont,
                           QSizeF area, double dpi)
    : m_sheet(sheet), m_setup(setup), m_area(area), m_dpi(dpi > 0 ? dpi : 300) {
    m_data = MakeTextFont(tableFont);
    QFont bold = tableFont;
    bold.setBold(true);
    m_caption = MakeTextFont(bold);
    const double textHeight = std::max(m_data.metrics.height(), m_caption.metrics.height());
    m_rowHeight = textHeight * (m_setup.Has(SavingPaper) ? 1.2 : 1.6);
    m_data.baseline = (m_rowHeight - m_data.metrics.height()) / 2 + m_data.metrics.ascent();
    m_caption.baseline = (m_rowHeight - m_caption.metrics.height()) / 2 + m_caption.metrics.ascent();
    m_padX = textHeight * 0.25;
    m_lineWidth = m_dpi / 144; // half a point
    m_dataRows = std::max(0, m_sheet.Rows() - 1);
    // Whoever serves the caption row may set column widths and hidden states with it; ask for
    // it before the columns are laid out, not when the first page paints it.
    m_sheet.Cell(1, 1);
    LayOutColumns();
    LayOutBlock(m_head, m_setup.head, false);
    LayOutBlock(m_foot, m_setup.foot, true);
    LayOutLines(m_title, m_setup.title);
    LayOutLines(m_closing, m_setup.closing);
    Paginate();
}

QFont LedgerLayout::DeviceFont(const QFont& font) const {
    // Pixel sizes at the print resolution: the same layout then paints alike on a PDF, a
    // printer and a scaled preview image.
    QFont f = font;
    const double px = font.pointSizeF() > 0 ? font.pointSizeF() * m_dpi / 72 : font.pixelSize() * m_dpi / 96;
    f.setPixelSize(std::max(1, qRound(px)));
    return f;
}

LedgerLayout::TextFont LedgerLayout::MakeTextFont(const QFont& font) const {
    TextFont t;
    t.font = DeviceFont(font);
    t.metrics = QFontMetricsF(t.font);
    for (int i = 0; i < 95; ++i)
        t.ascii[i] = t.metrics.horizontalAdvance(QChar(0x20 + i));
    t.wide =
        std::max(t.metrics.horizontalAdvance(QChar(0x4E2D)), t.metrics.horizontalAdvance(QChar(0xFF37))) *
        1.05;
    return t;
}

QColor LedgerLayout::Ink(const QColor& color) const {
    if (m_setup.Has(ColorPrint))
        return color;
    const int g = qGray(color.rgb());
    return QColor(g, g, g);
}

void LedgerLayout::LayOutColumns() {
    static const QString sample = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    // Character widths as the screen grid measures them, with its 6-pixel padding.
    const double charWidth = m_data.metrics.horizontalAdvance(sample) / sample.size();
    const double padding = 6 * m_dpi / 96;
    const double pageWidth = m_area.width();
    double total = 0;
    for (int c = 1; c <= m_sheet.Cols(); ++c) {
        const LedgerSheet::Column& col = m_sheet.Col(c);
        if (col.hidden)
            continue;
        const double w = col.width > 0 ? col.width : 10;
        const double px = w <= 1 ? w * pageWidth : w * charWidth + padding;
        m_cols.push_back({c, px, col.type == kNumberType ? Qt::AlignRight : Qt::AlignLeft});
        total += px;
    }
    if (m_setup.pageMode == FitToWidth || m_cols.empty()) {
        m_scale = total > pageWidth && total > 0 ? pageWidth / total : 1;
        m_groups.push_back({0, static_cast<int>(m_cols.size()), total});
        return;
    }
    Group g{0, 0, 0};
    for (int i = 0; i < static_cast<int>(m_cols.size()); ++i) {
        const double w = m_cols[i].width;
        if (g.count > 0 && g.width + w > pageWidth + kEpsilon) {
            m_groups.push_back(g);
            g = Group{i, 0, 0};
        }
        ++g.count;
        g.width += w;
    }
    m_groups.push_back(g);
}

void LedgerLayout::AddLine(Block& block, std::vector<Piece> pieces) const {
    const double width = m_area.width();
    double h = 0;
    for (const Piece& piece : pieces) {
        if (piece.cell->Text.isEmpty())
            continue;
        // Page numbers of a few digits are what the printed line will hold.
        h = std::max(h, QFontMetricsF(piece.font)
                            .boundingRect(QRectF(0, 0, width, 1e6), piece.flags,
                                          LedgerPageFields(piece.cell->Text, 88, 88, true))
                            .height());
    }
    if (h > 0)
        block.lines.push_back({std::move(pieces), h});
}

void LedgerLayout::FinishBlock(Block& block) const {
    if (block.lines.empty())
        return;
    for (const Line& line : block.lines)
        block.height += line.height;
    block.height += m_rowHeight * 0.15 * double(block.lines.size() - 1) + m_rowHeight * 0.5;
}

void LedgerLayout::LayOutBlock(Block& block, const std::array<LedgerCell, 10>& cells, bool footer) const {
    auto piece = [&](int i) {
        // Cell 0 is a full-width line; the others sit left, centred or right on theirs.
        const Qt::Alignment align = i == 0             ? Qt::AlignLeft
                                    : (i - 1) % 3 == 0 ? Qt::AlignLeft
                                    : (i - 1) % 3 == 1 ? Qt::AlignHCenter
                                                       : Qt::AlignRight;
        return Piece{&cells[i], DeviceFont(cells[i].Font),
                     int(align | Qt::AlignTop) | (i == 0 ? Qt::TextWordWrap : 0)};
    };
    if (!footer)
        AddLine(block, {piece(0)});
    for (int first : {1, 4, 7})
        AddLine(block, {piece(first), piece(first + 1), piece(first + 2)});
    if (footer)
        AddLine(block, {piece(0)});
    FinishBlock(block);
}

void LedgerLayout::LayOutLines(Block& block, const std::vector<LedgerLine>& lines) const {
    for (const LedgerLine& line : lines) {
        const int top = int(Qt::AlignTop);
        AddLine(block, {Piece{&line.Left, DeviceFont(line.Left.Font), top | int(Qt::AlignLeft)},
                        Piece{&line.Centre, DeviceFont(line.Centre.Font), top | int(Qt::AlignHCenter)},
                        Piece{&line.Right, DeviceFont(line.Right.Font), top | int(Qt::AlignRight)}});
    }
    FinishBlock(block);
}

void LedgerLayout::Paginate() {
    const double rowH = m_rowHeight * m_scale;
    const double pageH = m_area.height();
    const bool every = m_setup.Has(WholeHeadFooterPerPage);
    const double first = pageH - m_head.height - m_title.height - rowH - (every ? m_foot.height : 0);
    const double other = pageH - (every ? m_head.height : 0) - rowH - (every ? m_foot.height : 0);
    m_firstPageRows = std::max(1, int(std::floor(first / rowH + kEpsilon)));
    m_pageRows = std::max(1, int(std::floor(other / rowH + kEpsilon)));
    if (m_dataRows <= m_firstPageRows)
        m_down = 1;
    else
        m_down = 1 + (m_dataRows - m_firstPageRows + m_pageRows - 1) / m_pageRows;
    // The closing block, and a footer printed on the last page only, need room there; without
    // it, they get a page of their own.
    const double tail = m_closing.height + (every ? 0 : m_foot.height);
    if (tail > 0) {
        const double room = (m_down == 1 ? first : other) - tail;
        if (RowCount(m_down - 1) * rowH > room + kEpsilon)
            ++m_down;
    }
}

int LedgerLayout::FirstRow(int down) const {
    return down == 0 ? 0 : m_firstPageRows + (down - 1) * m_pageRows;
}

int LedgerLayout::RowCount(int down) const {
    const int room = down == 0 ? m_firstPageRows : m_pageRows;
    return std::clamp(m_dataRows - FirstRow(down), 0, room);
}

void LedgerLayout::PaintPage(QPainter& p, int page) const {
    if (page < 0 || page >= PageCount())
        return;
    const int across = PagesAcross();
    const int down = page / across;
    const Group& group = m_groups[page % across];
    const bool physic = m_setup.Has(PhysicPages);
    const int pageNo = physic ? page + 1 : down + 1;
    const int pageTotal = physic ? PageCount() : m_down;
    const bool every = m_setup.Has(WholeHeadFooterPerPage);
    const bool head = every || down == 0;
    const bool last = down == m_down - 1;
    const bool foot = every || last;
    const int rows = RowCount(down);
    // A page holding only what did not fit below the last row has no caption row.
    const bool table = rows > 0 || down == 0;
    const double pageW = m_area.width(), pageH = m_area.height();
    const double rowH = m_rowHeight * m_scale;
    const double tableH = table ? (rows + 1) * rowH : 0;
    const double titleH = down == 0 ? m_title.height : 0;
    const double closingH = last ? m_closing.height : 0;
    const double footH = foot ? m_foot.height : 0;
    const bool footAtBottom = foot && m_setup.Has(FooterAtPageBottom);
    const bool extend = table && m_setup.Has(GridExtend);

    double y = 0;
    if (m_setup.Has(CenterVert) && !extend) {
        const double block =
            (head ? m_head.height : 0) + titleH + tableH + closingH + (footAtBottom ? 0 : footH);
        const double room = footAtBottom ? pageH - footH : pageH;
        y = std::max(0.0, (room - block) / 2);
    }
    if (head) {
        PaintBlock(p, m_head, y, pageNo, pageTotal);
        y += m_head.height;
    }
    if (titleH > 0) {
        PaintBlock(p, m_title, y, pageNo, pageTotal);
        y += titleH;
    }
    double tableBottom = y + tableH;
    if (table) {
        const double tableW = group.width * m_scale;
        const double x = m_setup.Has(CenterHorz) ? std::max(0.0, (pageW - tableW) / 2) : 0;
        if (extend)
            tableBottom = std::max(tableBottom, pageH - footH - closingH);
        p.save();
        p.translate(x, y);
        p.scale(m_scale, m_scale);
        PaintTable(p, group, down, extend ? (tableBottom - y) / m_scale : -1);
        p.restore();
    }
    if (closingH > 0) {
        PaintBlock(p, m_closing, tableBottom + m_rowHeight * 0.5, pageNo, pageTotal);
        tableBottom += closingH;
    }
    if (foot && !m_foot.lines.empty()) {
        const double top = footAtBottom ? pageH - m_foot.height : tableBottom;
        PaintBlock(p, m_foot, top + m_rowHeight * 0.5, pageNo, pageTotal);
    }
}

void LedgerLayout::PaintBlock(QPainter& p, const Block& block, double y, int pageNo, int pageTotal) const {
    const double width = m_area.width();
    for (const Line& line : block.lines) {
        for (const Piece& piece : line.pieces) {
            const LedgerCell& cell = *piece.cell;
            if (cell.Text.isEmpty())
                continue;
            const QString text = LedgerPageFields(cell.Text, pageNo, pageTotal, m_setup.Has(PageNumbers));
            const QRectF rect(0, y, width, line.height);
            p.setFont(piece.font);
            if (cell.Back.isValid() && cell.Back.rgb() != QColor(Qt::white).rgb()) {
                const QRectF back = p.boundingRect(rect, piece.flags, text);
                p.fillRect(back.adjusted(-m_padX, 0, m_padX, 0), Ink(cell.Back));
            }
            p.setPen(Ink(cell.Fore));
            p.drawText(rect, piece.flags, text);
        }
        y += line.height + m_rowHeight * 0.15;
    }
}

void LedgerLayout::PaintTable(QPainter& p, const Group& group, int down, double extendTo) const {
    const double rowH = m_rowHeight;
    const double width = group.width;
    const int rows = RowCount(down);
    const int first = FirstRow(down) + 2; // sheet row of the page's first data row
    const Col* cols = m_cols.data() + group.first;

    {
        p.fillRect(QRectF(0, 0, width, rowH),
                   m_setup.Has(ColorPrint) ? QColor(221, 230, 241) : QColor(230, 230, 230));
        p.setPen(Qt::black);
        p.setFont(m_caption.font);
        double x = 0;
        for (int i = 0; i < group.count; ++i) {
            PaintCell(p, m_caption, m_sheet.Cell(1, cols[i].col), x, cols[i].width, 0, Qt::AlignHCenter);
            x += cols[i].width;
        }
    }
    double y = rowH;
    p.setFont(m_data.font);
    for (int r = 0; r < rows; ++r) {
        double x = 0;
        for (int i = 0; i < group.count; ++i) {
            PaintCell(p, m_data, m_sheet.Cell(first + r, cols[i].col), x, cols[i].width, y, cols[i].align);
            x += cols[i].width;
        }
        y += rowH;
    }

    const double bottom = std::max(y, extendTo);
    QVector<QLineF> lines;
    lines.append(QLineF(0, rowH, width, rowH));
    if (!m_setup.Has(NotPrtHLine)) {
        for (int r = 2; r <= rows; ++r)
            lines.append(QLineF(0, r * rowH, width, r * rowH));
        // With the grid run on, the last row still needs its closing line.
        if (bottom > y + kEpsilon && rows > 0)
            lines.append(QLineF(0, y, width, y));
    }
    if (!m_setup.Has(NotPrtVLine)) {
        double x = 0;
        for (int i = 0; i + 1 < group.count; ++i) {
            x += cols[i].width;
            lines.append(QLineF(x, 0, x, bottom));
        }
    }
    const QColor ink = m_setup.Has(ColorPrint) ? QColor(70, 90, 120) : QColor(Qt::black);
    p.setPen(QPen(ink, m_lineWidth));
    p.setBrush(Qt::NoBrush);
    p.drawLines(lines);
    if (!m_setup.Has(NotPrtFrame)) {
        p.setPen(QPen(ink, m_lineWidth * 2));
        p.drawRect(QRectF(0, 0, width, bottom));
    }
    p.setPen(Qt::black);
}

void LedgerLayout::PaintCell(QPainter& p, const TextFont& f, QStringView text, double x, double width,
                             double top, Qt::Alignment align) const {
    const double inner = width - 2 * m_padX;
    if (text.isEmpty() || inner <= 0)
        return;
    // Most cells are short: an upper bound from the ASCII table decides without laying the
    // text out; only texts that may not fit, or must be aligned exactly, are measured.
    double estimate = 0;
    bool ascii = true;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= 0x20 && u < 0x7F) {
            estimate += f.ascii[u - 0x20];
        } else {
            ascii = false;
            estimate += f.wide;
        }
    }
    QString s = QString::fromRawData(text.constData(), text.size());
    double textWidth = estimate;
    if (estimate > inner || (!ascii && !(align & Qt::AlignLeft))) {
        textWidth = f.metrics.horizontalAdvance(s);
        if (textWidth > inner) {
            s = f.metrics.elidedText(s, Qt::ElideRight, inner);
            textWidth = f.metrics.horizontalAdvance(s);
        }
    }
    double tx = x + m_padX;
    if (align & Qt::AlignRight)
        tx = x + width - m_padX - textWidth;
    else if (align & Qt::AlignHCenter)
        tx = x + (width - textWidth) / 2;
    p.drawText(QPointF(tx, top + f.baseline), s);
}

} // namespace zpp::controls
