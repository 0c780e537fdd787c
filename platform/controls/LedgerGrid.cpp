#include "LedgerGrid.h"

#include "LedgerPreview.h"
#include "LedgerPrint.h"
#include "LedgerSetupDialog.h"
#include "LedgerSheet.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <cmath>

namespace zpp::controls {

namespace {
constexpr int kPadding = 6; // pixels beside a column's characters, as on the plan grid
}

LedgerGrid::LedgerGrid(QWidget* parent)
    : QTableView(parent), m_sheet(std::make_unique<LedgerSheet>()),
      m_setup(std::make_unique<LedgerPageSetup>()) {
    m_sheet->SetServer([this](int row, QString* text) {
        // Rows asked for before anyone listens must not stay cached as empty.
        if (!isSignalConnected(QMetaMethod::fromSignal(&LedgerGrid::RowTextRequested)))
            return false;
        Q_EMIT RowTextRequested(row, text);
        return true;
    });
    setModel(m_sheet.get());
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    // Fixed heights keep a reset and a scroll cheap at 100,000 rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { Q_EMIT RowActivated(index.row() + 1); });
}

LedgerGrid::~LedgerGrid() {
    // The sheet goes before the view's base; let the view drop it first.
    setModel(nullptr);
}

int LedgerGrid::MaxRows() const {
    return m_sheet->Rows();
}

void LedgerGrid::SetMaxRows(int rows) {
    m_sheet->SetRows(rows);
}

int LedgerGrid::MaxCols() const {
    return m_sheet->Cols();
}

void LedgerGrid::SetMaxCols(int cols) {
    const int old = m_sheet->Cols();
    m_sheet->SetCols(cols);
    for (int c = old + 1; c <= m_sheet->Cols(); ++c)
        ApplyColumn(c);
}

QString LedgerGrid::Text(int row, int col) const {
    return m_sheet->Text(row, col);
}

void LedgerGrid::SetCellReader(std::function<QString(int row, int col)> reader) {
    m_sheet->SetCellReader(std::move(reader));
}

void LedgerGrid::SetText(int row, int col, const QString& text) {
    m_sheet->SetText(row, col, text);
}

void LedgerGrid::ClearTexts() {
    m_sheet->ClearTexts();
}

double LedgerGrid::ColWidth(int col) const {
    return m_sheet->HasCol(col) ? m_sheet->Col(col).width : 0;
}

void LedgerGrid::SetColWidth(int col, double width) {
    if (!m_sheet->HasCol(col) || !std::isfinite(width))
        return;
    m_sheet->Col(col).width = std::max(0.0, width);
    ApplyColumn(col);
}

bool LedgerGrid::ColHidden(int col) const {
    return m_sheet->HasCol(col) && m_sheet->Col(col).hidden;
}

void LedgerGrid::SetColHidden(int col, bool hidden) {
    if (!m_sheet->HasCol(col))
        return;
    m_sheet->Col(col).hidden = hidden;
    ApplyColumn(col);
}

int LedgerGrid::ColCellType(int col) const {
    return m_sheet->HasCol(col) ? m_sheet->Col(col).type : 0;
}

void LedgerGrid::SetColCellType(int col, int type) {
    if (!m_sheet->HasCol(col))
        return;
    m_sheet->Col(col).type = type;
    viewport()->update();
}

int LedgerGrid::CurrentRow() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void LedgerGrid::SetCurrentRow(int row) {
    if (row < 1 || row > m_sheet->rowCount())
        return;
    int column = 0;
    while (column < m_sheet->Cols() - 1 && isColumnHidden(column))
        ++column;
    const QModelIndex index = m_sheet->index(row - 1, column);
    setCurrentIndex(index);
    scrollTo(index);
}

std::array<LedgerCell, 10>& LedgerGrid::HeadCells() {
    return m_setup->head;
}

std::array<LedgerCell, 10>& LedgerGrid::FootCells() {
    return m_setup->foot;
}

std::vector<LedgerLine>& LedgerGrid::TitleLines() {
    return m_setup->title;
}

std::vector<LedgerLine>& LedgerGrid::ClosingLines() {
    return m_setup->closing;
}

QString& LedgerGrid::NoteText() {
    return m_setup->note;
}

double LedgerGrid::Margin(int side) const {
    const int i = LedgerPageSetup::SideIndex(side);
    return i >= 0 ? m_setup->margins[i] : 0;
}

void LedgerGrid::SetMargin(int side, double millimetres) {
    const int i = LedgerPageSetup::SideIndex(side);
    if (i >= 0 && std::isfinite(millimetres) && millimetres >= 0)
        m_setup->margins[i] = millimetres;
}

int LedgerGrid::Options() const {
    return m_setup->options;
}

void LedgerGrid::SetOptions(int flags) {
    m_setup->options = flags;
}

int LedgerGrid::PageMode() const {
    return m_setup->pageMode;
}

void LedgerGrid::SetPageMode(int mode) {
    if (mode == PagesAcross || mode == FitToWidth)
        m_setup->pageMode = mode;
}

QPageLayout::Orientation LedgerGrid::Orientation() const {
    return m_setup->orientation;
}

void LedgerGrid::SetOrientation(QPageLayout::Orientation orientation) {
    m_setup->orientation = orientation;
}

QByteArray LedgerGrid::PrinterSettings() const {
    return m_setup->PrinterBlock();
}

void LedgerGrid::SetPrinterSettings(const QByteArray& block) {
    m_setup->SetPrinterBlock(block);
}

int LedgerGrid::SheetValue(int key) const {
    if (key == LedgerPageSetup::kDpiKey)
        return m_setup->Dpi();
    const auto it = m_setup->sheetValues.find(key);
    return it == m_setup->sheetValues.end() ? 0 : it->second;
}

void LedgerGrid::SetSheetValue(int key, int value) {
    m_setup->sheetValues[key] = value;
}

void LedgerGrid::LoadSettings(const QString& iniPath, const QString& headFootRecord) {
    if (!iniPath.isEmpty())
        LoadLedgerIni(*m_setup, iniPath);
    LoadLedgerHeadFoot(*m_setup, headFootRecord);
}

void LedgerGrid::PrintOut(int mode) {
    if (mode == 3) {
        PrintWithDialog(this);
        return;
    }
    if (mode != 7)
        return;
    LedgerPreview::Source source;
    source.pages = [this] {
        auto pages = std::make_shared<LedgerPages>();
        pages->page = m_setup->PageLayout();
        pages->dpi = m_setup->Dpi();
        pages->layout = std::make_unique<LedgerLayout>(
            *m_sheet, *m_setup, font(), pages->page.paintRectPixels(pages->dpi).size(), pages->dpi);
        return pages;
    };
    source.print = [this](QWidget* parent) { PrintWithDialog(parent); };
    source.setup = [this](QWidget* parent) {
        const bool accepted = SetupWithDialog(parent);
        if (accepted)
            Q_EMIT SettingsChanged();
        return accepted;
    };
    source.savePdf = [this](const QString& file, QString* error) { return SavePdf(file, error); };
    source.mayExport = m_mayExportPdf;
    source.pdfSaved = m_pdfSaved;
    LedgerPreview preview(std::move(source), this);
    ui::ExecModal(preview);
}

bool LedgerGrid::PrintToPrinter() {
    return PrintWithDialog(this);
}

bool LedgerGrid::PrintWithDialog(QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(m_setup->Dpi());
    printer.setPageLayout(m_setup->PageLayout());
    if (!m_setup->printerName.isEmpty() &&
        QPrinterInfo::availablePrinterNames().contains(m_setup->printerName))
        printer.setPrinterName(m_setup->printerName);
    const LedgerLayout layout(*m_sheet, *m_setup, font(),
                              printer.pageLayout().paintRectPixels(printer.resolution()).size(),
                              printer.resolution());
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("dlgLedgerPrint"));
    dialog.setWindowTitle(ui::Tr("打印"));
    dialog.setMinMax(1, std::max(1, layout.PageCount()));
    if (ui::ExecModal(dialog) != QDialog::Accepted)
        return false;
    // The paper and printer chosen there are what the next print starts from.
    const QPageLayout chosen = printer.pageLayout();
    if (chosen.pageSize().id() != QPageSize::Custom)
        m_setup->pageSize = chosen.pageSize().id();
    m_setup->orientation = chosen.orientation();
    if (printer.outputFormat() == QPrinter::NativeFormat)
        m_setup->printerName = printer.printerName();
    int from = 1, to = 0;
    if (printer.printRange() == QPrinter::PageRange) {
        from = printer.fromPage();
        to = printer.toPage();
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int pages = RenderPages(printer, from, to);
    QGuiApplication::restoreOverrideCursor();
    return pages > 0;
}

void LedgerGrid::SetPdfExport(std::function<bool()> mayExport,
                              std::function<void(const QString& file)> saved) {
    m_mayExportPdf = std::move(mayExport);
    m_pdfSaved = std::move(saved);
}

int LedgerGrid::Render(QPagedPaintDevice& device) {
    return RenderPages(device, 1, 0);
}

bool LedgerGrid::SavePdf(const QString& file, QString* error) {
    // Written under a temporary name: a failed write leaves no half file and the old one in place.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = out.errorString();
        return false;
    }
    {
        QPdfWriter writer(&out);
        writer.setCreator(QGuiApplication::applicationName());
        writer.setTitle(m_setup->head[2].Text);
        if (RenderPages(writer, 1, 0) <= 0) {
            *error = out.errorString();
            return false;
        }
    }
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
}

int LedgerGrid::RenderPages(QPagedPaintDevice& device, int from, int to) {
    // The device takes the ledger's paper, margins and resolution, so a PDF comes out as the
    // preview showed it.
    const int dpi = m_setup->Dpi();
    if (auto* pdf = dynamic_cast<QPdfWriter*>(&device))
        pdf->setResolution(dpi);
    else if (auto* printer = dynamic_cast<QPrinter*>(&device))
        printer->setResolution(dpi);
    device.setPageLayout(m_setup->PageLayout());
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    const LedgerLayout layout(*m_sheet, *m_setup, font(), QSizeF(device.width(), device.height()),
                              device.logicalDpiY());
    const int count = layout.PageCount();
    from = std::clamp(from, 1, count);
    to = to <= 0 ? count : std::min(to, count);
    for (int page = from; page <= to; ++page) {
        if (page > from)
            device.newPage();
        layout.PaintPage(painter, page - 1);
    }
    painter.end();
    return count;
}

bool LedgerGrid::PrinterSetup() {
    return SetupWithDialog(this);
}

bool LedgerGrid::SetupWithDialog(QWidget* parent) {
    LedgerSetupDialog dialog(*m_setup, parent);
    if (ui::ExecModal(dialog) != QDialog::Accepted)
        return false;
    *m_setup = dialog.Result();
    return true;
}

double LedgerGrid::CharWidth() const {
    const QFontMetricsF fm(font());
    static const QString sample = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    return fm.horizontalAdvance(sample) / sample.size();
}

void LedgerGrid::ApplyColumn(int col) {
    if (!m_sheet->HasCol(col))
        return;
    const LedgerSheet::Column& c = m_sheet->Col(col);
    if (c.width > 1)
        setColumnWidth(col - 1, qRound(c.width * CharWidth()) + kPadding);
    else if (c.width > 0)
        setColumnWidth(col - 1, int(viewport()->width() * c.width));
    setColumnHidden(col - 1, c.hidden);
}

void LedgerGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    for (int c = 1; c <= m_sheet->Cols(); ++c)
        if (m_sheet->Col(c).width > 0 && m_sheet->Col(c).width <= 1)
            ApplyColumn(c);
}

void LedgerGrid::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && CurrentRow() > 0) {
        Q_EMIT RowActivated(CurrentRow());
        return;
    }
    QTableView::keyPressEvent(event);
}

} // namespace zpp::controls
