#include "LedgerSetupDialog.h"

#include "platform/ui/Prompt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zpp::controls {

namespace {

enum CellField { kText, kBold, kSize };

template <class W> W* Named(W* widget, const char* name, const QString& accessible) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessible);
    return widget;
}

} // namespace

LedgerSetupDialog::LedgerSetupDialog(const LedgerPageSetup& setup, QWidget* parent)
    : QDialog(parent), m_setup(setup) {
    setObjectName(QStringLiteral("frmLedgerSetup"));
    setWindowTitle(ui::Tr("页面设置"));
    setAccessibleName(windowTitle());

    auto* tabs = Named(new QTabWidget(this), "tabSetup", ui::Tr("页面设置"));
    auto* pageTab = new QWidget(tabs);
    tabs->addTab(pageTab, ui::Tr("页面"));

    auto* paperBox = new QGroupBox(ui::Tr("纸张"), pageTab);
    m_paper = Named(new QComboBox(paperBox), "cboPaperSize", ui::Tr("纸张大小"));
    QList<QPageSize::PageSizeId> sizes{QPageSize::A3, QPageSize::A4,     QPageSize::A5,   QPageSize::B4,
                                       QPageSize::B5, QPageSize::Letter, QPageSize::Legal};
    if (!sizes.contains(setup.pageSize))
        sizes.append(setup.pageSize);
    for (QPageSize::PageSizeId id : sizes)
        m_paper->addItem(QPageSize(id).name(), int(id));
    m_paper->setCurrentIndex(m_paper->findData(int(setup.pageSize)));
    m_portrait = Named(new QRadioButton(ui::Tr("纵向"), paperBox), "optPortrait", ui::Tr("纵向"));
    m_landscape = Named(new QRadioButton(ui::Tr("横向"), paperBox), "optLandscape", ui::Tr("横向"));
    (setup.orientation == QPageLayout::Landscape ? m_landscape : m_portrait)->setChecked(true);
    auto* paperForm = new QFormLayout(paperBox);
    paperForm->addRow(ui::Tr("纸张大小"), m_paper);
    auto* turn = new QHBoxLayout;
    turn->addWidget(m_portrait);
    turn->addWidget(m_landscape);
    turn->addStretch();
    paperForm->addRow(ui::Tr("方向"), turn);

    auto* marginBox = new QGroupBox(ui::Tr("页边距（毫米）"), pageTab);
    auto* marginGrid = new QGridLayout(marginBox);
    const struct {
        int side;
        const char* name;
        const char* label;
        int row, col;
    } margins[] = {{Top, "txtMarginTop", "上", 0, 0},
                   {Bottom, "txtMarginBottom", "下", 0, 2},
                   {Left, "txtMarginLeft", "左", 1, 0},
                   {Right, "txtMarginRight", "右", 1, 2}};
    for (const auto& m : margins) {
        const QString label = ui::Tr(m.label);
        auto* spin = Named(new QDoubleSpinBox(marginBox), m.name, label);
        spin->setRange(0, 200);
        spin->setDecimals(1);
        const int index = LedgerPageSetup::SideIndex(m.side);
        spin->setValue(setup.margins[index]);
        m_margins[index] = spin;
        marginGrid->addWidget(new QLabel(label, marginBox), m.row, m.col);
        marginGrid->addWidget(spin, m.row, m.col + 1);
    }

    m_pageMode = Named(new QComboBox(pageTab), "cboPageMode", ui::Tr("超宽时"));
    m_pageMode->addItem(ui::Tr("多出的列打印到后续页"), int(PagesAcross));
    m_pageMode->addItem(ui::Tr("缩小到页宽"), int(FitToWidth));
    m_pageMode->setCurrentIndex(setup.pageMode == FitToWidth ? 1 : 0);
    auto* modeForm = new QFormLayout;
    modeForm->addRow(ui::Tr("超宽时"), m_pageMode);

    auto* optionBox = new QGroupBox(ui::Tr("选项"), pageTab);
    auto* optionGrid = new QGridLayout(optionBox);
    const struct {
        int option;
        const char* name;
        const char* text;
    } options[] = {{ColorPrint, "chkColorPrint", "彩色打印"},
                   {WholeHeadFooterPerPage, "chkWholeHeadFooterPerPage", "每页打印页眉页脚"},
                   {GridExtend, "chkGridExtend", "表格线延伸到页底"},
                   {FooterAtPageBottom, "chkFooterAtPageBottom", "页脚位于页底"},
                   {CenterHorz, "chkCenterHorz", "水平居中"},
                   {CenterVert, "chkCenterVert", "垂直居中"},
                   {PageNumbers, "chkPageNumbers", "打印页码"},
                   {PhysicPages, "chkPhysicPages", "横向分页各自编页码"},
                   {SavingPaper, "chkSavingPaper", "节约纸张（行距紧凑）"},
                   {NotPrtFrame, "chkNotPrtFrame", "不打印外框"},
                   {NotPrtHLine, "chkNotPrtHLine", "不打印横线"},
                   {NotPrtVLine, "chkNotPrtVLine", "不打印竖线"}};
    int n = 0;
    for (const auto& o : options) {
        const QString text = ui::Tr(o.text);
        auto* check = Named(new QCheckBox(text, optionBox), o.name, text);
        check->setChecked(setup.Has(o.option));
        m_options[o.option] = check;
        optionGrid->addWidget(check, n / 2, n % 2);
        ++n;
    }

    auto* pageLayout = new QVBoxLayout(pageTab);
    pageLayout->addWidget(paperBox);
    pageLayout->addWidget(marginBox);
    pageLayout->addLayout(modeForm);
    pageLayout->addWidget(optionBox);
    pageLayout->addStretch();

    auto* cellTab = new QWidget(tabs);
    tabs->addTab(cellTab, ui::Tr("页眉页脚"));
    m_cells = Named(new QTableWidget(20, 3, cellTab), "grdHeadFoot", ui::Tr("页眉页脚"));
    m_cells->setHorizontalHeaderLabels({ui::Tr("文字"), ui::Tr("粗体"), ui::Tr("字号")});
    m_cells->horizontalHeader()->setSectionResizeMode(kText, QHeaderView::Stretch);
    QStringList rowNames;
    for (int block = 0; block < 2; ++block) {
        const std::array<LedgerCell, 10>& cells = block == 0 ? setup.head : setup.foot;
        for (int i = 0; i < 10; ++i) {
            const int row = block * 10 + i;
            rowNames << (block == 0 ? ui::Tr("页眉%1") : ui::Tr("页脚%1")).arg(i);
            m_cells->setItem(row, kText, new QTableWidgetItem(cells[i].Text));
            auto* bold = new QTableWidgetItem;
            bold->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            bold->setCheckState(cells[i].Font.bold() ? Qt::Checked : Qt::Unchecked);
            m_cells->setItem(row, kBold, bold);
            const double size = cells[i].Font.pointSizeF();
            m_cells->setItem(row, kSize, new QTableWidgetItem(size > 0 ? QString::number(size) : QString()));
        }
    }
    m_cells->setVerticalHeaderLabels(rowNames);
    auto* hint = new QLabel(ui::Tr("0 为通栏一行；1-3、4-6、7-9 为三行，各分左、中、右。"
                                   "&[页] 印为页码，&[总页] 印为总页数。"),
                            cellTab);
    hint->setWordWrap(true);
    auto* cellLayout = new QVBoxLayout(cellTab);
    cellLayout->addWidget(m_cells);
    cellLayout->addWidget(hint);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(ui::Tr("确定"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(ui::Tr("取消"), QDialogButtonBox::RejectRole);
    Named(ok, "cmdOK", ok->text());
    Named(cancel, "cmdCancel", cancel->text());
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    resize(560, 600);
}

LedgerPageSetup LedgerSetupDialog::Result() const {
    LedgerPageSetup s = m_setup;
    s.pageSize = QPageSize::PageSizeId(m_paper->currentData().toInt());
    s.orientation = m_landscape->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait;
    for (int i = 0; i < 4; ++i)
        s.margins[i] = m_margins[i]->value();
    s.pageMode = m_pageMode->currentData().toInt();
    for (const auto& [option, check] : m_options)
        s.options = check->isChecked() ? (s.options | option) : (s.options & ~option);
    for (int block = 0; block < 2; ++block) {
        std::array<LedgerCell, 10>& cells = block == 0 ? s.head : s.foot;
        for (int i = 0; i < 10; ++i) {
            const int row = block * 10 + i;
            cells[i].Text = m_cells->item(row, kText)->text();
            cells[i].Font.setBold(m_cells->item(row, kBold)->checkState() == Qt::Checked);
            bool ok = false;
            const double size = m_cells->item(row, kSize)->text().trimmed().toDouble(&ok);
            if (ok && size > 0 && size <= 400)
                cells[i].Font.setPointSizeF(size);
        }
    }
    return s;
}

} // namespace zpp::controls
