#include "frmPlanChart.h"

#include "component/chart/PlanChartRows.h"
#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Error.h"
#include "platform/ui/Prompt.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace zpp::chart {

namespace {

QString Lang(const char* text) {
    return GetLangString(QString::fromUtf8(text));
}

void Tell(const QString& text) {
    ui::MsgBox(text, ui::OkOnly | ui::Information, Lang("信息提示"));
}

// The chart at the logical size it is laid out for, scaled to fit the device's rectangle.
void PaintScaled(QPainter& p, const QSizeF& device, const PlanChartFigures& f, const PlanChartTexts& t) {
    const double scale = std::min(device.width() / kChartWidth, device.height() / kChartHeight);
    p.save();
    p.scale(scale, scale);
    PaintPlanChart(p, QRectF(0, 0, device.width() / scale, device.height() / scale), f, t);
    p.restore();
}

QString StartFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

// The chart at the window's own size: a larger window shows more room, not larger letters.
class PlanChartCanvas : public QWidget {
public:
    explicit PlanChartCanvas(const frmPlanChart& owner, QWidget* parent) : QWidget(parent), m_owner(owner) {
        setMinimumSize(640, 400);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        PaintPlanChart(p, QRectF(rect()), m_owner.Figures(), m_owner.Texts());
    }

private:
    const frmPlanChart& m_owner;
};

} // namespace

frmPlanChart::frmPlanChart(controls::SpreadGrid& grid, QWidget* list)
    : QWidget(list, Qt::Window), m_grid(&grid) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmPlanChart"));
    setWindowTitle(Lang("采购计划图表"));
    setAccessibleName(windowTitle());
    resize(1200, 760);
    // Prices are the user's only with the price right; without it the bars rank by quantity.
    m_withAmounts = HasRight(rights::Price);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_bar = new QToolBar(Lang("图表工具栏"), this);
    m_bar->setObjectName(QStringLiteral("barChart"));
    m_bar->setAccessibleName(m_bar->windowTitle());
    m_bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto tool = [&](const char* key, const char* caption, QStyle::StandardPixmap icon,
                    const QKeySequence& keys) {
        QAction* a = m_bar->addAction(style()->standardIcon(icon), Lang(caption));
        a->setObjectName(QString::fromLatin1(key));
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [this, key] { RunTool(QString::fromLatin1(key)); });
        return a;
    };
    tool("Print", "打印", QStyle::SP_FileIcon, QKeySequence::Print);
    tool("ExportImage", "引出图片", QStyle::SP_DialogSaveButton, QKeySequence(Qt::CTRL | Qt::Key_E));
    m_bar->addSeparator();
    tool("Close", "关闭", QStyle::SP_DialogCloseButton, QKeySequence(Qt::Key_Escape));
    for (QAction* a : m_bar->actions())
        if (QWidget* button = m_bar->widgetForAction(a))
            button->setAccessibleName(a->text());
    layout->addWidget(m_bar);
    m_canvas = new PlanChartCanvas(*this, this);
    m_canvas->setObjectName(QStringLiteral("picChart"));
    m_canvas->setAccessibleName(Lang("采购计划图表"));
    layout->addWidget(m_canvas, 1);

    // A refresh, a filter or a fold refills the grid; an edit changes cells. Either way the
    // chart is counted again once the list is done (a fold sets the merged view after its refill).
    m_recount.setSingleShot(true);
    m_recount.setInterval(150);
    connect(&m_recount, &QTimer::timeout, this, [this] {
        if (isVisible())
            Recount();
        else
            m_stale = true;
    });
    QAbstractItemModel* model = grid.View()->model();
    connect(model, &QAbstractItemModel::modelReset, this, &frmPlanChart::ListChanged);
    connect(model, &QAbstractItemModel::dataChanged, this, &frmPlanChart::ListChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, &frmPlanChart::ListChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &frmPlanChart::ListChanged);
    m_texts = MakeTexts();
}

frmPlanChart* frmPlanChart::ShowFor(QWidget* list, controls::SpreadGrid& grid) {
    auto* chart = list->findChild<frmPlanChart*>(QString(), Qt::FindDirectChildrenOnly);
    if (!chart)
        chart = new frmPlanChart(grid, list);
    chart->Recount();
    chart->show();
    chart->raise();
    chart->activateWindow();
    return chart;
}

QIcon frmPlanChart::Icon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.fillRect(QRect(5, 16, 6, 12), QColor(74, 126, 187));
    p.fillRect(QRect(13, 6, 6, 22), QColor(60, 157, 143));
    p.fillRect(QRect(21, 12, 6, 16), QColor(222, 132, 58));
    p.fillRect(QRect(3, 28, 26, 2), QColor(90, 96, 106));
    p.end();
    return QIcon(pixmap);
}

void frmPlanChart::ListChanged() {
    m_recount.start();
}

void frmPlanChart::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_stale)
        Recount();
}

void frmPlanChart::Recount() {
    m_stale = false;
    if (!m_grid)
        return;
    m_failure.clear();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_figures = CountPlanGrid(*m_grid, State().IsMergedView, m_withAmounts);
    } catch (const std::exception& e) {
        // Runs from a timer too, where nothing may escape: the window says why it is empty.
        m_figures = PlanChartFigures{};
        m_failure = DescribeException(e);
    }
    QGuiApplication::restoreOverrideCursor();
    m_texts = MakeTexts();
    m_canvas->setAccessibleDescription(m_texts.Caption);
    m_canvas->update();
}

PlanChartTexts frmPlanChart::MakeTexts() const {
    return ChartTexts(m_figures, m_failure);
}

QImage frmPlanChart::Render(QSize size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    PaintScaled(p, QSizeF(size), m_figures, m_texts);
    return image;
}

void frmPlanChart::RunTool(const QString& key) {
    try {
        if (key == u"Print")
            PrintChart();
        else if (key == u"ExportImage")
            ExportImage();
        else if (key == u"Close")
            close();
    } catch (const std::exception& e) {
        Tell(DescribeException(e));
    }
}

bool frmPlanChart::PrintChart() {
    if (!CheckRight(rights::Print))
        return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("dlgChartPrint"));
    dialog.setWindowTitle(Lang("打印"));
    if (ui::ExecModal(dialog) != QDialog::Accepted)
        return false;
    QPainter p;
    if (!p.begin(&printer)) {
        const QString where = printer.outputFileName().isEmpty()
                                  ? printer.printerName()
                                  : QDir::toNativeSeparators(printer.outputFileName());
        Tell(Lang("无法打印到“%1”").arg(where));
        return false;
    }
    PaintScaled(p, printer.pageLayout().paintRectPixels(printer.resolution()).size(), m_figures, m_texts);
    p.end();
    WriteOperationLog(QString::fromUtf8(logs::Print.Code), logs::Print.Type,
                      logs::ChartOutputName(logs::Print));
    return true;
}

bool frmPlanChart::ExportImage() {
    if (!CheckRight(rights::Export))
        return false;
    QFileDialog dialog(this, Lang("引出图表图片"));
    dialog.setObjectName(QStringLiteral("dlgChartImage"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(Lang("PNG 图片 (*.png)"));
    dialog.setDefaultSuffix(QStringLiteral("png"));
    // Replacing is asked below, in the program's own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDirectory(StartFolder());
    dialog.selectFile(Lang("采购计划图表") + QStringLiteral(".png"));
    if (ui::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    QString path = dialog.selectedFiles().constFirst();
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    const QString shown = QDir::toNativeSeparators(path);
    if (QFileInfo::exists(path) &&
        ui::MsgBox(Lang("文件“%1”已存在。要替换它吗？").arg(shown),
                   ui::YesNo | ui::Question | ui::DefaultButton2, Lang("信息提示")) != ui::Yes)
        return false;
    // Written under a temporary name: a failed write leaves no half file and the old one in place.
    QSaveFile out(path);
    const QImage image = Render(QSize(1600, 960));
    if (!out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG") || !out.commit()) {
        const QString why = out.errorString();
        ui::MsgBox(Lang("无法写入文件“%1”：%2").arg(shown, why), ui::OkOnly | ui::Exclamation,
                   Lang("信息提示"));
        return false;
    }
    WriteOperationLog(QString::fromUtf8(logs::Export.Code), logs::Export.Type,
                      logs::ChartOutputName(logs::Export, path));
    return true;
}

} // namespace zpp::chart
