// The filter dialog's schemes: the tool bar's save, delete and clear, the list's views, and a
// scheme's values loaded into the fields or saved from them through the profile service.
#include "FilterDialogInternal.h"
#include "MRpt.h"
#include "SchemeListView.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/Profile.h"
#include "frmFirter.h"
#include "platform/records/StorableText.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <functional>

namespace zpp {

using filterdialog::IsoDate;
using filterdialog::kInfoTitle;

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

} // namespace zpp
