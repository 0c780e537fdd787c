#pragma once

#include "component/host/HostObjectFactory.h"
#include "platform/records/KeyedRecord.h"
#include "platform/records/RecordSet.h"

namespace zpp {

// ZELBills.Bills: the high-price warning of a push and the purchase order window.
class Bills : public ServiceObject {
public:
    // False when the user stops the push; row then names the grid row to show.
    virtual bool ShowPOHighPriceForm(const QString& props, RecordListPtr& pushList, qint16& row) = 0;

    // The order window: set the list and options, then Show.
    RecordSetPtr ListRecordset;
    qint32 NewBillTransType = 0;
    QString SystemName;
    RecordListPtr ListRSFieldVect;
    qint32 ShowForModeExt = 0;
    qint32 TheSaleMode = 0;
    qint32 CallerListID = 0;
    qint32 ShowMode = 0;
    virtual void SetOpt(qint32 userId, QString& userName) = 0;
    virtual void Show(qint32 classTypeId, qint32 mode) = 0;
    virtual bool billValueChanged() const = 0;
};

} // namespace zpp
