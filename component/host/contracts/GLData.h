#pragma once

#include "component/host/HostObjectFactory.h"

namespace zpp {

// ZELEBCGLView.GLData: rights of the log-in user and the operation log.
class GLData : public ServiceObject {
public:
    virtual bool AccessCheck(qint16 subsystem, qint16 module, qint32 mask) = 0;
    virtual void WriteLog(QString& objectCode, qint32& operationType, QString& operationName) = 0;
    // Reloads the base data the lookup view shows.
    virtual void Refresh() = 0;
};

} // namespace zpp
