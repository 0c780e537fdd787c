// The filter dialog's controls: how they are made and laid out, and the texts they show, kept
// apart from what the dialog does with them.
#include "SchemeListView.h"
#include "component/host/Lang.h"
#include "frmFirter.h"
#include "platform/records/Values.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

namespace zpp {

namespace {

QLabel* MakeLabel(const QString& text, const char* name, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(text);
    if (buddy) {
        label->setBuddy(buddy);
        buddy->setAccessibleName(text.trimmed());
    }
    return label;
}

QLineEdit* MakeField(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

QDateEdit* MakeDate(const char* name, QWidget* parent) {
    auto* date = new QDateEdit(QDate::currentDate(), parent);
    date->setObjectName(QString::fromLatin1(name));
    date->setCalendarPopup(true);
    date->setDisplayFormat(QString::fromLatin1(values::kDisplayDateFormat));
    return date;
}

QToolButton* MakeLookupButton(const char* name, const QString& label, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(QStringLiteral("..."));
    button->setAccessibleName(label.trimmed());
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

} // namespace

void frmFirter::BuildControls() {
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabFilter"));
    auto* page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("pageCondition"));

    auto* period = new QGroupBox(page);
    period->setObjectName(QStringLiteral("fraDate"));
    m_bDate = MakeDate("dtpBDate", period);
    m_eDate = MakeDate("dtpEDate", period);
    m_lblBDate = MakeLabel(QString(), "lblBDate", m_bDate, period);
    m_lblEDate = MakeLabel(QString(), "lblEDate", m_eDate, period);
    auto* periodGrid = new QGridLayout(period);
    periodGrid->addWidget(m_lblBDate, 0, 0);
    periodGrid->addWidget(m_bDate, 0, 1);
    periodGrid->addWidget(m_lblEDate, 1, 0);
    periodGrid->addWidget(m_eDate, 1, 1);

    auto* items = new QGroupBox(page);
    items->setObjectName(QStringLiteral("fraItem"));
    m_bItem = MakeField("txtBItemNumber", items);
    m_eItem = MakeField("txtEItemNumber", items);
    m_bBillNo = MakeField("txtBBillNo", items);
    m_eBillNo = MakeField("txtEBillNo", items);
    const QString itemLabel = QStringLiteral("物料代码:");
    const QString billLabel = QStringLiteral("采购建议号:");
    auto* lblBItem = MakeLabel(itemLabel, "lblBItem", m_bItem, items);
    m_lblEItem = MakeLabel(QString(), "lblEItem", m_eItem, items);
    auto* lblBBillNo = MakeLabel(billLabel, "lblBBillNo", m_bBillNo, items);
    m_lblEBillNo = MakeLabel(QString(), "lblEBillNo", m_eBillNo, items);
    m_bItemLookup = MakeLookupButton("cmdBItem", itemLabel, items);
    m_eItemLookup = MakeLookupButton("cmdEItem", itemLabel, items);
    connect(m_bItemLookup, &QToolButton::clicked, this, [this] { ItemLookup(true); });
    connect(m_eItemLookup, &QToolButton::clicked, this, [this] { ItemLookup(false); });
    auto* itemGrid = new QGridLayout(items);
    itemGrid->addWidget(lblBItem, 0, 0);
    itemGrid->addWidget(m_bItem, 0, 1);
    itemGrid->addWidget(m_bItemLookup, 0, 2);
    itemGrid->addWidget(m_lblEItem, 0, 3);
    itemGrid->addWidget(m_eItem, 0, 4);
    itemGrid->addWidget(m_eItemLookup, 0, 5);
    itemGrid->addWidget(lblBBillNo, 1, 0);
    itemGrid->addWidget(m_bBillNo, 1, 1, 1, 2);
    itemGrid->addWidget(m_lblEBillNo, 1, 3);
    itemGrid->addWidget(m_eBillNo, 1, 4, 1, 2);

    // The item-class condition is kept out of sight; its value is still handed on.
    m_itemClass = MakeField("txtBItemClass", page);
    m_lblItemClass = MakeLabel(QString(), "lblBItemClass", m_itemClass, page);
    auto* itemClassButton = MakeLookupButton("cmdBItemClass", QString(), page);
    m_itemClass->hide();
    m_lblItemClass->hide();
    itemClassButton->hide();

    const QString closedText = QStringLiteral("已关闭不显示");
    m_closed = new QCheckBox(closedText, page);
    m_closed->setObjectName(QStringLiteral("chkClosed"));
    m_closed->setAccessibleName(closedText);
    m_closed->setChecked(true);
    const QString unorderedText = QStringLiteral("只显示未下推完的分录");
    m_unordered = new QCheckBox(unorderedText, page);
    m_unordered->setObjectName(QStringLiteral("chkUnordered"));
    m_unordered->setAccessibleName(unorderedText);

    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(period);
    pageLayout->addWidget(items);
    pageLayout->addWidget(m_closed);
    pageLayout->addWidget(m_unordered);
    pageLayout->addStretch();
    m_tabs->addTab(page, QString());

    m_lblScheme = new QLabel(this);
    m_lblScheme->setObjectName(QStringLiteral("lblScheme"));
    m_tools = new QToolBar(this);
    m_tools->setObjectName(QStringLiteral("tlbScheme"));
    m_tools->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const struct {
        const char* key;
        QStyle::StandardPixmap icon;
    } tools[] = {{"tlbSave", QStyle::SP_DialogSaveButton},
                 {"tlbDel", QStyle::SP_TrashIcon},
                 {"tlbClear", QStyle::SP_DialogResetButton},
                 {"tlbView", QStyle::SP_FileDialogListView}};
    for (const auto& tool : tools) {
        QAction* action = m_tools->addAction(style()->standardIcon(tool.icon), QString());
        const QString key = QString::fromLatin1(tool.key);
        action->setObjectName(key);
        connect(action, &QAction::triggered, this, [this, key] { ToolClick(key); });
    }
    auto* viewMenu = new QMenu(this);
    viewMenu->setObjectName(QStringLiteral("mnuView"));
    const char* viewNames[] = {"mnuViewLarge", "mnuViewSmall", "mnuViewList", "mnuViewDetails"};
    for (int entry = 1; entry <= 4; ++entry) {
        QAction* action = viewMenu->addAction(QString());
        action->setObjectName(QString::fromLatin1(viewNames[entry - 1]));
        connect(action, &QAction::triggered, this, [this, entry] { ChooseView(entry); });
    }
    QAction* viewAction = m_tools->findChild<QAction*>(QStringLiteral("tlbView"));
    viewAction->setMenu(viewMenu);
    if (auto* button = qobject_cast<QToolButton*>(m_tools->widgetForAction(viewAction)))
        button->setPopupMode(QToolButton::MenuButtonPopup);

    m_schemes = new SchemeListView(this);
    m_schemes->setObjectName(QStringLiteral("lvwScheme"));
    connect(m_schemes, &SchemeListView::RowClicked, this, [this](int) {
        if (const int row = m_schemes->SelectedRow())
            LoadScheme(m_schemes->RowText(row));
    });

    const QString nextText = QStringLiteral("下次直接以该方案进入");
    m_nextChoose = new QCheckBox(nextText, this);
    m_nextChoose->setObjectName(QStringLiteral("chkNextChoose"));
    m_nextChoose->setAccessibleName(nextText);

    m_ok = new QPushButton(this);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cancel->setAutoDefault(false);
    connect(m_ok, &QPushButton::clicked, this, &frmFirter::Confirm);
    connect(m_cancel, &QPushButton::clicked, this, &frmFirter::reject);

    auto* schemeHead = new QHBoxLayout;
    schemeHead->addWidget(m_lblScheme);
    schemeHead->addWidget(m_tools);
    schemeHead->addStretch();
    auto* schemeArea = new QVBoxLayout;
    schemeArea->addLayout(schemeHead);
    schemeArea->addWidget(m_schemes, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_tabs, 3);
    top->addLayout(schemeArea, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_nextChoose);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top, 1);
    outer->addLayout(buttons);
}

void frmFirter::SetTexts() {
    const QString caption = GetLangString(QStringLiteral("过滤"));
    setWindowTitle(caption);
    setAccessibleName(caption);
    const auto caption2 = [](QAbstractButton* button, const QString& text) {
        button->setText(text);
        button->setAccessibleName(text);
    };
    caption2(m_ok, GetLangString(QStringLiteral("确定(&O)")));
    caption2(m_cancel, GetLangString(QStringLiteral("取消(&C)")));
    const QString conditions = GetLangString(QStringLiteral("条件"));
    m_tabs->setTabText(0, conditions);
    m_tabs->widget(0)->setAccessibleName(conditions);
    const QString to = GetLangString(QStringLiteral("至:"));
    for (QLabel* label : {m_lblEItem, m_lblEBillNo}) {
        label->setText(to);
        label->setAccessibleName(to);
    }
    m_eItem->setAccessibleName(to);
    m_eBillNo->setAccessibleName(to);
    m_eItemLookup->setAccessibleName(to);
    const QString itemClass = GetLangString(QStringLiteral("物料类别代码:  "));
    m_lblItemClass->setText(itemClass);
    m_itemClass->setAccessibleName(itemClass.trimmed());
    const QString bDate = GetLangString(QStringLiteral("起始日期:"));
    const QString eDate = GetLangString(QStringLiteral("截止日期:"));
    m_lblBDate->setText(bDate);
    m_lblEDate->setText(eDate);
    m_bDate->setAccessibleName(bDate);
    m_eDate->setAccessibleName(eDate);
    m_schemes->SetColumnTitle(GetLangString(QStringLiteral("方案")));
    const QString schemeLabel = GetLangString(QStringLiteral("方案："));
    m_lblScheme->setText(schemeLabel);
    m_lblScheme->setAccessibleName(schemeLabel);
    m_tools->setAccessibleName(schemeLabel);
    const struct {
        const char* key;
        const char* tip;
    } tips[] = {{"tlbSave", "保存"}, {"tlbDel", "删除"}, {"tlbClear", "清除"}, {"tlbView", "查看"}};
    for (const auto& tip : tips) {
        QAction* action = m_tools->findChild<QAction*>(QString::fromLatin1(tip.key));
        const QString text = GetLangString(QString::fromUtf8(tip.tip));
        action->setText(text);
        action->setToolTip(text);
        if (QWidget* button = m_tools->widgetForAction(action)) {
            button->setObjectName(QString::fromLatin1(tip.key) + QStringLiteral("Button"));
            button->setAccessibleName(text);
        }
    }
    const char* views[] = {"大图标(&G)", "小图标(&M)", "列表(&L)", "详细资料(&D)"};
    const QList<QAction*> viewActions = findChild<QMenu*>(QStringLiteral("mnuView"))->actions();
    for (int i = 0; i < 4; ++i)
        viewActions[i]->setText(GetLangString(QString::fromUtf8(views[i])));
}

} // namespace zpp
