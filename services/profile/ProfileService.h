#pragma once

#include "component/host/contracts/Profile.h"
#include "services/store/Session.h"

namespace zpp::services {

// Report formats and filter schemes of the log-in user. Names and values are kept exactly as
// they arrive (apostrophes the caller doubled stay doubled).
//
// Schemes: SaveProfile replaces all stored values of each scheme it receives. A scheme's
// next-choose status follows its "chkNextChoose" value; UpdateNextChooseValue clears the status
// and that value on every scheme of the report, and GetPlanList reports status 1 only for the
// marked scheme saved last.
class ProfileService : public Profile {
public:
    explicit ProfileService(store::SessionPtr session) : m_session(std::move(session)) {}

    // The saved text; empty when nothing is saved.
    QString LoadRptFormat(const QString& props, qint32 reportId, const QString& key) override;
    void SaveRptFormat(const QString& props, qint32 reportId, const QString& key, QString& text) override;
    // Schemes in the order they were first saved.
    RecordSetPtr GetPlanList(const QString& props, qint32& reportId) override;
    // Values in the order they were sent; empty for an unknown scheme.
    RecordSetPtr GetPlanValue(const QString& props, qint32& reportId, QString& scheme) override;
    void DelPlan(const QString& props, qint32& reportId, QString& scheme) override;
    void UpdateNextChooseValue(const QString& props, qint32 reportId) override;
    void SaveProfile(const QString& props, RecordListPtr& records) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
