#include "frmFirter.h"

#include "MRpt.h"
#include "SchemeListView.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/Profile.h"
#include "platform/records/StorableText.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/Timing.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>

namespace zpp {

namespace {

const QString kInfoTitle = QStringLiteral("信息提示");

QString IsoDate(const QDate& date) {
    return values::FormatDate(date, QStringLiteral("yyyy-mm-dd"));
}

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

// The range fields are read without their surrounding blanks.
QString Trimmed(const QLineEdit* field) {
    return field->text().trimmed();
}

bool IsEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

frmFirter::frmFirter(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmFirter"));
    BuildControls();
    LoadForm();
}

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

void frmFirter::LoadForm() {
    InstallKeyPreview();

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
    SetFormFont(this);

    auto conditionsRecord = KeyedRecord::Create();
    conditionsRecord->Set(QStringLiteral("OK"), false);
    State().FilterConditions = conditionsRecord;

    // The dialog must open even when the schemes cannot be read.
    RefillSchemeList();
    m_schemes->SetViewMode(SchemeListView::LargeIcons);
    m_viewCounter = 0;
    const int row = m_schemes->SelectedRow();
    LoadScheme(row ? m_schemes->RowText(row) : QString());
}

void frmFirter::InstallKeyPreview() {
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool frmFirter::event(QEvent* e) {
    const bool handled = QDialog::event(e);
    if (e->type() == QEvent::WindowActivate)
        OnActivate();
    if (e->type() == QEvent::Show && timing::Enabled()) {
        timing::Mark("filter-shown");
        // An unattended run asks for every entry, as a buyer looking through the whole plan would.
        if (timing::Unattended()) {
            m_bDate->setDate(QDate(2000, 1, 1));
            m_eDate->setDate(QDate(2099, 12, 31));
            QTimer::singleShot(0, m_ok, &QPushButton::click);
        }
    }
    return handled;
}

void frmFirter::OnActivate() {
    if (m_closing)
        return;
    if (IsDebugMode() == 1) {
        Confirm();
        return;
    }
    if (!m_isShowFilter && m_nextChoose->isChecked())
        Confirm();
}

bool frmFirter::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, e);
    auto* key = static_cast<QKeyEvent*>(e);
    if (key->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    if (key->text().contains(u'\''))
        return true;
    if (IsEnter(key->key())) {
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button && button != m_ok &&
            (qobject_cast<QPushButton*>(watched) || qobject_cast<QToolButton*>(watched)))
            button->click();
        else
            Confirm();
        return true;
    }
    if ((key->key() == Qt::Key_F7 || key->key() == Qt::Key_F8) && (watched == m_bItem || watched == m_eItem))
        ItemLookup(watched == m_bItem);
    return QDialog::eventFilter(watched, e);
}

void frmFirter::keyPressEvent(QKeyEvent* e) {
    if (IsEnter(e->key())) {
        focusNextChild();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    QDialog::keyPressEvent(e);
}

void frmFirter::Confirm() {
    if (m_closing)
        return;
    const QString bDate = IsoDate(m_bDate->date());
    const QString eDate = IsoDate(m_eDate->date());
    if (bDate > eDate) {
        ui::MsgBox(GetLangString(QStringLiteral("起始日期不能大于截止日期!")), ui::OkOnly | ui::Information,
                   GetLangString(kInfoTitle));
        // Both dates stay as the user set them: the user corrects the one that is wrong.
        m_eDate->setFocus();
        return;
    }
    RecordPtr& conditions = State().FilterConditions;
    if (!conditions)
        conditions = KeyedRecord::Create();
    conditions->Set(QStringLiteral("OK"), true);
    conditions->Set(QStringLiteral("BDate"), bDate);
    conditions->Set(QStringLiteral("EDate"), eDate);
    conditions->Set(QStringLiteral("Closed"), QVariant::fromValue<qint16>(m_closed->isChecked() ? 1 : 0));
    conditions->Set(QStringLiteral("Unordered"),
                    QVariant::fromValue<qint16>(m_unordered->isChecked() ? 1 : 0));
    conditions->Set(QStringLiteral("BItemClass"), Trimmed(m_itemClass));
    conditions->Set(QStringLiteral("BItemNumber"), Trimmed(m_bItem));
    conditions->Set(QStringLiteral("EItemNumber"), Trimmed(m_eItem));
    conditions->Set(QStringLiteral("BBillNo"), Trimmed(m_bBillNo));
    conditions->Set(QStringLiteral("EBillNo"), Trimmed(m_eBillNo));

    // The default scheme remembers the conditions last confirmed; named ones only change on save.
    if (m_schemeName.trimmed() == LocalDefaultSchemeName()) {
        try {
            SaveSchemeValues(m_schemeName);
        } catch (const std::exception& e) {
            ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information, GetLangString(kInfoTitle));
        }
    }
    m_closing = true;
    timing::Mark("filter-ok");
    accept();
}

void frmFirter::reject() {
    if (State().FilterConditions)
        State().FilterConditions->Set(QStringLiteral("OK"), false);
    m_closing = true;
    QDialog::reject();
}

void frmFirter::ToolClick(const QString& key) {
    const QString upper = key.toUpper();
    try {
        if (upper == QLatin1String("TLBSAVE"))
            SaveScheme();
        else if (upper == QLatin1String("TLBDEL"))
            DeleteScheme();
        else if (upper == QLatin1String("TLBCLEAR"))
            ClearRanges();
        else if (upper == QLatin1String("TLBVIEW"))
            CycleView();
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information, GetLangString(kInfoTitle));
    }
}

void frmFirter::RefillSchemeList() {
    try {
        LoadSchemeList(kPlanReportId, *m_schemes);
    } catch (...) {
        // Whatever was listed before the failure stays listed.
    }
}

void frmFirter::LoadScheme(const QString& name) {
    const QString localDefault = LocalDefaultSchemeName();
    if (m_schemes->RowCount() == 0) {
        m_schemes->AddRow(localDefault, localDefault);
        m_schemes->SelectRow(1);
    }
    // The list shows names as they are stored, apostrophes already doubled by the save.
    const QString stored = StoredSchemeName(name);
    RecordSetPtr storedValues;
    try {
        storedValues = GetSchemeValues(kPlanReportId, stored);
    } catch (...) {
    }
    m_schemeName = name;
    if (!storedValues)
        return;

    // Each field on its own: a value that cannot be read leaves that field as it was.
    RecordSet& values = *storedValues;
    const QString today = IsoDate(QDate::currentDate());
    const auto setDate = [&](QDateEdit* picker, const char* key) {
        if (auto date = values::ParseDate(GetSchemeValue(values, QString::fromLatin1(key), today)))
            picker->setDate(*date);
    };
    const auto setText = [&](QLineEdit* field, const char* key) {
        field->setText(GetSchemeValue(values, QString::fromLatin1(key), QString()));
    };
    const auto setBox = [&](QCheckBox* box, const char* key, const char* defaultValue) {
        box->setChecked(values::ToInt16(GetSchemeValue(values, QString::fromLatin1(key),
                                                       QString::fromLatin1(defaultValue))) != 0);
    };
    const std::function<void()> steps[] = {
        [&] { setDate(m_bDate, "BDate"); },
        [&] { setDate(m_eDate, "EDate"); },
        [&] { setText(m_bItem, "BItem"); },
        [&] { setText(m_eItem, "EItem"); },
        [&] { setText(m_bBillNo, "BBillNo"); },
        [&] { setText(m_eBillNo, "EBillNo"); },
        [&] { setBox(m_closed, "chkClosed", "1"); },
        [&] { setBox(m_nextChoose, "chkNextChoose", "0"); },
        [&] { setBox(m_unordered, "chkUnordered", "0"); }, // absent from schemes saved before it
    };
    for (const auto& step : steps) {
        try {
            step();
        } catch (...) {
        }
    }
}

void frmFirter::SaveScheme() {
    QString name;
    // A typed name gets its apostrophes doubled as the store keeps names; a listed name is
    // already in that form, and doubling it again would save beside the scheme, not over it.
    bool typed = false;
    if (m_schemes->RowCount() > 0) {
        const int row = m_schemes->SelectedRow();
        const QString selected = row ? m_schemes->RowText(row) : LocalDefaultSchemeName();
        if (selected == LocalDefaultSchemeName()) {
            name = ui::InputBox(GetLangString(QStringLiteral("请输入方案名：")),
                                GetLangString(QStringLiteral("保存方案")), QString())
                       .value_or(QString());
            typed = true;
        } else if (ui::MsgBox(QStringLiteral("是否覆盖原方案？"), ui::YesNo | ui::Information, kInfoTitle) ==
                   ui::Yes) {
            name = selected;
        } else {
            name = ui::InputBox(GetLangString(QStringLiteral("请输入方案名：")),
                                GetLangString(QStringLiteral("另存为")), QString())
                       .value_or(QString());
            typed = true;
        }
    } else {
        name = LocalDefaultSchemeName();
    }
    // Named as the store keeps it, so the saved scheme is found in the list again.
    name = StorableText((typed ? DoubleQuotes(name) : name).trimmed());
    if (name.isEmpty())
        return;
    m_schemeName = name;
    SaveSchemeValues(name);
    RefillSchemeList();
    if (m_schemes->RowCount() > 0) {
        if (const int row = m_schemes->FindKey(QStringLiteral("P") + name))
            m_schemes->SelectRow(row);
    }
}

void frmFirter::SaveSchemeValues(const QString& name) {
    const QString stored = StoredSchemeName(name);
    m_pending = RecordList::Create();
    auto profile = CreateObject<Profile>(QString::fromLatin1(progid::Profile));
    profile->UpdateNextChooseValue(GetPropsString(), kPlanReportId);
    AddSchemeRecord(stored, QStringLiteral("BDate"), IsoDate(m_bDate->date()));
    AddSchemeRecord(stored, QStringLiteral("EDate"), IsoDate(m_eDate->date()));
    AddSchemeRecord(stored, QStringLiteral("BItem"), DoubleQuotes(m_bItem->text()));
    AddSchemeRecord(stored, QStringLiteral("EItem"), DoubleQuotes(m_eItem->text()));
    AddSchemeRecord(stored, QStringLiteral("BBillNo"), DoubleQuotes(m_bBillNo->text()));
    AddSchemeRecord(stored, QStringLiteral("EBillNo"), DoubleQuotes(m_eBillNo->text()));
    AddSchemeRecord(stored, QStringLiteral("chkClosed"),
                    m_closed->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    AddSchemeRecord(stored, QStringLiteral("chkUnordered"),
                    m_unordered->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    AddSchemeRecord(stored, QStringLiteral("chkNextChoose"),
                    m_nextChoose->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    profile = CreateObject<Profile>(QString::fromLatin1(progid::Profile));
    profile->SaveProfile(GetPropsString(), m_pending);
}

void frmFirter::AddSchemeRecord(const QString& name, const QString& key, const QString& value) {
    auto record = KeyedRecord::Create();
    record->Set(QStringLiteral("RptID"), QVariant::fromValue<qint32>(kPlanReportId));
    record->Set(QStringLiteral("Plan"), name);
    record->Set(QStringLiteral("Key"), key);
    record->Set(QStringLiteral("Value"), value);
    m_pending->Add(record);
}

void frmFirter::DeleteScheme() {
    if (m_schemes->RowCount() == 0)
        return;
    const int row = m_schemes->SelectedRow();
    const QString name = row ? m_schemes->RowText(row) : LocalDefaultSchemeName();
    if (name == LocalDefaultSchemeName()) {
        ui::MsgBox(QStringLiteral("不能删除默认方案！"), ui::OkOnly | ui::Information, kInfoTitle);
        return;
    }
    if (ui::MsgBox(QStringLiteral("是否要删除方案[") + name + QStringLiteral("]？"),
                   ui::YesNo | ui::Information, kInfoTitle) != ui::Yes)
        return;
    DeleteSchemeRecord(kPlanReportId, name);
    RefillSchemeList();
    if (m_schemes->RowCount() > 0)
        m_schemes->SelectRow(1);
    const int selected = m_schemes->SelectedRow();
    LoadScheme(selected ? m_schemes->RowText(selected) : QString());
}

void frmFirter::ClearRanges() {
    for (QLineEdit* field : {m_bItem, m_eItem, m_bBillNo, m_eBillNo})
        field->clear();
}

void frmFirter::CycleView() {
    m_viewCounter = (m_viewCounter + 1) % 4;
    m_schemes->SetViewMode(m_viewCounter);
}

void frmFirter::ChooseView(int entry) {
    m_viewCounter = entry - 1;
    m_schemes->SetViewMode(m_viewCounter);
}

void frmFirter::ItemLookup(bool startField) {
    QLineEdit* field = startField ? m_bItem : m_eItem;
    if (auto result = LookupBaseData(kLookupItem, field->text(), QString(), 1)) {
        field->setText(result->ReturnObject->Number);
        if (startField && m_eItem->text().isEmpty())
            m_eItem->setText(result->ReturnObject->Number);
    }
    QCoreApplication::processEvents();
}

bool RunFilterDialog(bool isShowFilter, QWidget* parent) {
    frmFirter dialog(parent);
    dialog.SetIsShowFilter(isShowFilter);
    ui::ExecModal(dialog);
    const RecordPtr& conditions = State().FilterConditions;
    return conditions && conditions->Get(QStringLiteral("OK"), false).toBool();
}

} // namespace zpp
