#pragma once

#include "component/host/HostObjectFactory.h"

#include <QVariant>

namespace zpp {

// ZELPropsMgr.ShareProps: properties kept per process by the host.
class ShareProps : public ServiceObject {
public:
    // The value of a property for a process; empty when none is set.
    virtual QVariant GetProperty(qint64 processId, const QString& name) = 0;
};

} // namespace zpp
