// The list window's menus, tool bar and find bar: where each command sits, its caption, shortcut
// and icon, when it is enabled, and finding a text in the grid.
#include "frmPurchasePlan.h"

#include "component/chart/frmPlanChart.h"
#include "component/host/ComponentState.h"
#include "component/list/ListEditing.h"
#include "component/list/ListPrompts.h"
#include "component/list/PlanSort.h"
#include "platform/controls/SpreadGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableView>
#include <QToolBar>

namespace zpp {

namespace {
using listprompts::Lang;

const QString kBand = QStringLiteral("Band");
const QString kEdit = QStringLiteral("mnuEdit");
const QString kView = QStringLiteral("mnuView");
const QString kFile = QStringLiteral("mnuFile");
const QString kHelpBand = QStringLiteral("mnuHelpBand");
} // namespace

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

} // namespace zpp
