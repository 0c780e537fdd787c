#pragma once

#include "component/host/HostObjectFactory.h"

namespace zpp {

// ZELMCaculateRpt.ProfileRead: reads a saved report format of the log-in user.
class ProfileRead : public ServiceObject {
public:
    virtual QString LoadRptFormat(const QString& props, qint32 reportId, const QString& key) = 0;
};

} // namespace zpp
