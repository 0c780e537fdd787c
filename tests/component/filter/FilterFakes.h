#pragma once

#include "component/filter/frmFirter.h"
#include "component/host/contracts/Profile.h"
#include "support/Fakes.h"

#include <QTemporaryDir>
#include <functional>

namespace zpp::test {

// A stored scheme of the fake profile service, values in the order they were sent.
struct StoredScheme {
    QString Name;
    int Status = 0;
    QVector<QPair<QString, QString>> Values;
};

// What the filter's fakes share with a test.
struct FilterWorld {
    QVector<StoredScheme> Schemes;
    bool ProfileFails = false;
    QStringList Calls;               // operation names in call order
    QVector<RecordListPtr> Sent;     // lists handed to SaveProfile
    QHash<QString, QString> Formats; // saved formats by key

    StoredScheme* Find(const QString& name);
};

FilterWorld& Filter();

class FakeProfile : public Profile {
public:
    QString LoadRptFormat(const QString& props, qint32 reportId, const QString& key) override {
        Enter("LoadRptFormat", props, reportId, key.endsWith("_HeadFoot") ? 0 : 126);
        return Filter().Formats.value(key);
    }
    void SaveRptFormat(const QString& props, qint32 reportId, const QString& key, QString& text) override {
        Enter("SaveRptFormat", props, reportId, key.endsWith("_HeadFoot") ? 0 : 126);
        Filter().Formats[key] = text;
    }
    RecordSetPtr GetPlanList(const QString& props, qint32& reportId) override;
    RecordSetPtr GetPlanValue(const QString& props, qint32& reportId, QString& scheme) override;
    void DelPlan(const QString& props, qint32& reportId, QString& scheme) override {
        Enter("DelPlan", props, reportId);
        Filter().Schemes.removeIf([&](const StoredScheme& s) { return s.Name == scheme; });
    }
    void UpdateNextChooseValue(const QString& props, qint32 reportId) override {
        Enter("UpdateNextChooseValue", props, reportId);
    }
    void SaveProfile(const QString& props, RecordListPtr& records) override;

private:
    // Every call names the user's properties and the plan list's report (the page set-up: none).
    void Enter(const char* operation, const QString& props, qint32 reportId, qint32 expected = 126);
};

// The host fakes plus the profile and font services, and a private root for the
// developer switch file.
class FilterFixture : public HostFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the filter dialog through the modal seam; act sees it shown and may close it.
    bool RunDialog(bool isShowFilter, const std::function<void(frmFirter&)>& act);
    void StoreScheme(const QString& name, int status, const QVector<QPair<QString, QString>>& values) {
        Filter().Schemes.push_back({name, status, values});
    }
    void SetDebugSwitch(const QString& value);

    QTemporaryDir root;
};

template <class T> T* Child(QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

} // namespace zpp::test
