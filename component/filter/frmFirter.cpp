#include "frmFirter.h"

#include "FilterDialogInternal.h"
#include "MRpt.h"
#include "SchemeListView.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/Timing.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

namespace zpp {

using filterdialog::IsoDate;
using filterdialog::kInfoTitle;

namespace {

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

void frmFirter::LoadForm() {
    InstallKeyPreview();
    SetTexts();
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
