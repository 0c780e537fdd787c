#pragma once

#include "platform/records/KeyedRecord.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QPageLayout>
#include <QString>
#include <QTableView>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPrinter;

namespace zpp::controls {

// One header or footer cell of the print layout. Cells 0 to 9: cell 0 is a full-width line
// above (header) or below (footer) the others; cells 1-3, 4-6 and 7-9 are three lines, each
// with a left, a centred and a right cell. "&[页]" in a text becomes the page number and
// "&[总页]" the page count.
struct LedgerCell {
    QString Text;
    QFont Font;              // family, point size, bold, italic, underline, strike out
    int Charset = 134;       // kept for the saved layout; Qt fonts carry no charset
    QColor Back = Qt::white; // drawn only when not white
    QColor Fore = Qt::black;
};

// One line of a title or closing block: a left, a centred and a right text.
struct LedgerLine {
    LedgerCell Left, Centre, Right;
};

// Print options, as flags.
enum LedgerOption : int {
    ColorPrint = 1,
    // Header and footer on every page (else the header on the first, the footer on the last).
    WholeHeadFooterPerPage = 2,
    GridExtend = 4,         // the grid's lines run on to the bottom margin
    FooterAtPageBottom = 8, // the footer sits at the bottom margin (else below the last row)
    CenterHorz = 16,
    CenterVert = 32,
    PageNumbers = 64,   // "&[页]" and "&[总页]" are filled in; without it they print blank
    PhysicPages = 128,  // pages across are numbered as pages of their own
    SavingPaper = 256,  // tighter row height
    NotPrtFrame = 512,  // no outer frame
    NotPrtHLine = 1024, // no horizontal lines between rows
    NotPrtVLine = 2048, // no vertical lines between columns
};

// Margin side codes.
enum LedgerSide : int { Left = 1, Top = 2, Right = 4, Bottom = 8 };

// Page modes: columns that do not fit are carried to further pages across, or the whole
// width is scaled down to the page.
enum LedgerPageMode : int { PagesAcross = 0, FitToWidth = 1 };

class LedgerSheet;
struct LedgerPageSetup;

// The ledger: a sheet of text cells (row 1 the caption row, rows 2.. the data rows, 1-based
// columns) shown as a read-only report grid, and printed, previewed or exported from.
// Cell texts are either put into the sheet (SetText) or served on request: a row without
// texts of its own is asked for through RowTextRequested, whose answer is the row's cell
// texts each followed by "|".
class LedgerGrid : public QTableView {
    Q_OBJECT
public:
    explicit LedgerGrid(QWidget* parent = nullptr);
    ~LedgerGrid() override;

    // Sheet size, caption row included. Growing adds empty rows; shrinking drops texts.
    int MaxRows() const;
    void SetMaxRows(int rows);
    int MaxCols() const;
    void SetMaxCols(int cols);
    // The text of a cell: its own text, else the served row's; empty outside the sheet.
    QString Text(int row, int col) const;
    void SetText(int row, int col, const QString& text);
    // Drops every text put into the sheet, so all rows are served on request again.
    void ClearTexts();
    // While set, rows without texts of their own are read from here cell by cell (sheet row and
    // column) instead of through RowTextRequested: a print reads a million rows in place.
    void SetCellReader(std::function<QString(int row, int col)> reader);

    // Width: 1 or less is a fraction of the view's width, more is characters (as the plan grid).
    double ColWidth(int col) const;
    void SetColWidth(int col, double width);
    bool ColHidden(int col) const;
    void SetColHidden(int col, bool hidden);
    // The plan grid's cell type codes (13 number: right aligned).
    int ColCellType(int col) const;
    void SetColCellType(int col, int type);

    // 1-based data row (sheet row - 1) of the view's current row, 0 when there is none.
    int CurrentRow() const;
    void SetCurrentRow(int row);

    // Print layout and page settings.
    std::array<LedgerCell, 10>& HeadCells();
    std::array<LedgerCell, 10>& FootCells();
    // A document printed through the ledger (a purchase order) has a title block, printed once
    // above the table on the first page, and a closing block (its totals) printed once below the
    // last row. They are the document's content, not page settings, so they are never saved.
    std::vector<LedgerLine>& TitleLines();
    std::vector<LedgerLine>& ClosingLines();
    QString& NoteText();
    double Margin(int side) const; // millimetres
    void SetMargin(int side, double millimetres);
    int Options() const;
    void SetOptions(int flags);
    int PageMode() const;
    void SetPageMode(int mode);
    QPageLayout::Orientation Orientation() const;
    void SetOrientation(QPageLayout::Orientation orientation);
    // Page size, orientation and printer name as one opaque block, for saving and restoring.
    QByteArray PrinterSettings() const;
    void SetPrinterSettings(const QByteArray& block);
    // Sheet layout values; 9 is the print resolution in dots per inch.
    int SheetValue(int key) const;
    void SetSheetValue(int key, int value);

    // Reads the page settings saved in section "ReportView" of an INI file and a saved
    // header/footer record ("key=value" pairs each followed by "л"). Missing or bad values
    // keep their defaults; nothing fails.
    void LoadSettings(const QString& iniPath, const QString& headFootRecord);

    // Print modes: 3 asks for a printer (QPrintDialog, through the modal seam) and prints,
    // 7 opens the preview window (zoom, pages, print, PDF). Other modes do nothing.
    void PrintOut(int mode);
    // Mode 3 alone: true when the user chose a printer and the pages went to it.
    bool PrintToPrinter();
    // Lays the sheet out on any paged device (a PDF writer, a printer). Returns the page count.
    int Render(QPagedPaintDevice& device);
    // Writes every page as a PDF under a temporary name that replaces file only when whole.
    // False with the reason when it cannot be written.
    bool SavePdf(const QString& file, QString* error);
    // A PDF saved from the preview leaves the program as an export does: mayExport may refuse it
    // (having said why) and saved hears of each file written. Unset, every PDF is allowed.
    void SetPdfExport(std::function<bool()> mayExport, std::function<void(const QString& file)> saved);
    // The printer setup dialog (page size, orientation, margins, options, header and footer
    // texts), through the modal seam. True when the user accepted it.
    bool PrinterSetup();

Q_SIGNALS:
    // A double click or Enter on a data row (1-based).
    void RowActivated(int row);
    // The texts of a sheet row are wanted (row 1 the caption row).
    void RowTextRequested(int row, QString* text);
    // The user changed the page setup from the preview window, so its owner can keep it.
    void SettingsChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ApplyColumn(int col);
    double CharWidth() const;
    bool PrintWithDialog(QWidget* parent);
    bool SetupWithDialog(QWidget* parent);
    // Prints pages from to to (1-based; to 0 for the last) on a device set to the page setup.
    int RenderPages(QPagedPaintDevice& device, int from, int to);

    std::unique_ptr<LedgerSheet> m_sheet;
    std::unique_ptr<LedgerPageSetup> m_setup;
    std::function<bool()> m_mayExportPdf;
    std::function<void(const QString& file)> m_pdfSaved;
};

} // namespace zpp::controls
