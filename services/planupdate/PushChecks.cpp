// What a push asks of its suppliers: the user's right to each, the price lists' limits (judged by
// the server where it keeps prices from the user) and the credit lines. Each names the line it refuses.

#include "Pusher.h"
#include "services/access/Rights.h"
#include "services/planning/HighPrice.h"
#include "services/planning/MrpDataService.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <set>

namespace zpp::services::pushing {

const Take& Pusher::FirstTakeOfLine(int order, int lineNo) const {
    size_t line = 0;
    for (int n = 0; line < m_lines.size(); ++line)
        if (int(m_lines[line].Order) == order && ++n == lineNo)
            break;
    for (int i = 0; i < TakeCount(); ++i)
        if (const Take& t = m_takes[TakeAt(i)]; size_t(t.Line) == line)
            return t;
    return FirstTakeOfOrder(order);
}

const Take& Pusher::FirstTakeOfOrder(int order) const {
    for (int i = 0; i < TakeCount(); ++i)
        if (const Take& t = m_takes[TakeAt(i)]; int(m_lines[size_t(t.Line)].Order) == order)
            return t;
    return m_takes.front();
}

void Pusher::CheckSuppliers() {
    for (Order& o : m_orders) {
        if (m_hook)
            m_hook();
        const SupplierAccess a = SupplierFor(m_db, m_userId, o.Supplier);
        o.SupplierName = a.Name;
        if (!a.MayUse) {
            const Take& t = FirstTakeOfOrder(int(&o - m_orders.data()));
            Fail(t, BillNo(t), SupplierRefusal(a.Code));
        }
    }
}

void Pusher::CheckHighPrices() {
    std::map<PriceKey, std::optional<PriceLimit>> limits;
    if (!m_hidden) {
        std::set<PriceKey> keys;
        for (const Line& l : m_lines)
            if (!l.Confirmed)
                keys.insert({m_orders[l.Order].Supplier, l.ItemId, l.UnitId});
        limits = HighPriceLimits(m_db, keys, m_billDate, HighPriceTolerance(m_db));
    }
    // Each line's first take, found once: a push of a whole plan has as many lines as takes.
    std::vector<qint32> firstTake(m_lines.size(), -1);
    for (int i = 0; i < TakeCount(); ++i) {
        const size_t at = TakeAt(i);
        if (qint32& first = firstTake[size_t(m_takes[at].Line)]; first < 0)
            first = qint32(at);
    }
    if (m_hidden) {
        // The line's entries hold one price (checked when it is priced); the first one's is
        // judged, on today's list: the server takes no day from its caller.
        std::vector<HiddenPriceLine> asked;
        std::vector<size_t> lineOf;
        for (size_t line = 0; line < m_lines.size(); ++line) {
            const Line& l = m_lines[line];
            if (l.Confirmed)
                continue;
            const Take& t = m_takes[size_t(firstTake[line])];
            asked.push_back({t.Plan, t.Entry, m_orders[l.Order].Supplier});
            lineOf.push_back(line);
        }
        const std::vector<int> above = LinesAboveLimit(m_db, asked);
        if (!above.empty()) {
            const Take& t = m_takes[size_t(firstTake[lineOf[size_t(above.front())]])];
            Fail(t, BillNo(t), Tr("单价高于供应商价格表的限价，下推前未经确认；请重新下推"));
        }
        return;
    }
    for (size_t line = 0; line < m_lines.size(); ++line) {
        const Line& l = m_lines[line];
        if (l.Confirmed)
            continue;
        const qint32 supplier = m_orders[l.Order].Supplier;
        const Take& t = m_takes[size_t(firstTake[line])];
        const auto it = limits.find({supplier, l.ItemId, l.UnitId});
        if (it == limits.end() || !it->second || !AboveLimit(l.Price, it->second->Allowed))
            continue;
        // Without the price right the user learns that the price is too high, not what it is.
        Fail(t, BillNo(t),
             m_storedPrices
                 ? Tr("单价高于供应商价格表的限价，下推前未经确认；请重新下推")
                 : Tr("单价 %1 高于供应商价格表的限价 %2，下推前未经确认；请重新下推")
                       .arg(QString::number(l.Price, 'f', 4), QString::number(it->second->Allowed, 'f', 4)));
    }
}

void Pusher::CheckCredit() {
    std::vector<double> adding(m_orders.size(), 0.0);
    if (!m_hidden)
        for (const Line& l : m_lines)
            adding[l.Order] += l.Qty * l.Price;
    // Suppliers in one order for every push, so two pushes never wait for each other's locks crosswise.
    std::vector<int> bySupplier(m_orders.size());
    std::iota(bySupplier.begin(), bySupplier.end(), 0);
    std::sort(bySupplier.begin(), bySupplier.end(),
              [&](int a, int b) { return m_orders[size_t(a)].Supplier < m_orders[size_t(b)].Supplier; });
    for (int order : bySupplier) {
        const Order& o = m_orders[size_t(order)];
        const auto over =
            RefusingCreditOverrun(m_db, o.Supplier, m_hidden ? 0 : adding[size_t(order)], m_hidden);
        if (!over)
            continue;
        const Take& t = FirstTakeOfOrder(order);
        Fail(t, BillNo(t),
             Tr("供应商 %1 %2%3，超过信用额度，不能下推").arg(over->Code, over->Name, over->Figures()));
    }
}

} // namespace zpp::services::pushing
