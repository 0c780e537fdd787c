#include "frmPurchasePlan.h"

#include "component/chart/frmPlanChart.h"
#include "component/grid/AmountColumns.h"
#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/ChmHelp.h"
#include "component/host/contracts/DataImporter.h"
#include "component/host/contracts/ProfileRead.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "component/host/contracts/UserAdmin.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "component/list/ListEditing.h"
#include "component/list/ListLayout.h"
#include "component/list/ListNotices.h"
#include "component/list/ListStatus.h"
#include "component/list/MergedAmounts.h"
#include "component/list/PlanSort.h"
#include "component/operations/PushNotes.h"
#include "component/operations/clsPurchasePlan.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace zpp {

namespace {
const QString kBand = QStringLiteral("Band");
const QString kEdit = QStringLiteral("mnuEdit");
const QString kView = QStringLiteral("mnuView");
const QString kFile = QStringLiteral("mnuFile");
const QString kHelpBand = QStringLiteral("mnuHelpBand");

QString Lang(const char* text) {
    return GetLangString(QString::fromUtf8(text));
}

// A localised message, with the reason of a failure below it when there is one.
void Inform(const QString& builtInText, const QString& detail = {}) {
    const QString text =
        GetLangString(builtInText) + (detail.isEmpty() ? QString() : QStringLiteral("\n\n") + detail);
    ui::MsgBox(text, ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
}
} // namespace

frmPurchasePlan::frmPurchasePlan(QWidget* parent) : QMainWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmPurchasePlan"));
    setWindowTitle(Lang("采购计划表"));
    setAccessibleName(windowTitle());
    resize(1280, 760);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PicTop = new QFrame(central);
    PicTop->setObjectName(QStringLiteral("PicTop"));
    PicTop->setAutoFillBackground(true);
    QPalette pal = PicTop->palette();
    pal.setColor(QPalette::Window, QColor(238, 243, 249));
    PicTop->setPalette(pal);
    auto* header = new QHBoxLayout(PicTop);
    header->setContentsMargins(16, 8, 16, 8);
    header->setSpacing(32);
    for (int i = 0; i <= 10; ++i) {
        auto* label = new QLabel(PicTop);
        label->setObjectName(QStringLiteral("lblCpt%1").arg(i));
        header->addWidget(label);
        m_labels << label;
    }
    header->addStretch(1);
    layout->addWidget(PicTop);
    m_grid = new controls::SpreadGrid(central);
    m_grid->setObjectName(QStringLiteral("vsProc"));
    m_grid->setAccessibleName(Lang("采购计划表"));
    layout->addWidget(m_grid, 1);
    // Prints, previews and exports the list; hidden outside a print.
    LdgPreview = new controls::LedgerGrid(central);
    LdgPreview->setObjectName(QStringLiteral("LdgPreview"));
    LdgPreview->setAccessibleName(Lang("采购计划表"));
    LdgPreview->hide();
    setCentralWidget(central);
    BuildBar();
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setAccessibleName(Lang("状态"));
    statusBar()->addWidget(m_status, 1);
}

frmPurchasePlan::~frmPurchasePlan() = default;

controls::SpreadGrid& frmPurchasePlan::vsProc() {
    Load();
    return *m_grid;
}

ListNotices& frmPurchasePlan::Notices() {
    Load();
    return *m_notices;
}

ClsPurchasePlanUI* frmPurchasePlan::PurchasePlanUI() {
    Load();
    return m_ui.get();
}

clsPurchasePlan* frmPurchasePlan::Operations() {
    Load();
    return m_ops.get();
}

void frmPurchasePlan::Load() {
    if (m_loaded)
        return;
    m_loaded = true;
    for (QLabel* label : m_labels) {
        label->hide();
        label->clear();
    }
    m_labels[0]->setText(Lang("起始日期:"));
    m_labels[1]->setText(Lang("截止日期:"));
    m_labels[0]->show();
    m_labels[1]->show();
    // 945 twips at the usual 15 twips a pixel.
    PicTop->setFixedHeight(63);
    State().IsMergedView = false;
    DataChanged = false;
    m_ui = std::make_unique<ClsPurchasePlanUI>();
    m_ops = std::make_unique<clsPurchasePlan>();
    m_ui->SetSpread(m_grid);
    m_ui->SetLedger(LdgPreview);
    m_ops->SetSpread(m_grid);
    LoadLedgerSettings();
    connect(LdgPreview, &controls::LedgerGrid::SettingsChanged, this, [this] { m_ui->SaveLdgSetting(); });
    // A PDF saved from the preview is an export of the list: the same right and the same log record.
    // The preview's action runs from its own event loop, so nothing may escape from here.
    LdgPreview->SetPdfExport(
        [] {
            try {
                return CheckRight(rights::Export);
            } catch (const std::exception& e) {
                ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                           GetLangString(QStringLiteral("信息提示")));
                return false;
            }
        },
        [](const QString& file) {
            WriteOperationLog(QString::fromUtf8(logs::Export.Code), logs::Export.Type,
                              logs::ExportedPdfName(file));
        });
    connect(LdgPreview, &controls::LedgerGrid::RowTextRequested, this, [this](int row, QString* text) {
        const auto& preview = m_ui->PreviewDetail();
        if (!preview || !text)
            return;
        if (row == 1)
            preview->TRowData(1, *text);
        else
            preview->DRowData(row, 0, *text);
    });
    m_ops->SetLoadedRows([this] { return m_ui->Loaded(); });
    m_sort = std::make_unique<PlanSort>(*m_grid, *m_ui);
    connect(m_grid, &controls::SpreadGrid::HeaderMenuRequested, this, [this](int c, const QPoint& at) {
        m_sort->ShowHeaderMenu(c, at, [this](const QString& key) { ToolClick(key); });
    });
    new ListStatus(*m_grid, *statusBar()); // the bar owns it
    SetMergedRowCounter(MergedRowAmount);

    connect(m_grid, &controls::SpreadGrid::Changed, this, [this](int, int) {
        DataChanged = true;
        UpdateStatus();
    });
    // The status line follows every load and every row that gains or loses its mark.
    connect(m_grid->View()->model(), &QAbstractItemModel::modelReset, this, &frmPurchasePlan::UpdateStatus);
    connect(m_grid->View()->model(), &QAbstractItemModel::headerDataChanged, this,
            &frmPurchasePlan::UpdateStatus);
    connect(m_grid, &controls::SpreadGrid::KeyDown, this,
            [this](int key, Qt::KeyboardModifiers, bool* handled) {
                if (key != Qt::Key_F6 && key != Qt::Key_F7)
                    return;
                *handled = true;
                DataChanged = true;
                try {
                    if (key == Qt::Key_F7) {
                        m_ui->GetSupply();
                        CheckLeftCell(m_grid->ActiveCol(), m_grid->ActiveRow()); // named and priced at once
                    } else
                        m_editing->AsOneStep([this] { m_ui->FillCol(); });
                } catch (const std::exception& e) {
                    ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                               GetLangString(QStringLiteral("信息提示")));
                }
            });
    connect(m_grid, &controls::SpreadGrid::Clicked, this, [this](int c, int) {
        if (c != col::SupplyNumber)
            return;
        DataChanged = true;
        try {
            m_ui->GetSupply();
            CheckLeftCell(c, m_grid->ActiveRow());
        } catch (const std::exception& e) {
            ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                       GetLangString(QStringLiteral("信息提示")));
        }
    });
    // A supplier code ended with Enter is checked, named and priced at once, not when the cell is left.
    connect(m_grid, &controls::SpreadGrid::Changed, this, [this](int c, int r) {
        if (c == col::SupplyNumber)
            QMetaObject::invokeMethod(
                this, [this, c, r] { CheckLeftCell(c, r); }, Qt::QueuedConnection);
    });
    connect(m_grid, &controls::SpreadGrid::LeaveCell, this,
            [this](int c, int r, int, int, bool*) { CheckLeftCell(c, r); });
    connect(m_grid, &controls::SpreadGrid::CellEntered, this, [this](int c, int r) { EnterCell(c, r); });
    connect(m_grid, &controls::SpreadGrid::DateRefused, this, [this](int c, int, const QString& text) {
        // Shown once the key or click that left the editor is done with.
        QMetaObject::invokeMethod(
            this,
            [this, c, text] {
                ui::MsgBox(
                    GetLangString(QStringLiteral("%1“%2”不是有效的日期")).arg(m_grid->HeaderText(c), text),
                    ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
            },
            Qt::QueuedConnection);
    });
    m_editing = std::make_unique<ListEditing>(*this); // after the leave-cell check, which its steps take in
    m_notices = std::make_unique<ListNotices>(
        *m_grid, *m_ui, [this] { ToolClick(QStringLiteral("iRefresh")); }, centralWidget());
    static_cast<QVBoxLayout*>(centralWidget()->layout())->insertWidget(1, m_notices->Bar());
    m_notices->Start();
    EnterCell(m_grid->ActiveCol(), m_grid->ActiveRow());
    UpdateToolStates();
}

QAction* frmPurchasePlan::AddTool(const QString& band, const QString& key, const QString& caption,
                                  const QString& tip) {
    QAction* action = nullptr;
    if (band == kBand) {
        action = m_toolBar->addAction(caption);
    } else {
        action = m_menus.value(band)->addAction(caption);
    }
    action->setObjectName(key);
    if (!tip.isEmpty()) {
        action->setToolTip(tip);
        action->setStatusTip(tip);
    }
    m_bands[band].insert(key, action);
    connect(action, &QAction::triggered, this, [this, key] { ToolClick(key); });
    return action;
}

void frmPurchasePlan::BuildBar() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("Menu"));
    bar->setAccessibleName(QStringLiteral("Menu"));
    auto addMenu = [&](const QString& band, const char* caption) {
        QMenu* menu = bar->addMenu(Lang(caption));
        menu->setObjectName(band);
        menu->setAccessibleName(menu->title());
        m_menus.insert(band, menu);
        return menu;
    };
    addMenu(kFile, "文件(&F)");
    addMenu(kEdit, "操作(&E)");
    addMenu(kView, "查看(&V)");
    addMenu(kHelpBand, "帮助(H)");

    AddTool(kFile, QStringLiteral("iPrint"), Lang("打印(&P)..."))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    AddTool(kFile, QStringLiteral("iPrintPreView"), Lang("打印预览(&V)..."))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F2)); // Ctrl+V pastes
    AddTool(kFile, QStringLiteral("iPrintSetup"), Lang("打印设置(&S)..."));
    AddTool(kFile, QStringLiteral("iExport"), Lang("引出(&E)"));
    m_menus[kFile]->addSeparator();
    AddTool(kFile, QStringLiteral("iImport"), Lang("导入(&I)..."));
    AddTool(kFile, QStringLiteral("iUsers"), Lang("用户与权限(&U)..."));
    AddTool(kFile, QStringLiteral("iCompany"), Lang("公司设置(&O)..."));
    m_menus[kFile]->addSeparator();
    AddTool(kFile, QStringLiteral("iExit"), Lang("退出(&X)"));

    AddTool(kEdit, QStringLiteral("Save"), Lang("保存(&S)"), Lang("保存数据"))
        ->setShortcut(QKeySequence::Save);
    AddTool(kEdit, QStringLiteral("Delete"), Lang("删除(&D)"), Lang("删除采购计划"));
    m_menus[kEdit]->addSeparator();
    AddTool(kEdit, QStringLiteral("SelectAll"), Lang("全选"), Lang("全部选择"));
    AddTool(kEdit, QStringLiteral("UnSelectAll"), Lang("全清"), Lang("全部清除"));
    m_menus[kEdit]->addSeparator();
    AddTool(kEdit, QStringLiteral("Close"), Lang("关闭(&R)"), Lang("关闭采购计划"));
    AddTool(kEdit, QStringLiteral("UnClose"), Lang("反关闭"), Lang("反关闭采购计划"));
    m_menus[kEdit]->addSeparator();
    AddTool(kEdit, QStringLiteral("PushBill"), Lang("下推采购订单"));
    m_menus[kEdit]->addSeparator();
    for (const ListEditing::Tool& t : ListEditing::Tools())
        AddTool(kEdit, t.Key, t.Caption, t.Tip)->setShortcuts(t.Keys);

    AddTool(kView, QStringLiteral("iRefresh"), Lang("刷新"))->setShortcut(QKeySequence(Qt::Key_F5));
    AddTool(kView, QStringLiteral("iFilter"), Lang("过滤条件(&Q)..."));
    AddTool(kView, QStringLiteral("iFind"), Lang("查找(&F)..."))->setShortcut(QKeySequence::Find);
    AddTool(kView, QStringLiteral("iHideCol"), Lang("显示/隐藏列(&H)"));
    AddTool(kView, QStringLiteral("FillCol"), Lang("批量填充"));
    AddTool(kView, PlanSort::Ascending, Lang("按当前列升序排列"));
    AddTool(kView, PlanSort::Descending, Lang("按当前列降序排列"));
    AddTool(kView, PlanSort::Unsorted, Lang("取消排序"));
    AddTool(kView, QStringLiteral("PlanChart"), Lang("计划图表(&T)"));
    m_menus[kView]->addSeparator();
    AddTool(kView, QStringLiteral("ViewBillUp"), Lang("上查(&S)"));
    AddTool(kView, QStringLiteral("ViewBillDown"), Lang("下查(&X)"));

    AddTool(kHelpBand, QStringLiteral("mnuHelp"), Lang("帮助目录"))->setShortcut(QKeySequence(Qt::Key_F1));

    m_toolBar = addToolBar(Lang("工具栏"));
    m_toolBar->setObjectName(kBand);
    m_toolBar->setAccessibleName(m_toolBar->windowTitle());
    m_toolBar->setMovable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QStyle* st = style();
    auto tool = [&](const char* key, const char* caption, const char* tip, QStyle::StandardPixmap icon,
                    std::initializer_list<const char*> themed = {}) {
        QAction* a = AddTool(kBand, QString::fromLatin1(key), Lang(caption), tip ? Lang(tip) : QString());
        // The desktop's icon for the command where it has one, else the style's.
        QIcon shown = st->standardIcon(icon);
        for (const char* name : themed)
            if (QIcon::hasThemeIcon(QString::fromLatin1(name))) {
                shown = QIcon::fromTheme(QString::fromLatin1(name));
                break;
            }
        a->setIcon(shown);
        return a;
    };
    tool("Save", "保存", "保存数据", QStyle::SP_DialogSaveButton, {"document-save"});
    tool("Delete", "删除", "删除采购计划", QStyle::SP_TrashIcon);
    m_toolBar->addSeparator();
    tool("SelectAll", "全选", "全部选择", QStyle::SP_DialogYesButton);
    tool("UnSelectAll", "全清", "全部清除", QStyle::SP_DialogNoButton);
    m_toolBar->addSeparator();
    tool("PushBill", "下推", nullptr, QStyle::SP_ArrowDown);
    QAction* merge = tool("Merge", "汇总", "合并物料代码,名称", QStyle::SP_FileDialogListView);
    merge->setCheckable(true);
    // The tool is worked through its state, so a click, a shortcut and an accessibility toggle
    // all fold or unfold the list; afterwards the state is put back to what the list shows.
    disconnect(merge, &QAction::triggered, this, nullptr);
    connect(merge, &QAction::toggled, this, [this](bool on) {
        if (on != State().IsMergedView)
            ToolClick(QStringLiteral("Merge"));
        UpdateToolStates();
    });
    m_toolBar->addSeparator();
    tool("iRefresh", "刷新", nullptr, QStyle::SP_BrowserReload);
    tool("iFilter", "过滤", nullptr, QStyle::SP_FileDialogContentsView);
    tool("iHideCol", "显示/隐藏列", nullptr, QStyle::SP_FileDialogDetailedView);
    tool("PlanChart", "图表", "计划图表", QStyle::SP_FileDialogDetailedView)
        ->setIcon(chart::frmPlanChart::Icon());
    m_toolBar->addSeparator();
    tool("ViewBillUp", "上查", nullptr, QStyle::SP_ArrowUp);
    tool("ViewBillDown", "下查", nullptr, QStyle::SP_ArrowDown);
    m_toolBar->addSeparator();
    tool("Export", "引出", "引出报表", QStyle::SP_ArrowRight, {"document-export", "document-send"});
    tool("Print", "打印", nullptr, QStyle::SP_FileIcon, {"document-print"});
    tool("PrintView", "预览", nullptr, QStyle::SP_FileDialogInfoView, {"document-print-preview"});
    m_toolBar->addSeparator();
    tool("iExit", "退出", nullptr, QStyle::SP_DialogCloseButton);
}

QAction* frmPurchasePlan::Tool(const QString& band, const QString& key) const {
    return m_bands.value(band).value(key);
}

void frmPurchasePlan::UpdateToolStates() {
    const bool merged = State().IsMergedView;
    for (auto it = m_bands[kBand].begin(); it != m_bands[kBand].end(); ++it) {
        const QString& key = it.key();
        const bool plainOnly = key == u"ViewBillDown" || key == u"ViewBillUp" || key == u"Delete";
        it.value()->setEnabled(!plainOnly || !merged);
    }
    if (QAction* merge = Tool(kBand, QStringLiteral("Merge")); merge && merge->isChecked() != merged) {
        const QSignalBlocker quiet(merge);
        merge->setChecked(merged);
    }
    for (auto it = m_bands[kView].begin(); it != m_bands[kView].end(); ++it)
        it.value()->setEnabled(!(it.key() == u"ViewBillDown" || it.key() == u"ViewBillUp") || !merged);
    for (auto it = m_bands[kEdit].begin(); it != m_bands[kEdit].end(); ++it)
        it.value()->setEnabled(!(it.key() == u"UnClose" || it.key() == u"Close") || !merged);
}

void frmPurchasePlan::ToolClick(const QString& key) {
    // A tool that is not visible never runs; one that is not known does nothing.
    for (const auto& band : std::as_const(m_bands)) {
        if (QAction* a = band.value(key); a && !a->isVisible())
            return;
    }
    Load();
    m_reloaded = false;
    try {
        LeaveActiveCell();
        m_editing->AsOneStep([&] { RunCommand(key); }); // a command's writes are undone together
    } catch (const Error& e) {
        ui::MsgBox(e.Description(), ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
        if (e.OutcomeUnknown())
            ShowWhatTheStoreHolds();
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
    m_sort->Follow(); // rows read or folded anew are sorted as chosen
    if (m_reloaded)
        AfterReload();
    // Any command may have changed the rows under the active cell.
    EnterCell(m_grid->ActiveCol(), m_grid->ActiveRow());
    UpdateStatus();
}

void frmPurchasePlan::ShowWhatTheStoreHolds() {
    try {
        QString noBill;
        m_ui->Refresh(noBill);
        if (m_ui->RefreshCancelled())
            return;
        DataChanged = false;
        m_reloaded = true;
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
}

void frmPurchasePlan::AfterReload() {
    m_ui->UnSelectAll();
    if (State().IsMergedView) {
        State().IsMergedView = false;
        UpdateToolStates();
    }
}

void frmPurchasePlan::SetDateCaptions(const QString& begin, const QString& end) {
    auto caption = [](const QString& prefix, const QString& date) -> QString {
        const auto d = values::ParseDate(date);
        return GetLangString(prefix) + (d ? values::FormatDate(*d, QStringLiteral("yyyy/mm/dd")) : QString());
    };
    if (!begin.isNull())
        m_labels[0]->setText(caption(QStringLiteral("起始日期:"), begin));
    if (!end.isNull())
        m_labels[1]->setText(caption(QStringLiteral("截止日期:"), end));
}

void frmPurchasePlan::RunCommand(const QString& key) {
    ComponentState& state = State();
    QString noBill;
    auto reload = [&] {
        m_ui->Refresh(noBill);
        if (m_ui->RefreshCancelled())
            return; // the list stays as it was, ticks included
        m_ui->UnSelectAll();
        m_reloaded = true;
    };
    if (key == u"Save") {
        if (!CheckRight(rights::Save) || !m_notices->ConfirmDespiteOthers(false))
            return;
        if (m_ops->Save()) {
            m_grid->MarkRowsUnchanged();
            Inform(QStringLiteral("保存成功！"));
            DataChanged = false;
        } else {
            Inform(QStringLiteral("保存失败！"), m_ops->SaveError());
        }
    } else if (key == u"Delete") {
        if (!CheckRight(rights::Delete))
            return;
        if (m_ops->DeletePurChasePlan())
            reload();
    } else if (key == u"SelectAll") {
        m_ui->SelectAll();
    } else if (key == u"UnSelectAll") {
        m_ui->UnSelectAll();
    } else if (key == u"Merge") {
        m_sort->Unsort(); // rows fold, and unfold, in the order they came in
        if (!state.IsMergedView) {
            if (m_ui->Merge()) {
                state.IsMergedView = true;
                UpdateToolStates();
            } else {
                UpdateToolStates(); // the tool's pressed state follows the view, not the click
            }
        } else {
            m_ui->UnMerge();
            state.IsMergedView = false;
            UpdateToolStates();
        }
        // Folding refills the grid and marks again only the entries that hold edits (Merge,
        // UnMerge); with nothing edited since the load there is nothing to save, so none is.
        if (!DataChanged)
            m_grid->MarkRowsUnchanged();
    } else if (key == u"Export" || key == u"iExport") {
        if (!CheckRight(rights::Export))
            return;
        m_ui->FileExport();
    } else if (key == u"PrintView" || key == u"iPrintPreView") {
        if (!CheckRight(rights::Print))
            return;
        m_ui->PrintPreView();
    } else if (key == u"Print" || key == u"iPrint") {
        if (!CheckRight(rights::Print))
            return;
        m_ui->PrintPre();
    } else if (key == u"iPrintSetup") {
        LdgPreview->PrinterSetup();
        m_ui->SaveLdgSetting();
    } else if (key == u"iFilter") {
        m_ui->ShowFilter();
        if (m_ui->RefreshCancelled())
            return;
        const RecordPtr& conditions = state.FilterConditions;
        if (conditions && conditions->Get(QStringLiteral("OK"), false).toBool()) {
            SetDateCaptions(
                conditions->Exists(QStringLiteral("BDate")) ? conditions->Text(QStringLiteral("BDate"))
                                                            : QString(),
                conditions->Exists(QStringLiteral("EDate")) ? conditions->Text(QStringLiteral("EDate"))
                                                            : QString());
            m_ui->UnSelectAll();
            state.IsMergedView = false;
            UpdateToolStates();
            DataChanged = false;
        }
    } else if (key == u"iRefresh") {
        m_ui->Refresh(noBill);
        if (m_ui->RefreshCancelled())
            return;
        DataChanged = false;
        m_reloaded = true;
    } else if (key == u"Close" || key == u"UnClose") {
        if (!CheckRight(rights::Close))
            return;
        if (key == u"Close")
            m_ops->ClosePurchasePlan();
        else
            m_ops->UnClosePurchasePlan();
        reload();
    } else if (key == u"PushBill") {
        if (!m_notices->ConfirmDespiteOthers(true))
            return;
        m_ui->GetRightSupply(m_grid->ActiveCol(), m_grid->ActiveRow(), 0);
        if (DataChanged) {
            if (!CheckRight(rights::Save))
                return;
            if (!m_ops->Save()) {
                Inform(pushnotes::NothingPushed() + QStringLiteral("\n") + Lang("保存失败！"),
                       m_ops->SaveError());
                return;
            }
            m_grid->MarkRowsUnchanged();
            DataChanged = false;
        }
        if (!CheckRight(rights::Push))
            return;
        if (m_ops->PushBill())
            reload();
    } else if (key == u"ViewBillUp" || key == u"ViewBillDown") {
        m_ops->ViewBillUp(key == u"ViewBillUp" ? 0 : 1);
    } else if (key == u"FillCol") {
        // The menu's fill marks the list changed only when it changed a cell (F6 always does).
        if (m_ui->FillCol())
            DataChanged = true;
    } else if (PlanSort::IsCommand(key)) {
        m_sort->Run(key);
    } else if (ListEditing::Handles(key)) {
        m_editing->Run(key);
    } else if (key == u"iHideCol") {
        m_ui->ShowHideCol();
    } else if (key == u"PlanChart") {
        chart::frmPlanChart::ShowFor(this, *m_grid);
    } else if (key == u"iFind") {
        ShowFind();
    } else if (key == u"mnuHelp") {
        ShowHelp();
    } else if (key == u"iImport") {
        if (CheckRight(rights::Import))
            CreateObject<DataImporter>(QString::fromLatin1(progid::DataImporter))->ShowImport(this);
    } else if (key == u"iUsers") {
        CreateObject<UserAdmin>(QString::fromLatin1(progid::UserAdmin))->ShowUsers(this);
    } else if (key == u"iCompany") {
        CreateObject<UserAdmin>(QString::fromLatin1(progid::UserAdmin))->ShowCompany(this);
    } else if (key == u"iExit") {
        close();
    }
}

void frmPurchasePlan::LoadLedgerSettings() {
    QString record;
    try {
        auto reader = CreateObject<ProfileRead>(QString::fromLatin1(progid::ProfileRead));
        record = reader->LoadRptFormat(GetPropsString(), m_ui->FormatOwner, m_ui->HeadFootKey());
    } catch (const std::exception&) {
        // Without the saved layout the ledger prints with its defaults.
    }
    LdgPreview->LoadSettings(m_ui->IniFile, record);
}

void frmPurchasePlan::UpdateStatus() {
    if (!m_status)
        return;
    const int edited = DataChanged ? m_grid->ChangedRowCount() : 0;
    QString text = GetLangString(QStringLiteral("共 %1 行")).arg(m_grid->MaxRows());
    if (edited > 0)
        text += GetLangString(QStringLiteral("，%1 行有未保存的修改")).arg(edited);
    m_status->setText(text);
}

void frmPurchasePlan::EnterCell(int, int row) {
    m_enteredRow = row;
    const bool has = row >= 1 && row <= m_grid->MaxRows();
    m_enteredCode = has ? m_grid->Text(col::SupplyNumber, row) : QString();
    m_enteredPushQty = has ? m_grid->Text(col::PushQty, row) : QString();
}

void frmPurchasePlan::CheckLeftCell(int c, int r) {
    if (c == col::PushQty && r == m_enteredRow && r >= 1 && r <= m_grid->MaxRows() &&
        m_grid->Text(col::PushQty, r) != m_enteredPushQty) {
        // More than is left to order cannot be pushed: refused where it is typed, naming the row.
        if (const QString why = clsPurchasePlan::PushQtyRefusal(*m_grid, r); !why.isEmpty()) {
            m_grid->SetText(col::PushQty, r, m_enteredPushQty);
            Inform(why);
        }
        m_enteredPushQty = m_grid->Text(col::PushQty, r);
        return;
    }
    // A supplier cell left as it was entered keeps its price and tax rate, however it was left.
    if (c != col::SupplyNumber || r != m_enteredRow || r < 1 || r > m_grid->MaxRows() ||
        m_grid->Text(col::SupplyNumber, r) == m_enteredCode)
        return;
    try {
        auto info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
        double taxRate = 0;
        OldSupplierID =
            m_enteredCode.isEmpty() ? 0 : info->GetSupplierID(GetPropsString(), m_enteredCode, taxRate);
    } catch (...) {
        // Unknown to the service: the check prices any valid new supplier.
        OldSupplierID = 0;
    }
    m_ui->GetRightSupply(c, r, OldSupplierID, m_enteredCode);
    if (m_grid->ChangedRowCount() == 0)
        DataChanged = false; // a refused code left nothing to save
    // Checked once: leaving the cell again after a command does not check it twice.
    m_enteredCode = m_grid->Text(col::SupplyNumber, r);
}

void frmPurchasePlan::LeaveActiveCell() {
    if (!m_loaded)
        return;
    m_grid->CommitEdit();
    CheckLeftCell(m_grid->ActiveCol(), m_grid->ActiveRow());
}

void frmPurchasePlan::BuildFindBar() {
    m_findBar = new QToolBar(Lang("查找"), this);
    m_findBar->setObjectName(QStringLiteral("barFind"));
    m_findBar->setAccessibleName(m_findBar->windowTitle());
    m_findBar->setMovable(false);
    auto* label = new QLabel(Lang("查找(&N):"), m_findBar);
    m_findText = new QLineEdit(m_findBar);
    m_findText->setObjectName(QStringLiteral("txtFind"));
    m_findText->setAccessibleName(Lang("查找内容"));
    m_findText->setClearButtonEnabled(true);
    label->setBuddy(m_findText);
    auto button = [&](const char* name, const char* text) {
        auto* b = new QPushButton(Lang(text), m_findBar);
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(b->text().remove(u'&'));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* next = button("cmdFindNext", "下一个(&D)");
    QPushButton* previous = button("cmdFindPrevious", "上一个(&P)");
    m_findCase = new QCheckBox(Lang("区分大小写(&C)"), m_findBar);
    m_findCase->setObjectName(QStringLiteral("chkMatchCase"));
    m_findCase->setAccessibleName(m_findCase->text().remove(u'&'));
    QPushButton* close = button("cmdFindClose", "关闭");
    m_findResult = new QLabel(m_findBar);
    m_findResult->setObjectName(QStringLiteral("lblFindResult"));
    m_findResult->setAccessibleName(Lang("查找结果"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{label, m_findText, next, previous, m_findCase, close, m_findResult})
        m_findBar->addWidget(w);
    addToolBar(Qt::BottomToolBarArea, m_findBar);
    m_findBar->hide();
    connect(m_findText, &QLineEdit::returnPressed, this,
            [this] { FindNext(!(QApplication::keyboardModifiers() & Qt::ShiftModifier)); });
    connect(next, &QPushButton::clicked, this, [this] { FindNext(true); });
    connect(previous, &QPushButton::clicked, this, [this] { FindNext(false); });
    connect(close, &QPushButton::clicked, this, [this] {
        m_findBar->hide();
        m_grid->View()->setFocus();
    });
    auto* escape = new QAction(m_findBar);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    escape->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_findBar->addAction(escape);
    connect(escape, &QAction::triggered, close, &QPushButton::click);
}

void frmPurchasePlan::ShowFind() {
    if (!m_findBar)
        BuildFindBar();
    m_findBar->show();
    m_findText->setFocus();
    m_findText->selectAll();
}

bool frmPurchasePlan::FindNext(bool forward) {
    const QString text = m_findText ? m_findText->text() : QString();
    if (text.isEmpty())
        return false;
    const auto found =
        m_grid->Find(text, m_grid->ActiveCol(), m_grid->ActiveRow(), forward, m_findCase->isChecked());
    if (!found) {
        m_findResult->setText(Lang("未找到“%1”").arg(text));
        return false;
    }
    m_findResult->clear();
    LeaveActiveCell(); // a jump leaves the cell as a key would
    m_grid->SetActiveCell(found->first, found->second);
    m_grid->ScrollToRow(found->second);
    return true;
}

void frmPurchasePlan::ShowHelp() {
    try {
        CreateObject<ChmHelp>(QString::fromLatin1(progid::ChmHelp))
            ->ShowHelp(QStringLiteral("VORO12.roz"), QStringLiteral("ZelPurchasePlan.frmPurchasePlan"), this);
    } catch (...) {
    }
}

void frmPurchasePlan::closeEvent(QCloseEvent* event) {
    try {
        LeaveActiveCell();
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
    if (DataChanged) {
        // In the log-in language like every other text, this question included.
        const int answer =
            ui::MsgBox(GetLangString(QStringLiteral("当前记录信息已经改变，是否需要保存？")),
                       ui::YesNoCancel | ui::Question, GetLangString(QStringLiteral("Marvane提示")));
        if (answer == ui::Cancel) {
            event->ignore();
            return;
        }
        if (answer == ui::Yes) {
            try {
                if (CheckRight(rights::Save)) {
                    if (m_ops->Save()) {
                        m_grid->MarkRowsUnchanged();
                        Inform(QStringLiteral("保存成功！"));
                    } else {
                        Inform(QStringLiteral("保存失败！"), m_ops->SaveError());
                    }
                }
            } catch (const std::exception& e) {
                ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                           GetLangString(QStringLiteral("信息提示")));
            }
        }
    }
    if (m_ui)
        m_ui->SetFieldDataVct(nullptr);
    if (m_loaded)
        SaveListLayout(*this, *m_grid);
    event->accept();
}

} // namespace zpp
