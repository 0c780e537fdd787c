#pragma once

#include "component/host/HostObjectFactory.h"

namespace zpp {

// ZELClassLinkOld.OldDataSrv: the data source of the linked-bill lookup.
class OldDataSrv : public ServiceObject {
public:
    qint32 ClassTypeID = 0;
};

// ZELClassLookUp.BillLookUp: shows the bills linked upstream (0) or downstream (1).
class BillLookUp : public ServiceObject {
public:
    qint32 ClassTypeID = 0;
    qint32 ClassEntryID = 0;
    // The list's row of the entry, for the window's title; 0 when not known.
    qint32 GridRow = 0;
    std::shared_ptr<OldDataSrv> dataSrv;
    virtual void ConnectView(qint32& direction, qint32& interId) = 0;
};

} // namespace zpp
