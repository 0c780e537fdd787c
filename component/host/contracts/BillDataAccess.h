#pragma once

#include "component/host/HostObjectFactory.h"
#include "platform/records/KeyedRecord.h"

namespace zpp {

// ZELBillDataAccess.GetData: supplier price lookup; the answer's "AuxPrice" is the price.
class BillDataAccess : public ServiceObject {
public:
    virtual RecordPtr GetSupplyInfo(const QString& props, RecordPtr& request) = 0;
};

} // namespace zpp
