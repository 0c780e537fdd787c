// The plan entries behind a push, locked and read again in one order for every writer, checked
// against what the list showed, and what each gives up settled before anything is written.

#include "Pusher.h"

#include <algorithm>
#include <cmath>

namespace zpp::services::pushing {

namespace {
double Round(double v, int decimals) {
    const double f = std::pow(10.0, decimals);
    return std::round(v * f) / f;
}
} // namespace

void Pusher::Restart() {
    for (Take& t : m_takes) {
        t.Qty = t.ReadQty;
        t.Changes = false;
    }
    for (Line& l : m_lines) {
        l.Qty = 0;
        l.ItemId = 0;
        if (m_storedPrices)
            l.Price = kFromStore;
    }
    for (Order& o : m_orders)
        o = Order{o.Supplier, {}, {}};
    m_reads.clear();
}

void Pusher::SettleEntries() {
    constexpr int kChunk = 100;
    std::vector<Stored> stored;
    stored.reserve(kChunk);
    const int n = TakeCount();
    for (int i = 0; i < n;) {
        const qint32 plan = m_takes[TakeAt(i)].Plan;
        QVariantList binds{plan};
        int end = i;
        while (end < n && m_takes[TakeAt(end)].Plan == plan && binds.size() <= kChunk) {
            const qint32 entry = m_takes[TakeAt(end)].Entry;
            binds << entry;
            while (end < n && m_takes[TakeAt(end)].Plan == plan && m_takes[TakeAt(end)].Entry == entry)
                ++end;
        }
        QSqlQuery& read = ReadStatement(int(binds.size()) - 1);
        Run(read, binds);
        stored.clear();
        QString billNo; // the plan's, on every row
        while (read.next()) {
            billNo = read.value(4).toString();
            const QVariant supplier = read.value(1), auxProp = read.value(2);
            stored.push_back(
                Stored{read.value(0).toInt(), supplier.toInt(), auxProp.toInt(), read.value(7).toInt(),
                       read.value(8).toInt(), read.value(9).toInt(), supplier.isNull(), auxProp.isNull(),
                       !read.value(3).toString().trimmed().isEmpty(), read.value(5).toDouble(),
                       read.value(6).toDouble(), read.value(10).toDouble(), read.value(11).toLongLong()});
        }
        read.finish();
        for (int k = i; k < end;) {
            const Take& t = m_takes[TakeAt(k)];
            int groupEnd = k + 1;
            while (groupEnd < end && m_takes[TakeAt(groupEnd)].Entry == t.Entry)
                ++groupEnd;
            const auto s = std::lower_bound(stored.begin(), stored.end(), t.Entry,
                                            [](const Stored& s, qint32 entry) { return s.Entry < entry; });
            if (s == stored.end() || s->Entry != t.Entry)
                Fail(t, BillNo(t), Tr("该分录已不存在，可能已被删除"));
            SettleEntry(k, groupEnd, *s, billNo);
            k = groupEnd;
        }
        i = end;
    }
}

void Pusher::SettleEntry(int first, int end, const Stored& s, const QString& billNo) {
    double total = 0;
    for (int k = first; k < end; ++k) {
        const size_t at = TakeAt(k);
        Take& t = m_takes[at];
        Check(t, at, s, billNo);
        t.Qty = Round(t.Qty, s.Decimals);
        total += t.Qty;
    }
    Take& head = m_takes[TakeAt(first)];
    const double left = s.Qty - s.Ordered;
    if (Round(total, s.Decimals) > Round(left, s.Decimals))
        Fail(head, billNo,
             Tr("下推数量 %1 超过未下达采购订单数量 %2，可能已被其他用户下推，请刷新后重新下推")
                 .arg(QtyText(total, s.Decimals), QtyText(left, s.Decimals)));
    if (Round(total, s.Decimals) == Round(left, s.Decimals) && total != left) {
        // Equal at the item's decimals: the entry is ordered in full, not a rounding off it.
        m_takes[TakeAt(end - 1)].Qty += left - total;
        total = left;
    }
    for (int k = first; k < end; ++k) {
        const Take& t = m_takes[TakeAt(k)];
        m_lines[size_t(t.Line)].Qty += t.Qty;
    }
    // An entry that gives nothing keeps its version, so nobody's save of it is refused for nothing.
    if (total > 0) {
        head.Changes = true;
        head.Ordered = std::min(s.Qty, s.Ordered + total);
    }
}

QSqlQuery& Pusher::ReadStatement(int entries) {
    auto it = m_reads.find(entries);
    if (it == m_reads.end()) {
        QStringList marks;
        for (int k = 0; k < entries; ++k)
            marks << QStringLiteral("?");
        // Rows are locked in the order they are returned: entry by entry, as every writer does.
        it = m_reads.insert(
            entries,
            m_db.Prepare(
                QStringLiteral("SELECT e.entry_id, e.supplier_id, e.aux_prop_id, e.close_mark, p.bill_no,"
                               " e.qty, e.ordered_qty, e.item_id, i.unit_id, i.qty_decimals,") +
                (m_hidden ? QStringLiteral(" 0,") : QStringLiteral(" e.price,")) +
                QStringLiteral(" e.row_version"
                               " FROM plan_entries e JOIN purchase_plans p ON p.id = e.plan_id"
                               " JOIN items i ON i.id = e.item_id WHERE e.plan_id = ? AND e.entry_id IN (") +
                marks.join(u',') + QStringLiteral(") ORDER BY e.entry_id") +
                (m_db.IsSQLite() ? QString() : QStringLiteral(" FOR UPDATE OF e"))));
    }
    return *it;
}

void Pusher::Check(const Take& t, size_t at, const Stored& s, const QString& billNo) {
    Line& l = m_lines[size_t(t.Line)];
    // Another user's save (or push, or close) since the list was read: what the list shows is
    // not what would be ordered.
    if (t.HasVersion && m_versions[at] != double(s.Version))
        Fail(t, billNo, Tr("该分录已被其他用户修改，请刷新后重新下推"));
    if (m_storedPrices && !m_hidden) {
        if (l.Price == kFromStore)
            l.Price = s.Price;
        else if (std::abs(l.Price - s.Price) > 1e-9 * std::max(1.0, std::abs(s.Price)))
            Fail(t, billNo, Tr("合并为一行的分录单价不同，不能合并下推，请分开下推"));
    }
    if (s.Closed)
        Fail(t, billNo, Tr("该分录已关闭，不能下推"));
    if (s.SupplierNull)
        Fail(t, billNo, Tr("该分录没有供应商，不能下推"));
    if (s.Supplier != m_orders[l.Order].Supplier)
        Fail(t, billNo, Tr("该分录的供应商已被其他用户修改，请刷新后重新下推"));
    if (l.ItemId == 0) {
        l.ItemId = s.Item;
        l.AuxPropNull = s.AuxPropNull;
        l.AuxProp = s.AuxPropNull ? 0 : s.AuxProp;
        l.UnitId = s.Unit;
    }
    if (s.Item != l.ItemId || (l.Item && qint32(l.Item) != s.Item) || s.AuxPropNull != bool(l.AuxPropNull) ||
        (!s.AuxPropNull && s.AuxProp != l.AuxProp))
        Fail(t, billNo, Tr("该分录的物料与下推行不一致"));
}

QString Pusher::QtyText(double v, int decimals) {
    return QString::number(Round(v, decimals), 'f', decimals);
}

} // namespace zpp::services::pushing
