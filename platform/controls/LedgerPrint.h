#pragma once

#include "LedgerGrid.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QSizeF>
#include <array>
#include <map>
#include <vector>

class QPainter;

namespace zpp::controls {

class LedgerSheet;

// Everything about printing the ledger except its cells.
struct LedgerPageSetup {
    std::array<LedgerCell, 10> head;
    std::array<LedgerCell, 10> foot;
    std::vector<LedgerLine> title, closing; // see LedgerGrid::TitleLines
    QString note;
    std::array<double, 4> margins{15, 20, 15, 20}; // left, top, right, bottom (millimetres)
    // Every sheet of paper gets its own number unless the user asks otherwise.
    int options = ColorPrint | WholeHeadFooterPerPage | PageNumbers | PhysicPages;
    // Until the user sets up the page, a wide list prints across the paper's width on one page
    // per row band: landscape, its columns shrunk to fit.
    int pageMode = FitToWidth;
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Landscape;
    QString printerName;
    std::map<int, int> sheetValues;

    static constexpr int kDpiKey = 9;
    // Index into margins of a side code, -1 for an unknown code.
    static int SideIndex(int side);
    bool Has(int option) const { return (options & option) != 0; }
    int Dpi() const;
    // The page with the margins, which are cut down where they would leave no room.
    QPageLayout PageLayout() const;
    QByteArray PrinterBlock() const;
    // False (and nothing changed) for a block this code did not write.
    bool SetPrinterBlock(const QByteArray& block);
};

// Section "ReportView" of an INI file and the saved header/footer record; values that are
// missing or do not parse leave the setup as it was.
void LoadLedgerIni(LedgerPageSetup& setup, const QString& iniPath);
void LoadLedgerHeadFoot(LedgerPageSetup& setup, const QString& record);

// The pages of one print run. Pagination is arithmetic (every row has the same height), so
// laying out 100,000 rows costs no more than ten, and any page can be painted on its own.
// Pages run down first: page = down * PagesAcross() + across.
class LedgerLayout {
public:
    // area: the printable part of the page in device pixels at dpi.
    LedgerLayout(const LedgerSheet& sheet, const LedgerPageSetup& setup, const QFont& tableFont, QSizeF area,
                 double dpi);

    int PageCount() const { return m_down * PagesAcross(); }
    int PagesDown() const { return m_down; }
    int PagesAcross() const { return static_cast<int>(m_groups.size()); }
    // Paints a 0-based page; the painter's origin is the top left of the printable area.
    void PaintPage(QPainter& p, int page) const;

private:
    struct Col {
        int col;
        double width;
        Qt::Alignment align;
    };
    struct Group {
        int first;
        int count;
        double width;
    };
    // A text of a header, footer, title or closing block with where it sits on its line.
    struct Piece {
        const LedgerCell* cell;
        QFont font;
        int flags; // alignment, and word wrap for a header or footer's full-width cell
    };
    struct Line {
        std::vector<Piece> pieces;
        double height;
    };
    struct Block {
        std::vector<Line> lines;
        double height = 0; // with the gap towards the table
    };
    // Metrics of a table font, with a per-character table for ASCII so most cells need no
    // text layout to know whether and where they fit.
    struct TextFont {
        QFont font;
        QFontMetricsF metrics{QFont()};
        std::array<double, 95> ascii{};
        double wide = 0; // an upper bound for one character outside ASCII
        double baseline = 0;
    };

    void LayOutColumns();
    void LayOutBlock(Block& block, const std::array<LedgerCell, 10>& cells, bool footer) const;
    void LayOutLines(Block& block, const std::vector<LedgerLine>& lines) const;
    void AddLine(Block& block, std::vector<Piece> pieces) const;
    void FinishBlock(Block& block) const;
    void Paginate();
    TextFont MakeTextFont(const QFont& font) const;
    QFont DeviceFont(const QFont& font) const;
    QColor Ink(const QColor& color) const;
    int FirstRow(int down) const;
    int RowCount(int down) const;
    void PaintBlock(QPainter& p, const Block& block, double y, int pageNo, int pageTotal) const;
    // extendTo: where the grid's lines end when they run on past the last row, else < 0.
    void PaintTable(QPainter& p, const Group& group, int down, double extendTo) const;
    void PaintCell(QPainter& p, const TextFont& f, QStringView text, double x, double width, double top,
                   Qt::Alignment align) const;

    const LedgerSheet& m_sheet;
    const LedgerPageSetup& m_setup;
    QSizeF m_area;
    double m_dpi;
    TextFont m_data;
    TextFont m_caption;
    double m_rowHeight = 0;
    double m_padX = 0;
    double m_lineWidth = 0;
    double m_scale = 1; // FitToWidth: the table is drawn this much smaller
    std::vector<Col> m_cols;
    std::vector<Group> m_groups;
    Block m_head;
    Block m_foot;
    Block m_title;
    Block m_closing;
    int m_dataRows = 0;
    int m_firstPageRows = 1;
    int m_pageRows = 1;
    int m_down = 1;
};

// Replaces the page number fields of a header or footer text; blank without page numbers.
QString LedgerPageFields(const QString& text, int pageNo, int pageTotal, bool numbers);

} // namespace zpp::controls
