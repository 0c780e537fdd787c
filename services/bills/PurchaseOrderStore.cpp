#include "PurchaseOrderStore.h"

#include "component/host/Access.h"
#include "component/host/Lang.h"
#include "platform/records/Amounts.h"
#include "platform/records/Values.h"
#include "services/access/Rights.h"
#include "services/planning/HighPrice.h"
#include "services/planning/MrpDataService.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace zpp::services {

namespace {
// Quantities are doubles; a difference below this is rounding, not an edit.
constexpr double kEpsilon = 1e-9;

bool Differs(double a, double b) {
    return std::abs(a - b) > kEpsilon * std::max(1.0, std::max(std::abs(a), std::abs(b)));
}

QDate ToDate(const QVariant& v) {
    return v.isNull() ? QDate() : values::ParseDate(v).value_or(QDate());
}

QString QtyText(double qty, int decimals) {
    return values::FormatNumber(qty, decimals);
}

} // namespace

double ShownValue(double value, int decimals) {
    return values::FormatNumber(value, decimals).toDouble();
}

OrderAmounts LineAmounts(const OrderLine& line) {
    // From the figures as the order shows them, so a supplier can redo every sum from the paper.
    const double qty = ShownValue(line.Qty, line.QtyDecimals),
                 price = ShownValue(line.Price, line.PriceDecimals);
    const double discountRate = ShownValue(line.DiscountRate, kRateDecimals),
                 taxRate = ShownValue(line.TaxRate, kRateDecimals);
    return values::AmountOf(qty, price, discountRate, taxRate);
}

OrderAmounts OrderTotals(const QVector<OrderLine>& lines) {
    OrderAmounts total;
    for (const OrderLine& line : lines) {
        const OrderAmounts a = LineAmounts(line);
        total.WithTax += a.WithTax;
        total.WithoutTax += a.WithoutTax;
        total.Tax += a.Tax;
        total.Discount += a.Discount;
    }
    // Sums of cents drift in binary; rounding again keeps them whole cents.
    return {values::RoundCents(total.WithTax), values::RoundCents(total.WithoutTax),
            values::RoundCents(total.Tax), values::RoundCents(total.Discount)};
}

std::optional<QString> CheckLine(const OrderLine& line, const QDate& orderDate) {
    const QString at = GetLangString(QStringLiteral("第 %1 行")).arg(line.LineNo);
    if (!std::isfinite(line.Qty) || line.Qty < 0)
        return at + GetLangString(QStringLiteral("数量不能小于 0"));
    if (!std::isfinite(line.Price) || line.Price < 0)
        return at + GetLangString(QStringLiteral("单价不能小于 0"));
    if (!line.FinishDate.isValid())
        return at + GetLangString(QStringLiteral("交货日期不是有效日期"));
    if (line.FinishDate < orderDate)
        return at + GetLangString(QStringLiteral("交货日期不能早于订单日期 %1"))
                        .arg(values::DisplayDate(orderDate));
    return std::nullopt;
}

PurchaseOrder PurchaseOrderStore::Load(qint64 orderId) const {
    Require(*m_session, rights::Query);
    QSqlQuery head = m_db->Exec(
        // The buyer by full name, by log-in when none was given.
        QStringLiteral("SELECT o.bill_no, o.bill_date, s.code, s.name,"
                       " COALESCE(NULLIF(TRIM(u.full_name), ''), u.name), o.closed, o.supplier_id"
                       " FROM purchase_orders o JOIN suppliers s ON s.id = o.supplier_id"
                       " LEFT JOIN users u ON u.id = o.created_by WHERE o.id = ?"),
        {orderId});
    if (!head.next())
        throw Error(GetLangString(QStringLiteral("采购订单 %1 不存在")).arg(orderId));
    PurchaseOrder order;
    order.Id = orderId;
    order.BillNo = head.value(0).toString();
    order.Date = ToDate(head.value(1));
    order.SupplyNumber = head.value(2).toString();
    order.SupplyName = head.value(3).toString();
    order.Buyer = head.value(4).toString();
    order.Closed = head.value(5).toInt() != 0;
    order.SupplierId = head.value(6).toInt();
    order.PricesShown = Holds(*m_session, rights::Price);
    order.MayEdit = Holds(*m_session, rights::Push) && ForbiddenSupplier(*m_session, head.value(6)).isEmpty();

    // The price column stays unread for a user without the price right.
    QSqlQuery lines = m_db->Exec(
        QStringLiteral("SELECT l.line_no, i.code, i.name, un.name, l.qty,") +
            (order.PricesShown ? QStringLiteral(" l.price,") : QStringLiteral(" 0,")) +
            QStringLiteral(" l.discount_rate, l.tax_rate,"
                           " l.finish_date, l.memo, i.qty_decimals, i.price_decimals, l.row_version, "
                           "l.item_id, l.unit_id, i.model"
                           " FROM purchase_order_lines l JOIN items i ON i.id = l.item_id"
                           " JOIN units un ON un.id = l.unit_id WHERE l.order_id = ? ORDER BY l.line_no"),
        {orderId});
    QHash<int, int> indexOf;
    while (lines.next()) {
        OrderLine line;
        line.LineNo = lines.value(0).toInt();
        line.ItemNumber = lines.value(1).toString();
        line.ItemName = lines.value(2).toString();
        line.UnitName = lines.value(3).toString();
        line.Qty = lines.value(4).toDouble();
        line.Price = order.PricesShown ? lines.value(5).toDouble() : 0;
        line.DiscountRate = lines.value(6).toDouble();
        line.TaxRate = lines.value(7).toDouble();
        line.FinishDate = ToDate(lines.value(8));
        line.Memo = lines.value(9).toString();
        line.QtyDecimals = lines.value(10).toInt();
        line.PriceDecimals = lines.value(11).toInt();
        line.Version = lines.value(12).toLongLong();
        line.ItemId = lines.value(13).toInt();
        line.UnitId = lines.value(14).toInt();
        line.ItemModel = lines.value(15).toString();
        indexOf.insert(line.LineNo, order.Lines.size());
        order.Lines << line;
    }
    QSqlQuery sources = m_db->Exec(
        QStringLiteral("SELECT s.line_no, p.bill_no, s.plan_id, s.entry_id, s.qty"
                       " FROM purchase_order_line_sources s JOIN purchase_plans p ON p.id = s.plan_id"
                       " WHERE s.order_id = ? ORDER BY s.line_no, s.plan_id, s.entry_id"),
        {orderId});
    while (sources.next()) {
        const auto at = indexOf.constFind(sources.value(0).toInt());
        if (at == indexOf.constEnd())
            continue;
        order.Lines[*at].Sources << LineSource{sources.value(1).toString(), sources.value(2).toInt(),
                                               sources.value(3).toInt(), sources.value(4).toDouble()};
    }
    return order;
}

QVector<int> PurchaseOrderStore::HighPricedLines(const PurchaseOrder& loaded,
                                                 const QVector<OrderLine>& edited) const {
    return HighPriced(loaded, edited, loaded.SupplierId);
}

QVector<int> PurchaseOrderStore::HighPriced(const PurchaseOrder& loaded, const QVector<OrderLine>& edited,
                                            const QVariant& supplierId) const {
    QVector<int> above;
    const double tolerance = HighPriceTolerance(*m_db);
    for (const OrderLine& line : edited) {
        const auto was = std::find_if(loaded.Lines.begin(), loaded.Lines.end(),
                                      [&](const OrderLine& l) { return l.LineNo == line.LineNo; });
        // Only a raise is asked about: a price the order already had was allowed when it was pushed.
        if (was == loaded.Lines.end() || !Differs(was->Price, line.Price) || line.Price < was->Price)
            continue;
        const auto limit =
            HighPriceLimit(*m_db, supplierId.toInt(), line.ItemId, line.UnitId, loaded.Date, tolerance);
        if (limit && AboveLimit(line.Price, limit->Allowed))
            above << line.LineNo;
    }
    return above;
}

void PurchaseOrderStore::Save(const PurchaseOrder& loaded, const QVector<OrderLine>& edited,
                              const QVector<int>& confirmedHighPrices) const {
    Require(*m_session, rights::Push);
    struct Change {
        const OrderLine* Line;
        bool Qty, Price, Date;
    };
    QVector<Change> changed;
    for (const OrderLine& line : edited) {
        const auto was = std::find_if(loaded.Lines.begin(), loaded.Lines.end(),
                                      [&](const OrderLine& l) { return l.LineNo == line.LineNo; });
        if (was == loaded.Lines.end())
            throw Error(GetLangString(QStringLiteral("采购订单 %1 没有第 %2 行"))
                            .arg(loaded.BillNo)
                            .arg(line.LineNo));
        const Change change{&line, Differs(was->Qty, line.Qty), Differs(was->Price, line.Price),
                            was->FinishDate != line.FinishDate};
        if (!change.Qty && !change.Price && !change.Date)
            continue;
        // A user who never saw the price cannot have set it.
        if (change.Price)
            Require(*m_session, rights::Price);
        if (const auto problem = CheckLine(line, loaded.Date))
            throw Error(*problem);
        changed << change;
    }
    if (changed.isEmpty())
        return;
    const QString forUpdate = m_db->IsSQLite() ? QString() : QStringLiteral(" FOR UPDATE");
    m_db->InTransaction([&] {
        // Nothing changes an order's head once it is written: its lines are what is locked.
        QSqlQuery order = m_db->Exec(
            QStringLiteral("SELECT closed, supplier_id FROM purchase_orders WHERE id = ?"), {loaded.Id});
        if (!order.next())
            throw Error(GetLangString(QStringLiteral("采购订单 %1 不存在")).arg(loaded.BillNo));
        if (order.value(0).toInt() != 0)
            throw Error(GetLangString(QStringLiteral("采购订单 %1 已关闭，不能修改")).arg(loaded.BillNo));
        if (const QString code = ForbiddenSupplier(*m_session, order.value(1)); !code.isEmpty())
            throw Error(SupplierRefusal(code));
        // Everything the save will change is locked before anything is written, in the order
        // every writer keeps: the lines by number, then all their plan entries by plan and entry.
        std::sort(changed.begin(), changed.end(),
                  [](const Change& a, const Change& b) { return a.Line->LineNo < b.Line->LineNo; });
        for (const Change& change : changed) {
            QSqlQuery now = m_db->Exec(
                QStringLiteral(
                    "SELECT row_version FROM purchase_order_lines WHERE order_id = ? AND line_no = ?") +
                    forUpdate,
                {loaded.Id, change.Line->LineNo});
            if (!now.next())
                throw Error(GetLangString(QStringLiteral("采购订单 %1 没有第 %2 行"))
                                .arg(loaded.BillNo)
                                .arg(change.Line->LineNo));
            if (now.value(0).toLongLong() != change.Line->Version)
                throw Error(
                    GetLangString(QStringLiteral("采购订单 %1 第 %2 行已被其他用户修改，请关闭后重新打开"))
                        .arg(loaded.BillNo)
                        .arg(change.Line->LineNo));
        }
        if (!m_db->IsSQLite()) {
            QStringList lineNos;
            for (const Change& change : changed)
                if (change.Qty)
                    lineNos << QString::number(change.Line->LineNo);
            if (!lineNos.isEmpty())
                m_db->Exec(
                    QStringLiteral("SELECT e.plan_id FROM plan_entries e WHERE (e.plan_id, e.entry_id) IN"
                                   " (SELECT plan_id, entry_id FROM purchase_order_line_sources"
                                   " WHERE order_id = ? AND line_no IN (") +
                        lineNos.join(u',') + QStringLiteral(")) ORDER BY e.plan_id, e.entry_id FOR UPDATE"),
                    {loaded.Id});
        }
        for (const Change& change : changed) {
            const OrderLine* line = change.Line;
            QSqlQuery now = m_db->Exec(
                QStringLiteral("SELECT qty FROM purchase_order_lines WHERE order_id = ? AND line_no = ?") +
                    forUpdate,
                {loaded.Id, line->LineNo});
            if (!now.next())
                throw Error(GetLangString(QStringLiteral("采购订单 %1 没有第 %2 行"))
                                .arg(loaded.BillNo)
                                .arg(line->LineNo));
            // The store's quantity, not the loaded one: another window may have saved this line since.
            // Only what this window changed is written: another window's quantity or price stays.
            QStringList sets;
            QVariantList binds;
            if (change.Qty) {
                const double delta = line->Qty - now.value(0).toDouble();
                if (Differs(delta, 0))
                    MoveEntryQty(loaded.Id, *line, delta);
                sets << QStringLiteral("qty = ?");
                binds << line->Qty;
            }
            if (change.Price) {
                sets << QStringLiteral("price = ?");
                binds << line->Price;
            }
            if (change.Date) {
                sets << QStringLiteral("finish_date = ?");
                binds << values::DisplayDate(line->FinishDate);
            }
            sets << QStringLiteral("row_version = row_version + 1");
            m_db->Exec(QStringLiteral("UPDATE purchase_order_lines SET ") + sets.join(QStringLiteral(", ")) +
                           QStringLiteral(" WHERE order_id = ? AND line_no = ?"),
                       binds << loaded.Id << line->LineNo);
        }
        // Only a save that adds to what is owed can pass the line; giving back is always allowed.
        const bool raises = std::any_of(changed.begin(), changed.end(), [&](const Change& c) {
            const auto was = std::find_if(loaded.Lines.begin(), loaded.Lines.end(),
                                          [&](const OrderLine& l) { return l.LineNo == c.Line->LineNo; });
            // By its parts: a user without the price right loaded no price to multiply by.
            return c.Line->Qty > was->Qty || c.Line->Price > was->Price;
        });
        if (raises)
            CheckCredit(order.value(1));
        // Checked against the store's supplier and price list under the save: both may have
        // changed since the window asked.
        for (int lineNo : HighPriced(loaded, edited, order.value(1)))
            if (!confirmedHighPrices.contains(lineNo))
                throw Error(
                    GetLangString(QStringLiteral("第 %1 行单价高于供应商价格表的限价，未经确认，不能保存"))
                        .arg(lineNo));
    });
}

void PurchaseOrderStore::CheckCredit(const QVariant& supplierId) const {
    // Counted after this save's changes, which are written already.
    if (const auto over = RefusingCreditOverrun(*m_db, supplierId, 0, StoreHidesPrices(*m_session)))
        throw Error(GetLangString(QStringLiteral("供应商 %1 %2%3，超过信用额度，不能保存"))
                        .arg(over->Code, over->Name, over->Figures()));
}

void PurchaseOrderStore::MoveEntryQty(qint64 orderId, const OrderLine& line, double delta) const {
    struct Source {
        QString BillNo;
        qint32 PlanId, EntryId;
        double Taken, Qty, Ordered;
        bool Closed;
        int QtyDecimals;
    };
    QVector<Source> sources;
    QSqlQuery q = m_db->Exec(
        QStringLiteral("SELECT s.plan_id, s.entry_id, s.qty, p.bill_no"
                       " FROM purchase_order_line_sources s JOIN purchase_plans p ON p.id = s.plan_id"
                       " WHERE s.order_id = ? AND s.line_no = ? ORDER BY s.plan_id, s.entry_id"),
        {orderId, line.LineNo});
    while (q.next())
        sources << Source{q.value(3).toString(),
                          q.value(0).toInt(),
                          q.value(1).toInt(),
                          q.value(2).toDouble(),
                          0,
                          0,
                          false,
                          4};
    // A line typed in by hand has no entries to move.
    if (sources.isEmpty())
        return;
    // Locked in key order, the order a push takes them in too, so two writers cannot deadlock.
    for (Source& s : sources) {
        QSqlQuery e = m_db->Exec(QStringLiteral("SELECT e.qty, e.ordered_qty, e.close_mark, i.qty_decimals"
                                                " FROM plan_entries e JOIN items i ON i.id = e.item_id"
                                                " WHERE e.plan_id = ? AND e.entry_id = ?") +
                                     (m_db->IsSQLite() ? QString() : QStringLiteral(" FOR UPDATE OF e")),
                                 {s.PlanId, s.EntryId});
        if (!e.next())
            throw Error(
                GetLangString(QStringLiteral("计划单 %1 分录 %2 不存在")).arg(s.BillNo).arg(s.EntryId));
        s.Qty = e.value(0).toDouble();
        s.Ordered = e.value(1).toDouble();
        s.Closed = !e.value(2).toString().trimmed().isEmpty();
        s.QtyDecimals = e.value(3).toInt();
    }

    QVector<double> moves(sources.size(), 0); // + takes from the entry, - gives back
    if (delta > 0) {
        double left = delta;
        double available = 0;
        for (int i = 0; i < sources.size() && left > 0; ++i) {
            const Source& s = sources[i];
            // A closed entry is finished with; it gives nothing more.
            const double free = s.Closed ? 0 : std::max(0.0, s.Qty - s.Ordered);
            available += free;
            moves[i] = std::min(left, free);
            left -= moves[i];
        }
        if (Differs(left, 0) && left > 0) {
            const Source& last = sources.back();
            throw Error(GetLangString(
                            QStringLiteral("第 %1 行：计划单 %2 分录 %3 未下推数量不足（需要 %4，可用 %5）"))
                            .arg(line.LineNo)
                            .arg(last.BillNo)
                            .arg(last.EntryId)
                            .arg(QtyText(delta, last.QtyDecimals), QtyText(available, last.QtyDecimals)));
        }
    } else {
        double left = -delta;
        for (int i = int(sources.size()) - 1; i >= 0 && left > 0; --i) {
            const Source& s = sources[i];
            moves[i] = -std::min({left, s.Taken, s.Ordered});
            left += moves[i];
        }
    }
    for (int i = 0; i < sources.size(); ++i) {
        const double m = moves[i];
        if (m == 0)
            continue;
        const Source& s = sources[i];
        // ordered + m is written once and reused, so the check unordered = qty - ordered holds exactly.
        double ordered = s.Ordered + m;
        if (ordered < 0 || !Differs(ordered, 0))
            ordered = 0;
        const double taken = std::max(0.0, s.Taken + m);
        m_db->Exec(QStringLiteral("UPDATE plan_entries SET ordered_qty = ?, unordered_qty = qty - ?,"
                                  " push_qty = CASE WHEN qty - ? > 0 THEN qty - ? ELSE 0 END,"
                                  " row_version = row_version + 1 WHERE plan_id = ? AND entry_id = ?"),
                   {ordered, ordered, ordered, ordered, s.PlanId, s.EntryId});
        m_db->Exec(QStringLiteral("UPDATE purchase_order_line_sources SET qty = ?"
                                  " WHERE order_id = ? AND line_no = ? AND plan_id = ? AND entry_id = ?"),
                   {taken, orderId, line.LineNo, s.PlanId, s.EntryId});
    }
}

} // namespace zpp::services
