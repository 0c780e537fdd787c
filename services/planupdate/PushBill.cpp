#include "BillNumbers.h"
#include "Pusher.h"
#include "component/host/Access.h"
#include "component/host/LongWork.h"
#include "component/host/PlanFields.h"
#include "platform/records/Values.h"
#include "services/access/Rights.h"

#include <QDateTime>
#include <QUuid>

namespace zpp::services {

namespace pushing {

RecordListPtr Pusher::Write(QString& orderIds) {
    Restart();
    SettleEntries();
    for (int i = 0; i < TakeCount(); ++i) {
        const Take& t = m_takes[TakeAt(i)];
        // The quantity as the list shows the line, read from it again: lines keep no texts.
        if (m_lines[t.Line].Qty <= 0)
            Fail(t, BillNo(t),
                 Tr("下推数量必须大于 0：%1")
                     .arg(Shown(m_list->Peek(int(m_lines[t.Line].Position))->Get(kPushQty, {}))));
    }
    CheckSuppliers();
    CheckHighPrices();
    if (!m_hidden)
        CheckCredit();

    // Orders go in under a provisional number of their own; the real numbers are taken last
    // (below), so the counter every push shares is held for the end of a push only.
    const QString provisional = QUuid::createUuid().toString(QUuid::WithoutBraces);
    for (Order& o : m_orders) {
        o.BillNo = QStringLiteral("~%1-%2").arg(provisional).arg(&o - m_orders.data());
        QSqlQuery insert =
            Exec(QStringLiteral(
                     "INSERT INTO purchase_orders (bill_no, bill_date, supplier_id, created_by, created_at)"
                     " VALUES (?, ?, ?, ?, ?) RETURNING id"),
                 {o.BillNo, values::DisplayDate(m_billDate), o.Supplier, m_userId,
                  QDateTime::currentDateTime().toString(Qt::ISODateWithMs)});
        insert.next();
        o.Id = insert.value(0).toLongLong();
        insert.finish();
    }
    WriteLines();
    WriteSources();
    WriteEntries();

    if (m_hidden) {
        for (const Order& o : m_orders) {
            if (m_hook)
                m_hook();
            const int differing =
                m_db.Scalar(QStringLiteral("SELECT zpp_price_order_lines(?)"), {o.Id}).toInt();
            if (differing > 0) {
                const Take& t = FirstTakeOfLine(int(&o - m_orders.data()), differing);
                Fail(t, BillNo(t), Tr("合并为一行的分录单价不同，不能合并下推，请分开下推"));
            }
        }
        CheckCredit();
    }
    for (Order& o : m_orders) {
        o.BillNo = NextPurchaseOrderBillNo(m_db, m_hook);
        Exec(QStringLiteral("UPDATE purchase_orders SET bill_no = ? WHERE id = ?"), {o.BillNo, o.Id});
    }

    auto created = RecordList::Create();
    QStringList ids;
    for (const Order& o : m_orders) {
        auto r = KeyedRecord::Create();
        r->Set(QStringLiteral("FSupplyName"), o.SupplierName);
        r->Set(QStringLiteral("FBillNO"), o.BillNo);
        r->Set(QStringLiteral("FDate"), values::DisplayDate(m_billDate));
        r->Set(QStringLiteral("FInterID"), o.Id);
        created->Add(std::move(r));
        ids << QString::number(o.Id);
    }
    orderIds = ids.join(u',');
    return created;
}

void Pusher::Fail(const Take& t, const QString& shownBillNo, const QString& reason) const {
    QString billNo = shownBillNo;
    if (billNo.isEmpty() && t.Plan > 0)
        billNo = m_db.Scalar(QStringLiteral("SELECT bill_no FROM purchase_plans WHERE id = ?"), {t.Plan})
                     .toString();
    if (billNo.isEmpty())
        billNo = QString::number(t.Plan);
    throw Error(EntryFault(t.GridRow, billNo, QString::number(t.Entry), reason));
}

void Pusher::Run(QSqlQuery& q, const QVariantList& binds) const {
    StopIfAsked();
    if (m_hook)
        m_hook();
    m_db.Run(q, binds);
}

QSqlQuery Pusher::Exec(const QString& sql, const QVariantList& binds) const {
    StopIfAsked();
    if (m_hook)
        m_hook();
    return m_db.Exec(sql, binds);
}

void Pusher::StopIfAsked() {
    if (!longwork::KeepGoing())
        throw Cancelled(Tr("下推已取消，没有生成任何订单"));
}

} // namespace pushing

RecordListPtr PurchasePlanUpdateService::PushBill(const QString&, RecordListPtr& pushList, qint16 userId,
                                                  QString& orderIds, QDate& newBillDate) {
    if (!pushList || pushList->Count() == 0)
        return nullptr;
    Require(*m_session, rights::Push);
    if (!newBillDate.isValid())
        newBillDate = QDate::currentDate();
    const store::Store& db = *m_session->Db;
    // The orders are the log-in's, and its supplier rights apply, whatever user the caller names.
    Q_UNUSED(userId);
    pushing::Pusher pusher(db, m_session->UserId, newBillDate, m_pushHook, !Holds(*m_session, rights::Price),
                           StoreHidesPrices(*m_session));
    pusher.Read(*pushList);
    if (pusher.Empty())
        return nullptr;
    QString ids;
    // The record of the push goes in with its orders: there is one exactly when they were made.
    RecordListPtr created = db.InTransaction([&] {
        RecordListPtr orders = pusher.Write(ids);
        WriteLogRecord(*m_session, logs::Push);
        return orders;
    });
    orderIds = ids;
    return created;
}

} // namespace zpp::services
