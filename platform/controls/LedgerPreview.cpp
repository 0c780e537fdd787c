#include "LedgerPreview.h"

#include "platform/ui/Prompt.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

namespace zpp::controls {

QImage LedgerPages::Image(int page, double scale) const {
    const QRect full = this->page.fullRectPixels(dpi);
    const QRect paint = this->page.paintRectPixels(dpi);
    QImage image(std::max(1, int(std::ceil(full.width() * scale))),
                 std::max(1, int(std::ceil(full.height() * scale))), QImage::Format_RGB32);
    image.fill(Qt::white);
    if (!layout)
        return image;
    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    p.scale(scale, scale);
    p.translate(paint.topLeft());
    layout->PaintPage(p, page);
    return image;
}

namespace {

constexpr int kPageMargin = 12;

// One page, painted from the layout the first time it is shown at a given size.
class PageView : public QWidget {
public:
    explicit PageView(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("pagePreview"));
        setAccessibleName(ui::Tr("预览页面"));
    }

    void Show(std::shared_ptr<LedgerPages> pages, int page, double scale) {
        m_pages = std::move(pages);
        m_page = page;
        m_scale = scale;
        m_image = QImage();
        const QRect full = m_pages->page.fullRectPixels(m_pages->dpi);
        resize(int(std::ceil(full.width() * scale)) + 2 * kPageMargin,
               int(std::ceil(full.height() * scale)) + 2 * kPageMargin);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!m_pages)
            return;
        const qreal ratio = devicePixelRatioF();
        if (m_image.isNull()) {
            m_image = m_pages->Image(m_page - 1, m_scale * ratio);
            m_image.setDevicePixelRatio(ratio);
        }
        QPainter p(this);
        const QRect sheet(kPageMargin, kPageMargin, int(m_image.width() / ratio),
                          int(m_image.height() / ratio));
        p.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 70));
        p.drawImage(sheet.topLeft(), m_image);
        p.setPen(Qt::darkGray);
        p.drawRect(sheet.adjusted(0, 0, -1, -1));
    }

private:
    std::shared_ptr<LedgerPages> m_pages;
    int m_page = 1;
    double m_scale = 1;
    QImage m_image;
};

QAction* AddAction(QToolBar* bar, const char* name, const QString& text, QKeySequence key = {}) {
    QAction* action = bar->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(text);
    if (!key.isEmpty())
        action->setShortcut(key);
    return action;
}

} // namespace

LedgerPreview::LedgerPreview(Source source, QWidget* parent) : QDialog(parent), m_source(std::move(source)) {
    setObjectName(QStringLiteral("frmLedgerPreview"));
    setWindowTitle(ui::Tr("打印预览"));
    setAccessibleName(windowTitle());
    setSizeGripEnabled(true);
    resize(900, 720);

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("barPreview"));
    bar->setAccessibleName(ui::Tr("预览工具栏"));
    QAction* print = AddAction(bar, "actPrint", ui::Tr("打印"), QKeySequence::Print);
    QAction* pdf = AddAction(bar, "actPdf", ui::Tr("另存为PDF"), QKeySequence::SaveAs);
    QAction* setup = AddAction(bar, "actSetup", ui::Tr("页面设置"));
    bar->addSeparator();
    QAction* first = AddAction(bar, "actFirst", ui::Tr("首页"), QKeySequence(Qt::CTRL | Qt::Key_Home));
    QAction* prev = AddAction(bar, "actPrev", ui::Tr("上一页"), QKeySequence(Qt::Key_PageUp));
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setObjectName(QStringLiteral("spnPage"));
    m_pageBox->setAccessibleName(ui::Tr("页码"));
    m_pageBox->setKeyboardTracking(false);
    bar->addWidget(m_pageBox);
    m_pageCount = new QLabel(bar);
    m_pageCount->setObjectName(QStringLiteral("lblPageCount"));
    bar->addWidget(m_pageCount);
    QAction* next = AddAction(bar, "actNext", ui::Tr("下一页"), QKeySequence(Qt::Key_PageDown));
    QAction* last = AddAction(bar, "actLast", ui::Tr("末页"), QKeySequence(Qt::CTRL | Qt::Key_End));
    bar->addSeparator();
    QAction* zoomOut = AddAction(bar, "actZoomOut", ui::Tr("缩小"), QKeySequence::ZoomOut);
    m_zoomBox = new QComboBox(bar);
    m_zoomBox->setObjectName(QStringLiteral("cboZoom"));
    m_zoomBox->setAccessibleName(ui::Tr("缩放"));
    m_zoomBox->setEditable(true);
    m_zoomBox->setInsertPolicy(QComboBox::NoInsert);
    m_zoomBox->addItem(ui::Tr("适合宽度"), -1.0);
    m_zoomBox->addItem(ui::Tr("整页"), -2.0);
    for (int percent : {50, 75, 100, 150, 200})
        m_zoomBox->addItem(QStringLiteral("%1%").arg(percent), percent / 100.0);
    bar->addWidget(m_zoomBox);
    QAction* zoomIn = AddAction(bar, "actZoomIn", ui::Tr("放大"), QKeySequence::ZoomIn);
    bar->addSeparator();
    QAction* close = AddAction(bar, "actClose", ui::Tr("关闭"));

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrPreview"));
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->viewport()->installEventFilter(this);
    m_view = new PageView(m_scroll);
    m_scroll->setWidget(m_view);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll, 1);

    connect(print, &QAction::triggered, this, [this] {
        if (m_source.print)
            m_source.print(this);
    });
    connect(pdf, &QAction::triggered, this, [this] { SaveAsPdf(); });
    connect(setup, &QAction::triggered, this, [this] {
        if (m_source.setup && m_source.setup(this))
            Relayout();
    });
    connect(first, &QAction::triggered, this, [this] { ShowPage(1); });
    connect(prev, &QAction::triggered, this, [this] { ShowPage(m_page - 1); });
    connect(next, &QAction::triggered, this, [this] { ShowPage(m_page + 1); });
    connect(last, &QAction::triggered, this, [this] { ShowPage(PageCount()); });
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int page) { ShowPage(page); });
    connect(zoomIn, &QAction::triggered, this, [this] { SetZoom(m_zoom * 1.25); });
    connect(zoomOut, &QAction::triggered, this, [this] { SetZoom(m_zoom / 1.25); });
    connect(m_zoomBox, &QComboBox::activated, this, [this](int index) { ZoomChosen(index); });
    connect(m_zoomBox->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        QString text = m_zoomBox->currentText().trimmed();
        text.remove(u'%');
        bool ok = false;
        const double percent = text.toDouble(&ok);
        if (ok && percent > 0)
            SetZoom(percent / 100);
        else
            UpdateControls();
    });
    connect(close, &QAction::triggered, this, &QDialog::reject);

    Relayout();
}

LedgerPreview::~LedgerPreview() = default;

int LedgerPreview::PageCount() const {
    return m_pages && m_pages->layout ? m_pages->layout->PageCount() : 0;
}

void LedgerPreview::Relayout() {
    if (m_source.pages)
        m_pages = m_source.pages();
    m_page = std::clamp(m_page, 1, std::max(1, PageCount()));
    ApplyZoom();
}

void LedgerPreview::ShowPage(int page) {
    page = std::clamp(page, 1, std::max(1, PageCount()));
    if (page == m_page)
        return UpdateControls();
    m_page = page;
    ApplyZoom();
    m_scroll->verticalScrollBar()->setValue(0);
}

void LedgerPreview::SetZoom(double zoom) {
    m_fit = Fit::None;
    m_zoom = std::clamp(zoom, 0.1, 8.0);
    ApplyZoom();
}

void LedgerPreview::ZoomChosen(int index) {
    const double value = m_zoomBox->itemData(index).toDouble();
    if (value == -1.0)
        m_fit = Fit::Width;
    else if (value == -2.0)
        m_fit = Fit::Page;
    else if (value > 0)
        return SetZoom(value);
    ApplyZoom();
}

void LedgerPreview::ApplyZoom() {
    if (!m_pages)
        return;
    // Zoom 1 shows the paper at its real size on this screen.
    const double screenDpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    const double perPixel = screenDpi / m_pages->dpi;
    const QRect full = m_pages->page.fullRectPixels(m_pages->dpi);
    // Room beside the shadow, and for the scroll bar a page taller than the view brings.
    const int scrollBar =
        m_fit == Fit::Width ? m_scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    const QSize room = m_scroll->viewport()->size() - QSize(2 * kPageMargin + 4, 2 * kPageMargin + 4);
    const int roomWidth = room.width() - (m_scroll->verticalScrollBar()->isVisible() ? 0 : scrollBar);
    const double fitWidth = roomWidth / (full.width() * perPixel);
    const double fitHeight = room.height() / (full.height() * perPixel);
    if (m_fit == Fit::Width)
        m_zoom = std::max(0.1, fitWidth);
    else if (m_fit == Fit::Page)
        m_zoom = std::max(0.1, std::min(fitWidth, fitHeight));
    static_cast<PageView*>(m_view)->Show(m_pages, m_page, m_zoom * perPixel);
    UpdateControls();
}

void LedgerPreview::UpdateControls() {
    const QSignalBlocker blockPage(m_pageBox);
    m_pageBox->setRange(1, std::max(1, PageCount()));
    m_pageBox->setValue(m_page);
    m_pageCount->setText(ui::Tr("共 %1 页").arg(PageCount()));
    const QSignalBlocker blockZoom(m_zoomBox);
    if (m_fit == Fit::Width)
        m_zoomBox->setCurrentIndex(0);
    else if (m_fit == Fit::Page)
        m_zoomBox->setCurrentIndex(1);
    else
        m_zoomBox->setEditText(QStringLiteral("%1%").arg(qRound(m_zoom * 100)));
}

void LedgerPreview::SaveAsPdf() {
    if (!m_source.savePdf || (m_source.mayExport && !m_source.mayExport()))
        return;
    QFileDialog dialog(this, ui::Tr("另存为PDF"));
    dialog.setObjectName(QStringLiteral("dlgSavePdf"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(ui::Tr("PDF 文件 (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (ui::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString file = dialog.selectedFiles().constFirst();
    QString error;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool saved = m_source.savePdf(file, &error);
    QGuiApplication::restoreOverrideCursor();
    if (!saved) {
        ui::MsgBox(ui::Tr("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(file), error),
                   ui::OkOnly | ui::Exclamation, windowTitle());
        return;
    }
    if (m_source.pdfSaved)
        m_source.pdfSaved(file);
}

bool LedgerPreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize && m_fit != Fit::None)
        ApplyZoom();
    return QDialog::eventFilter(watched, event);
}

} // namespace zpp::controls
