#include "LinkedBills.h"

#include "component/host/Lang.h"
#include "platform/records/Values.h"

namespace zpp::services {

namespace {
QDate ToDate(const QVariant& v) {
    return v.isNull() ? QDate() : values::ParseDate(v).value_or(QDate());
}
} // namespace

QString PlanBillNo(const store::Store& db, qint32 planId, qint32 entryId) {
    QSqlQuery q = db.Exec(
        QStringLiteral("SELECT p.bill_no FROM plan_entries e JOIN purchase_plans p ON p.id = e.plan_id"
                       " WHERE e.plan_id = ? AND e.entry_id = ?"),
        {planId, entryId});
    if (!q.next())
        throw Error(
            GetLangString(QStringLiteral("计划单分录不存在（内码 %1，分录 %2）")).arg(planId).arg(entryId));
    return q.value(0).toString();
}

QVector<DownstreamBill> DownstreamBills(const store::Store& db, qint32 planId, qint32 entryId) {
    QSqlQuery q = db.Exec(
        QStringLiteral(
            "SELECT o.id, o.bill_no, o.bill_date, sp.code, sp.name, l.line_no, i.code, i.name, s.qty, l.qty,"
            " i.qty_decimals, o.closed"
            " FROM purchase_order_line_sources s"
            " JOIN purchase_order_lines l ON l.order_id = s.order_id AND l.line_no = s.line_no"
            " JOIN purchase_orders o ON o.id = s.order_id"
            " JOIN suppliers sp ON sp.id = o.supplier_id JOIN items i ON i.id = l.item_id"
            " WHERE s.plan_id = ? AND s.entry_id = ? ORDER BY o.bill_date, o.bill_no, l.line_no"),
        {planId, entryId});
    QVector<DownstreamBill> bills;
    while (q.next()) {
        DownstreamBill b;
        b.OrderId = q.value(0).toLongLong();
        b.BillNo = q.value(1).toString();
        b.Date = ToDate(q.value(2));
        b.SupplyNumber = q.value(3).toString();
        b.SupplyName = q.value(4).toString();
        b.LineNo = q.value(5).toInt();
        b.ItemNumber = q.value(6).toString();
        b.ItemName = q.value(7).toString();
        b.TakenQty = q.value(8).toDouble();
        b.LineQty = q.value(9).toDouble();
        b.QtyDecimals = q.value(10).toInt();
        b.Closed = q.value(11).toInt() != 0;
        bills << b;
    }
    return bills;
}

QVector<UpstreamBill> UpstreamBills(const store::Store& db, qint32 planId, qint32 entryId) {
    QSqlQuery q =
        db.Exec(QStringLiteral("SELECT source_type, source_no, source_date, qty FROM plan_entry_sources"
                               " WHERE plan_id = ? AND entry_id = ? ORDER BY seq"),
                {planId, entryId});
    QVector<UpstreamBill> bills;
    while (q.next())
        bills << UpstreamBill{q.value(0).toString(), q.value(1).toString(), ToDate(q.value(2)),
                              q.value(3).toDouble()};
    return bills;
}

QString SourceTypeCaption(const QString& type) {
    if (type == u"MRP")
        return GetLangString(QStringLiteral("MRP运算"));
    if (type == u"SO")
        return GetLangString(QStringLiteral("销售订单"));
    if (type == u"FC")
        return GetLangString(QStringLiteral("预测单"));
    return type;
}

} // namespace zpp::services
