#pragma once

#include "services/store/Store.h"

#include <QDate>
#include <QVector>

namespace zpp::services {

// A purchase order line made from a plan entry.
struct DownstreamBill {
    qint64 OrderId = 0;
    QString BillNo, SupplyNumber, SupplyName, ItemNumber, ItemName;
    QDate Date;
    int LineNo = 0;
    double TakenQty = 0, LineQty = 0;
    int QtyDecimals = 4;
    bool Closed = false;
};

// A demand a plan entry came from.
struct UpstreamBill {
    QString Type; // "MRP", "SO" or "FC"
    QString BillNo;
    QDate Date;
    double Qty = 0;
};

// The bill number of the plan the entry belongs to; fails with an Error for an unknown entry.
QString PlanBillNo(const store::Store& db, qint32 planId, qint32 entryId);
QVector<DownstreamBill> DownstreamBills(const store::Store& db, qint32 planId, qint32 entryId);
QVector<UpstreamBill> UpstreamBills(const store::Store& db, qint32 planId, qint32 entryId);
// The user's caption of a source type ("MRP运算", "销售订单", "预测单").
QString SourceTypeCaption(const QString& type);

} // namespace zpp::services
