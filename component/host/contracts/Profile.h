#pragma once

#include "component/host/contracts/ProfileRead.h"
#include "platform/records/KeyedRecord.h"
#include "platform/records/RecordSet.h"

namespace zpp {

// ZELMCaculateRpt.Profile: report formats and filter schemes of the log-in user.
class Profile : public ProfileRead {
public:
    virtual void SaveRptFormat(const QString& props, qint32 reportId, const QString& key, QString& text) = 0;
    // Schemes with "FPlan" and "FStatus" (1 = the next-choose scheme).
    virtual RecordSetPtr GetPlanList(const QString& props, qint32& reportId) = 0;
    // Stored values of a scheme with "FKey" and "FValue".
    virtual RecordSetPtr GetPlanValue(const QString& props, qint32& reportId, QString& scheme) = 0;
    virtual void DelPlan(const QString& props, qint32& reportId, QString& scheme) = 0;
    virtual void UpdateNextChooseValue(const QString& props, qint32 reportId) = 0;
    // Records with "RptID", "Plan", "Key", "Value".
    virtual void SaveProfile(const QString& props, RecordListPtr& records) = 0;
};

} // namespace zpp
