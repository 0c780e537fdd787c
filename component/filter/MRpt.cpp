#include "MRpt.h"

#include "SchemeListView.h"
#include "component/host/Access.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/GLData.h"
#include "component/host/contracts/Profile.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

namespace zpp {

namespace {
std::shared_ptr<Profile> CreateProfile() {
    return CreateObject<Profile>(QString::fromLatin1(progid::Profile));
}
} // namespace

QString LocalDefaultSchemeName() {
    return GetLangString(kDefaultSchemeName);
}

QString StoredSchemeName(const QString& name) {
    return name == LocalDefaultSchemeName() ? kDefaultSchemeName : name;
}

QString DoubleQuotes(const QString& text) {
    QString out = text;
    return out.replace(u'\'', QStringLiteral("''"));
}

std::shared_ptr<LookupResult> LookupBaseData(qint32 baseDataType, const QString& search, const QString& extra,
                                             qint16 optionValue, const QString& select) {
    try {
        RecordPtr options = KeyedRecord::Create();
        options->Set(QStringLiteral("BeShortNumber"), false);
        options->Set(QStringLiteral("GetDataType"), QVariant::fromValue<qint16>(optionValue));
        options->Set(QStringLiteral("Search"), search);
        if (!select.isEmpty())
            options->Set(QStringLiteral("Select"), select);
        GetGLData()->Refresh();
        qint32 type = baseDataType;
        QString searchArg = search, extraArg = extra;
        std::shared_ptr<LookupResult> result = GetGLView()->ItemLookUp(type, searchArg, extraArg, options);
        if (result && result->ReturnObject)
            return result;
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
    return nullptr;
}

void LoadSchemeList(qint32 reportId, SchemeListView& list) {
    list.Clear();
    const QString localDefault = LocalDefaultSchemeName();
    list.AddRow(localDefault, localDefault);
    list.SelectRow(1);
    int marked = 0;
    qint32 report = reportId;
    RecordSetPtr schemes = CreateProfile()->GetPlanList(GetPropsString(), report);
    if (schemes) {
        schemes->SetFilter(QString());
        for (schemes->MoveFirst(); !schemes->Eof(); schemes->MoveNext()) {
            const QString name = schemes->Text(QStringLiteral("FPlan"));
            // The default scheme has its own first row, under either of its names.
            if (name == localDefault || name == kDefaultSchemeName)
                continue;
            const int row = list.AddRow(name, QStringLiteral("P") + name);
            if (values::Val(schemes->Value(QStringLiteral("FStatus"))) == 1)
                marked = row;
        }
    }
    list.SelectRow(marked ? marked : 1);
}

RecordSetPtr GetSchemeValues(qint32 reportId, const QString& storedName) {
    qint32 report = reportId;
    QString name = storedName;
    return CreateProfile()->GetPlanValue(GetPropsString(), report, name);
}

QString GetSchemeValue(RecordSet& values, const QString& key, const QString& defaultValue) {
    values.SetFilter(QStringLiteral("FKey='") + DoubleQuotes(key) + QStringLiteral("'"));
    if (values.RecordCount() == 0)
        return defaultValue;
    return values.Text(QStringLiteral("FValue"));
}

void DeleteSchemeRecord(qint32 reportId, const QString& storedName) {
    qint32 report = reportId;
    QString name = storedName;
    CreateProfile()->DelPlan(GetPropsString(), report, name);
}

} // namespace zpp
