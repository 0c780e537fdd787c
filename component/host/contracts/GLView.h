#pragma once

#include "component/host/HostObjectFactory.h"
#include "platform/records/KeyedRecord.h"

#include <optional>

namespace zpp {

// The base-data record a lookup returns.
struct LookupRecord {
    qint32 ID = 0;
    QString Number;
    QString Name;
};

// What a lookup window answers: ReturnObject is absent when the user chose nothing.
struct LookupResult {
    bool ReturnOK = false;
    std::optional<LookupRecord> ReturnObject;
};

// ZELEBCGLView.GLView: the base-data lookup window (4 items, 8 suppliers).
class GLView : public ServiceObject {
public:
    virtual std::shared_ptr<LookupResult> ItemLookUp(qint32& baseDataType, QString& search, QString& extra,
                                                     RecordPtr& options) = 0;
};

} // namespace zpp
