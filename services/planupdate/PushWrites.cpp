// The writes of a push: order lines, their sources and the entries' ordered quantities, many rows
// to a statement on a server. Apart from the checks: what is written here was settled before.

#include "Pusher.h"
#include "platform/records/Values.h"

#include <algorithm>
#include <numeric>

namespace zpp::services::pushing {

// Rows written as they are made, perRow values each. On a server every statement costs a round
// trip, far more than the rows it carries, so rows go kServerRowsPerStatement at a time; SQLite
// has no round trips and writes a row a statement. statement(n) gives the statement of n rows.
template <class Statement> class Pusher::Rows {
public:
    Rows(const Pusher& pusher, Statement statement)
        : m_pusher(pusher), m_statement(std::move(statement)),
          m_batch(pusher.m_db.IsSQLite() ? 1 : kServerRowsPerStatement) {}
    template <class... Values> void Add(const Values&... values) {
        (m_binds.append(QVariant(values)), ...);
        if (++m_rows == m_batch)
            Flush();
    }
    void Finish() {
        if (m_rows > 0)
            Flush();
    }

private:
    static constexpr int kServerRowsPerStatement = 500;
    void Flush() {
        auto it = m_prepared.find(m_rows);
        if (it == m_prepared.end()) // a full batch and the rest
            it = m_prepared.insert(m_rows, m_pusher.m_db.Prepare(m_statement(m_rows)));
        m_pusher.Run(*it, m_binds);
        m_binds.clear();
        m_rows = 0;
    }
    const Pusher& m_pusher;
    Statement m_statement;
    const int m_batch;
    QVariantList m_binds;
    int m_rows = 0;
    QHash<int, QSqlQuery> m_prepared;
};

template <class Statement> Pusher::Rows<Statement> Pusher::RowsOf(Statement statement) const {
    return Rows<Statement>(*this, std::move(statement));
}

void Pusher::WriteLines() {
    // Lines of hidden prices are priced by the server once their sources are in.
    const QString price = m_hidden ? QString() : QStringLiteral(" price,");
    auto rows = RowsOf([&](int rows) -> QString {
        return QStringLiteral("INSERT INTO purchase_order_lines (order_id, line_no, item_id, aux_prop_id,"
                              " unit_id, qty,") +
               price + QStringLiteral(" discount_rate, tax_rate, finish_date, memo) VALUES ") +
               Repeated(m_hidden ? QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                                 : QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                        rows);
    });
    const QVariant noAuxProp(QMetaType::fromType<int>()), noDate(QMetaType::fromType<QString>());
    for (const Line& l : m_lines) {
        Order& o = m_orders[l.Order];
        const int lineNo = ++o.Lines;
        const QVariant auxProp = l.AuxPropNull ? noAuxProp : QVariant(l.AuxProp);
        const QVariant date =
            l.HasFinishDate ? QVariant(values::DisplayDate(QDate::fromJulianDay(l.FinishDay))) : noDate;
        if (m_hidden)
            rows.Add(o.Id, lineNo, l.ItemId, auxProp, l.UnitId, l.Qty, l.Discount, l.Tax, date,
                     m_memos.At(l.Memo));
        else
            rows.Add(o.Id, lineNo, l.ItemId, auxProp, l.UnitId, l.Qty, l.Price, l.Discount, l.Tax, date,
                     m_memos.At(l.Memo));
    }
    rows.Finish();
}

void Pusher::WriteSources() {
    auto rows = RowsOf([](int rows) -> QString {
        return QStringLiteral("INSERT INTO purchase_order_line_sources (order_id, line_no, plan_id, entry_id,"
                              " qty) VALUES ") +
               Repeated(QStringLiteral("(?, ?, ?, ?, ?)"), rows);
    });
    std::vector<int> lineNos(m_orders.size(), 0);
    std::vector<size_t> merged; // a merged line's takes, in lock order
    size_t k = 0;               // a line's takes follow each other as read
    for (size_t line = 0; line < m_lines.size(); ++line) {
        const Line& l = m_lines[line];
        const qint64 orderId = m_orders[l.Order].Id;
        const int lineNo = ++lineNos[l.Order];
        size_t end = k + 1;
        while (end < m_takes.size() && size_t(m_takes[end].Line) == line)
            ++end;
        if (end == k + 1) {
            if (const Take& t = m_takes[k]; t.Qty > 0)
                rows.Add(orderId, lineNo, t.Plan, t.Entry, t.Qty);
            k = end;
            continue;
        }
        merged.resize(end - k);
        std::iota(merged.begin(), merged.end(), k);
        std::stable_sort(merged.begin(), merged.end(), [this](size_t a, size_t b) {
            return std::tie(m_takes[a].Plan, m_takes[a].Entry) < std::tie(m_takes[b].Plan, m_takes[b].Entry);
        });
        for (size_t i = 0; i < merged.size();) {
            const Take& t = m_takes[merged[i]];
            double qty = 0;
            bool any = false;
            for (; i < merged.size() && m_takes[merged[i]].Plan == t.Plan &&
                   m_takes[merged[i]].Entry == t.Entry;
                 ++i)
                if (m_takes[merged[i]].Qty > 0) {
                    qty += m_takes[merged[i]].Qty;
                    any = true;
                }
            if (any)
                rows.Add(orderId, lineNo, t.Plan, t.Entry, qty);
        }
        k = end;
    }
    rows.Finish();
}

void Pusher::WriteEntries() {
    if (m_db.IsSQLite()) {
        auto rows = RowsOf([](int) -> QString {
            return QStringLiteral(
                "UPDATE plan_entries SET ordered_qty = ?, unordered_qty = qty - ?, push_qty = qty - ?,"
                " row_version = row_version + 1 WHERE plan_id = ? AND entry_id = ?");
        });
        for (int i = 0; i < TakeCount(); ++i)
            if (const Take& t = m_takes[TakeAt(i)]; t.Changes)
                rows.Add(t.Ordered, t.Ordered, t.Ordered, t.Plan, t.Entry);
        rows.Finish();
        return;
    }
    // The entries are locked already (SettleEntries), so one statement may update them in any order.
    auto rows = RowsOf([](int rows) -> QString {
        return QStringLiteral("UPDATE plan_entries SET ordered_qty = v.column3,"
                              " unordered_qty = qty - v.column3, push_qty = qty - v.column3,"
                              " row_version = row_version + 1 FROM (VALUES ") +
               Repeated(QStringLiteral("(CAST(? AS INTEGER), CAST(? AS INTEGER),"
                                       " CAST(? AS DOUBLE PRECISION))"),
                        rows) +
               QStringLiteral(") AS v WHERE plan_entries.plan_id = v.column1"
                              " AND plan_entries.entry_id = v.column2");
    });
    for (int i = 0; i < TakeCount(); ++i)
        if (const Take& t = m_takes[TakeAt(i)]; t.Changes)
            rows.Add(t.Plan, t.Entry, t.Ordered);
    rows.Finish();
}

QString Pusher::Repeated(const QString& row, int rows) {
    QString out;
    out.reserve((row.size() + 2) * rows);
    for (int r = 0; r < rows; ++r) {
        if (r > 0)
            out += QStringLiteral(", ");
        out += row;
    }
    return out;
}

} // namespace zpp::services::pushing
