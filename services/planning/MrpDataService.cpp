#include "MrpDataService.h"

#include "PriceService.h"
#include "component/host/Access.h"
#include "services/access/Rights.h"

#include "component/host/Lang.h"
#include "platform/records/Values.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>

namespace zpp::services {

namespace {
// The transaction type under which the bill window opens purchase orders.
constexpr int kPurchaseOrderTranType = 71;
} // namespace

QString MrpDataService::GetSysInfo(const QString&, const QString& section, const QString& key) {
    return m_session->Db
        ->Scalar(QStringLiteral("SELECT value FROM system_settings WHERE section = ? AND key = ?"),
                 {section, key})
        .toString();
}

QString MrpDataService::GetSupplierNameByNumber(const QString&, QString& supplierCode) {
    return m_session->Db->Scalar(QStringLiteral("SELECT name FROM suppliers WHERE code = ?"), {supplierCode})
        .toString();
}

bool MrpDataService::IsSupplierright(const QString&, QString& supplierCode, const QString& userId) {
    const qint16 user = userId.trimmed().isEmpty() ? m_session->UserId : values::ToInt16(userId);
    const QVariant mayUse = m_session->Db->Scalar(
        QStringLiteral("SELECT COALESCE(r.may_use, 1) FROM suppliers s"
                       " LEFT JOIN user_supplier_rights r ON r.supplier_code = s.code AND r.user_id = ?"
                       " WHERE s.code = ?"),
        {user, supplierCode});
    return mayUse.isValid() && mayUse.toInt() == 1;
}

namespace {
// The first key of the advisory locks that stand for suppliers' credit lines.
constexpr int kSupplierCreditLock = 0x7a70;
} // namespace

QString CreditOverrun::Figures() const {
    if (std::isnan(Amount))
        return {};
    return GetLangString(QStringLiteral("：信用额度 %1，未结金额 %2"))
        .arg(QString::number(Line, 'f', 2), QString::number(Amount, 'f', 2));
}

std::optional<CreditOverrun> RefusingCreditOverrun(const store::Store& db, const QVariant& supplierId,
                                                   double adding, bool hiddenPrices) {
    const QString refusing = QStringLiteral("SELECT code, name, credit_line FROM suppliers WHERE id = ?"
                                            " AND credit_control = '3' AND credit_line IS NOT NULL");
    QSqlQuery line = db.Exec(refusing, {supplierId});
    if (!line.next())
        return std::nullopt;
    // Every writer that checks a refusing supplier's credit takes this lock, so two cannot both
    // pass one line; a lock of its own, as users may not write (and so not lock) supplier rows.
    // Suppliers without such a line are not locked: their orders need not wait for each other.
    // SQLite's write transaction already keeps the other writers out.
    if (!db.IsSQLite()) {
        line.finish();
        db.Exec(QStringLiteral("SELECT pg_advisory_xact_lock(CAST(? AS INTEGER), CAST(? AS INTEGER))"),
                {kSupplierCreditLock, supplierId});
        line = db.Exec(refusing, {supplierId});
        if (!line.next())
            return std::nullopt;
    }
    CreditOverrun over{line.value(0).toString(), line.value(1).toString(), line.value(2).toDouble(), 0};
    if (hiddenPrices) {
        // What is being added is written already: the server sums the open orders.
        if (!db.Scalar(QStringLiteral("SELECT zpp_credit_exceeded(CAST(? AS INTEGER))"), {supplierId})
                 .toBool())
            return std::nullopt;
        over.Amount = std::nan("");
        return over;
    }
    over.Amount = db.Scalar(QStringLiteral("SELECT COALESCE(SUM(l.qty * l.price), 0) FROM purchase_orders o"
                                           " JOIN purchase_order_lines l ON l.order_id = o.id"
                                           " WHERE o.supplier_id = ? AND o.closed = 0"),
                            {supplierId})
                      .toDouble() +
                  adding;
    if (std::round(over.Amount * 100) <= std::round(over.Line * 100))
        return std::nullopt;
    return over;
}

namespace {
// An entry a push line takes, and how much the list pushes of it.
struct TakenEntry {
    EntryKey Entry;
    double Qty;
};

// The plan and entry IDs as two array texts, for the server.
std::pair<QString, QString> EntryArrays(const std::vector<TakenEntry>& entries) {
    QString plans(u'{'), ids(u'{');
    for (const TakenEntry& t : entries) {
        if (plans.size() > 1) {
            plans += u',';
            ids += u',';
        }
        plans += QString::number(t.Entry.first);
        ids += QString::number(t.Entry.second);
    }
    return {plans + u'}', ids + u'}'};
}

// Whether every entry is an open one of the supplier and the list pushes of each (an entry named
// twice: the sum) at least what is saved to push of it, never more than is left: a push of the
// saved quantities already over the line, this push is over it too.
bool PushesWhatIsSavedOrMore(const store::Store& db, qint32 supplier, std::vector<TakenEntry>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const TakenEntry& a, const TakenEntry& b) { return a.Entry < b.Entry; });
    std::vector<TakenEntry> pushed;
    for (const TakenEntry& t : entries) {
        if (!pushed.empty() && pushed.back().Entry == t.Entry)
            pushed.back().Qty += t.Qty;
        else
            pushed.push_back(t);
    }
    const auto [plans, ids] = EntryArrays(pushed);
    QSqlQuery q = db.Exec(
        QStringLiteral("SELECT e.plan_id, e.entry_id, greatest(0, least(e.push_qty, e.unordered_qty))"
                       " FROM unnest(CAST(? AS INTEGER[]), CAST(? AS INTEGER[])) AS u(plan_id, entry_id)"
                       " JOIN plan_entries e ON e.plan_id = u.plan_id AND e.entry_id = u.entry_id"
                       " WHERE e.supplier_id = ? AND btrim(e.close_mark) = '' ORDER BY 1, 2"),
        {plans, ids, supplier});
    size_t k = 0;
    for (; q.next(); ++k) {
        const double saved = q.value(2).toDouble();
        if (k == pushed.size() || pushed[k].Entry != EntryKey{q.value(0).toInt(), q.value(1).toInt()} ||
            pushed[k].Qty < saved - 1e-9 * std::max(1.0, saved))
            return false;
    }
    return k == pushed.size();
}
} // namespace

bool MrpDataService::CheckCreditDegrees(const QString&, RecordListPtr& pushList, QString& controlType,
                                        QString& suppliers) {
    if (!pushList)
        return true;
    // What this push adds per supplier, in the order the suppliers first appear.
    QVector<qint32> order;
    QSet<qint32> seen;
    QHash<qint32, double> pushed;
    // A user without the price right sent no prices; their lines are ordered at the stored ones.
    const bool storedPrices = !Holds(*m_session, rights::Price);
    const bool hidden = StoreHidesPrices(*m_session);
    const store::Store& db = *m_session->Db;
    // With the prices hidden, the entries each supplier's lines take and how much of each.
    QHash<qint32, std::vector<TakenEntry>> taken;
    // Lines at stored prices wait for their prices a block at a time, asked at once; what they add
    // is added in list order all the same.
    constexpr size_t kBlock = 300;
    std::vector<std::pair<qint32, double>> waiting; // supplier, quantity
    std::vector<EntryKey> entries;
    auto addWaiting = [&] {
        const std::vector<double> prices = StoredEntryPrices(db, entries);
        for (size_t k = 0; k < waiting.size(); ++k)
            pushed[waiting[k].first] += waiting[k].second * prices[k];
        waiting.clear();
        entries.clear();
    };
    // Read a row at a time, leaving the list as it was: a list over a row source would otherwise
    // keep every line as a record.
    for (int i = 1; i <= pushList->Count(); ++i) {
        const RecordPtr r = pushList->Peek(i);
        if (!r)
            continue;
        const qint32 supplier = values::ToInt32(values::Val(r->Get(QStringLiteral("FSupplyID"), 0)));
        if (supplier <= 0)
            continue;
        if (!seen.contains(supplier)) {
            seen.insert(supplier);
            order << supplier;
        }
        const double qty = values::Val(r->Get(QStringLiteral("FPushQty"), 0));
        if (hidden) {
            std::vector<TakenEntry>& of = taken[supplier];
            const RecordListPtr members = values::Val(r->Get(QStringLiteral("FIsMerge"), 0)) == 1
                                              ? r->Object(QStringLiteral("EntryDataVct"))
                                              : nullptr;
            if (members && members->Count() > 0) {
                for (int m = 1; m <= members->Count(); ++m)
                    if (const RecordPtr member = members->Peek(m))
                        of.push_back({PushLineEntry(*member),
                                      values::Val(member->Get(QStringLiteral("FPushQty"), 0))});
            } else {
                of.push_back({PushLineEntry(*r), qty});
            }
        } else if (storedPrices) {
            entries.push_back(PushLineEntry(*r));
            waiting.emplace_back(supplier, qty);
            if (waiting.size() == kBlock)
                addWaiting();
        } else {
            pushed[supplier] += qty * values::Val(r->Get(QStringLiteral("FPrice"), 0));
        }
    }
    addWaiting();
    QSqlQuery line = db.Prepare(QStringLiteral("SELECT code, name, credit_line, credit_control FROM suppliers"
                                               " WHERE id = ? AND credit_line IS NOT NULL"
                                               " AND credit_control IN ('2', '3')"));
    QSqlQuery open =
        db.Prepare(QStringLiteral("SELECT COALESCE(SUM(l.qty * l.price), 0) FROM purchase_orders o"
                                  " JOIN purchase_order_lines l ON l.order_id = o.id"
                                  " WHERE o.supplier_id = ? AND o.closed = 0"));
    QString strictest;
    QStringList over;
    for (qint32 supplier : order) {
        db.Run(line, {supplier});
        if (!line.next())
            continue;
        const QString code = line.value(0).toString(), name = line.value(1).toString();
        const double creditLine = line.value(2).toDouble();
        const QString control = line.value(3).toString();
        line.finish();
        if (hidden) {
            // The server sums what is saved to push of these entries, not what the list says.
            std::vector<TakenEntry>& entries = taken[supplier];
            const auto [plans, ids] = EntryArrays(entries);
            if (!db.Scalar(
                       QStringLiteral("SELECT zpp_credit_exceeded(CAST(? AS INTEGER), CAST(? AS INTEGER[]),"
                                      " CAST(? AS INTEGER[]))"),
                       {supplier, plans, ids})
                     .toBool())
                continue;
            // Refused in the list only when this push is sure to be over too; otherwise the push
            // decides, as it checks what it writes.
            if (control == u"3" && !PushesWhatIsSavedOrMore(db, supplier, entries))
                continue;
            over << GetLangString(QStringLiteral("供应商 %1 %2：超过信用额度")).arg(code, name);
            if (control > strictest)
                strictest = control;
            continue;
        }
        db.Run(open, {supplier});
        open.next();
        const double amount = open.value(0).toDouble() + pushed.value(supplier);
        open.finish();
        // Cents decide, so an amount that only exceeds the line by rounding noise passes.
        if (std::round(amount * 100) <= std::round(creditLine * 100))
            continue;
        over << GetLangString(QStringLiteral("供应商 %1 %2：信用额度 %3，未结金额 %4"))
                    .arg(code, name, QString::number(creditLine, 'f', 2), QString::number(amount, 'f', 2));
        if (control > strictest)
            strictest = control;
    }
    if (over.isEmpty())
        return true;
    controlType = strictest;
    suppliers = over.join(QStringLiteral("\r\n"));
    return false;
}

RecordSetPtr MrpDataService::getPOOrderBills(const QString&) {
    auto orders = std::make_shared<RecordSet>(
        QStringList{QStringLiteral("FInterID"), QStringLiteral("FBillNo"), QStringLiteral("FDate"),
                    QStringLiteral("FSupplyID"), QStringLiteral("FSupplyName"), QStringLiteral("FTranType"),
                    QStringLiteral("FStatus")});
    QSqlQuery q = m_session->Db->Exec(QStringLiteral(
        "SELECT o.id, o.bill_no, o.bill_date, o.supplier_id, s.name, o.closed FROM purchase_orders o"
        " JOIN suppliers s ON s.id = o.supplier_id ORDER BY o.id"));
    while (q.next())
        orders->AddRow({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
                        q.value(3).toInt(), q.value(4).toString(), kPurchaseOrderTranType,
                        q.value(5).toInt()});
    return orders;
}

RecordListPtr MrpDataService::RefreshPOOrderBill(const QString&, QString& orderIds) {
    QVector<qint64> ids;
    for (const QString& part : orderIds.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 id = part.trimmed().toLongLong(&ok);
        if (!ok || id <= 0)
            throw Error(GetLangString(QStringLiteral("采购订单内码列表“%1”无效：%2"))
                            .arg(orderIds.left(80), part.trimmed().left(40)));
        ids << id;
    }
    auto created = RecordList::Create();
    QSqlQuery q =
        m_session->Db->Prepare(QStringLiteral("SELECT s.name, o.bill_no, o.bill_date FROM purchase_orders o"
                                              " JOIN suppliers s ON s.id = o.supplier_id WHERE o.id = ?"));
    for (qint64 id : ids) {
        m_session->Db->Run(q, {id});
        if (q.next()) {
            auto r = KeyedRecord::Create();
            r->Set(QStringLiteral("FSupplyName"), q.value(0).toString());
            r->Set(QStringLiteral("FBillNO"), q.value(1).toString());
            r->Set(QStringLiteral("FDate"), q.value(2).toString());
            r->Set(QStringLiteral("FInterID"), id);
            created->Add(std::move(r));
        }
        q.finish();
    }
    return created;
}

QDate MrpDataService::GetNewBillDate(bool& today) {
    if (!today) {
        const QVariant last = m_session->Db->Scalar(
            QStringLiteral(
                "SELECT bill_date FROM purchase_orders WHERE created_by = ? ORDER BY id DESC LIMIT 1"),
            {m_session->UserId});
        if (const auto date = values::ParseDate(last))
            return *date;
    }
    return QDate::currentDate();
}

} // namespace zpp::services
