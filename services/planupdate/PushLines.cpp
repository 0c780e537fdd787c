// Reading the push list into lines and takes: every value the list sends is checked here, before
// the store is touched, and kept as numbers so that a push of many thousand entries stays small.

#include "Pusher.h"
#include "platform/records/Values.h"
#include "services/planning/HighPrice.h"
#include "services/store/StoredText.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace zpp::services::pushing {

void Pusher::Read(const RecordList& pushList) {
    m_list = &pushList;
    const int count = pushList.Count();
    m_lines.reserve(count);
    m_takes.reserve(count);
    for (int p = 1; p <= count; ++p) {
        StopIfAsked();
        if (const RecordPtr r = pushList.Peek(p))
            ReadLine(*r, p);
    }
    m_billNos.Settle();
    m_memos.Settle();
    m_orderOf = {};
    SortTakes();
}

void Pusher::ReadLine(const KeyedRecord& r, int position) {
    Line line{};
    line.Position = quint32(position);
    const qint32 index = qint32(m_lines.size());
    const size_t firstTake = m_takes.size();
    const RecordListPtr members = values::Val(r.Get(kIsMerge, 0)) == 1 ? r.Object(kMembers) : nullptr;
    if (members && members->Count() > 0) {
        for (int m = 1; m <= members->Count(); ++m)
            if (const RecordPtr member = members->Peek(m))
                ReadTake(*member, index, true);
        if (m_takes.size() == firstTake) // every member had nothing to push
            ReadTake(*members->Peek(1), index, false);
    } else {
        ReadTake(r, index, false);
    }
    const Take first = m_takes[firstTake];

    const QVariant supplier = r.Get(QStringLiteral("FSupplyID"), QVariant());
    const auto supplierId = Id(supplier);
    if (!supplierId)
        Fail(first, BillNo(first), Tr("该分录没有供应商，不能下推"));
    if (r.Exists(QStringLiteral("FItemID")))
        line.Item = quint32(Id(r.Get(QStringLiteral("FItemID"))).value_or(0));
    line.Price = m_storedPrices ? kFromStore : Amount(r, first, "FPrice", "含税单价", false);
    line.Discount = Amount(r, first, "FDiscountRate", "折扣率", true);
    line.Tax = Amount(r, first, "FTaxRate", "税率", true);
    const QVariant date = r.Get(QStringLiteral("FFinishDate"), QVariant());
    if (date.toString().trimmed().isEmpty() && date.typeId() != QMetaType::QDate) {
        line.HasFinishDate = 0;
    } else {
        const auto d = values::ParseDate(date);
        // A day past what a line keeps (millions of years off) is no delivery date either.
        const qint64 day = d ? d->toJulianDay() : 0;
        if (!d || day < std::numeric_limits<qint32>::min() || day > std::numeric_limits<qint32>::max())
            Fail(first, BillNo(first), Tr("%1“%2”不是有效的日期").arg(Tr("建议交货日期"), Shown(date)));
        line.HasFinishDate = 1;
        line.FinishDay = qint32(day);
    }
    const QString memo = store::StoredText(r.Text(QStringLiteral("FMemo")));
    if (const QString fault = store::LengthFault(memo, store::limits::Memo); !fault.isEmpty())
        Fail(first, BillNo(first), fault);
    line.Memo = m_memos.Add(memo);
    line.Confirmed = values::Val(r.Get(kHighPriceConfirmedField, 0)) == 1;

    auto order = m_orderOf.constFind(*supplierId);
    if (order == m_orderOf.constEnd()) {
        order = m_orderOf.insert(*supplierId, qint32(m_orders.size()));
        m_orders.push_back(Order{*supplierId, {}, {}});
    }
    line.Order = quint32(*order);
    m_lines.push_back(line);
}

void Pusher::ReadTake(const KeyedRecord& r, qint32 line, bool mayBeEmpty) {
    Take t{};
    t.Line = line;
    t.BillNo = m_billNos.Add(r.Text(kBillNo).trimmed());
    t.GridRow = Id(r.Get(kGridRow, QVariant())).value_or(0);
    const QVariant version = r.Get(kEntryVersionField, QVariant());
    t.HasVersion = version.isValid() && !version.isNull();
    const QVariant plan = r.Get(kInterID, QVariant()), entry = r.Get(kEntryID, QVariant());
    const auto planId = Id(plan);
    if (!planId)
        Fail(t, BillNo(t), Tr("%1“%2”不是有效的编号").arg(Tr("采购建议内码"), Shown(plan)));
    t.Plan = *planId;
    const auto entryId = Id(entry);
    if (!entryId)
        Fail(t, BillNo(t), Tr("%1“%2”不是有效的编号").arg(Tr("分录号"), Shown(entry)));
    t.Entry = *entryId;
    const QVariant qty = r.Get(kPushQty, QVariant());
    const auto n = Number(qty);
    if (!n)
        Fail(t, BillNo(t), Tr("%1“%2”不是数字").arg(Tr("下推数量"), Shown(qty)));
    if (*n == 0 && mayBeEmpty)
        return;
    if (*n <= 0)
        Fail(t, BillNo(t), Tr("下推数量必须大于 0：%1").arg(Shown(qty)));
    t.ReadQty = t.Qty = *n;
    m_takes.push_back(t);
    // Few lists name versions: the others keep none.
    if (t.HasVersion) {
        m_versions.resize(m_takes.size());
        m_versions.back() = values::Val(version);
    }
}

double Pusher::Amount(const KeyedRecord& r, const Take& first, const char* key, const char* caption,
                      bool rate) {
    const QVariant v = r.Get(QString::fromLatin1(key), QVariant());
    const auto n = Number(v);
    const char* fault = nullptr;
    if (!n)
        fault = "%1“%2”不是数字";
    else if (rate && (*n < 0 || *n > 100))
        fault = "%1应在 0 到 100 之间：%2";
    else if (*n < 0)
        fault = "%1不能为负数：%2";
    if (fault)
        Fail(first, BillNo(first), Tr(fault).arg(Tr(caption), Shown(v)));
    return *n;
}

void Pusher::SortTakes() {
    auto before = [this](qint32 a, qint32 b) {
        const Take &x = m_takes[size_t(a)], &y = m_takes[size_t(b)];
        return std::tie(x.Plan, x.Entry, a) < std::tie(y.Plan, y.Entry, b);
    };
    m_order.clear();
    if (std::is_sorted(m_takes.begin(), m_takes.end(), [](const Take& a, const Take& b) {
            return std::tie(a.Plan, a.Entry) < std::tie(b.Plan, b.Entry);
        }))
        return;
    m_order.resize(m_takes.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    std::sort(m_order.begin(), m_order.end(), before);
}

} // namespace zpp::services::pushing
