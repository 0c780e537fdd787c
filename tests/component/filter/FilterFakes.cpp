#include "FilterFakes.h"

#include "platform/ini/IniFile.h"

#include <QWidget>

namespace zpp::test {

FilterWorld& Filter() {
    static FilterWorld world;
    return world;
}

StoredScheme* FilterWorld::Find(const QString& name) {
    for (StoredScheme& scheme : Schemes)
        if (scheme.Name == name)
            return &scheme;
    return nullptr;
}

void FakeProfile::Enter(const char* operation, const QString& props, qint32 reportId, qint32 expected) {
    Filter().Calls << QString::fromLatin1(operation);
    EXPECT_EQ(props, World().PropsString) << operation;
    EXPECT_EQ(reportId, expected) << operation;
    if (Filter().ProfileFails)
        throw Error(QStringLiteral("profile service down"));
}

RecordSetPtr FakeProfile::GetPlanList(const QString& props, qint32& reportId) {
    Enter("GetPlanList", props, reportId);
    auto set = std::make_shared<RecordSet>(QStringList{"FPlan", "FStatus"});
    for (const StoredScheme& scheme : Filter().Schemes)
        set->AddRow({scheme.Name, scheme.Status});
    return set;
}

RecordSetPtr FakeProfile::GetPlanValue(const QString& props, qint32& reportId, QString& scheme) {
    Enter("GetPlanValue", props, reportId);
    auto set = std::make_shared<RecordSet>(QStringList{"FKey", "FValue"});
    if (const StoredScheme* stored = Filter().Find(scheme))
        for (const auto& [key, value] : stored->Values)
            set->AddRow({key, value.isNull() ? QVariant() : QVariant(value)});
    return set;
}

void FakeProfile::SaveProfile(const QString& props, RecordListPtr& records) {
    Enter("SaveProfile", props, 126);
    Filter().Sent << records;
    for (const RecordPtr& record : *records) {
        EXPECT_EQ(record->Get("RptID"), QVariant::fromValue<qint32>(126));
        const QString name = record->Text("Plan");
        StoredScheme* scheme = Filter().Find(name);
        if (!scheme) {
            Filter().Schemes.push_back({name, 0, {}});
            scheme = &Filter().Schemes.back();
        }
        const QString key = record->Text("Key"), value = record->Text("Value");
        scheme->Values.removeIf([&](const auto& kv) { return kv.first == key; });
        scheme->Values.push_back({key, value});
    }
}

void FilterFixture::SetUp() {
    HostFixture::SetUp();
    Filter() = FilterWorld();
    ASSERT_TRUE(root.isValid());
    ini::SetPathRoot(root.path());
    RegisterService<FakeProfile>(progid::Profile);
}

void FilterFixture::TearDown() {
    ini::SetPathRoot(QString());
    HostFixture::TearDown();
}

bool FilterFixture::RunDialog(bool isShowFilter, const std::function<void(frmFirter&)>& act) {
    ui::SetModalHandler([&](QDialog& dialog) {
        auto& filter = dynamic_cast<frmFirter&>(dialog);
        act(filter);
        return dialog.result();
    });
    return RunFilterDialog(isShowFilter);
}

void FilterFixture::SetDebugSwitch(const QString& value) {
    ASSERT_TRUE(ini::Write(ini::ResolvePath(QStringLiteral("C:\\RptTest.Ini")), "Para", "Debug", value));
}

} // namespace zpp::test
