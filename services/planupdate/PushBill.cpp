#include "BillNumbers.h"
#include "EntryValues.h"
#include "PurchasePlanUpdateService.h"
#include "component/host/Access.h"
#include "component/host/LongWork.h"
#include "component/host/PlanFields.h"
#include "platform/records/TextTable.h"
#include "platform/records/Values.h"
#include "services/access/Rights.h"
#include "services/planning/HighPrice.h"
#include "services/planning/MrpDataService.h"
#include "services/store/StoredText.h"

#include <QDateTime>
#include <QHash>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace zpp::services {

namespace {

using namespace entryvalues;

const QString kPushQty = QStringLiteral("FPushQty");
const QString kIsMerge = QStringLiteral("FIsMerge");
const QString kMembers = QStringLiteral("EntryDataVct");

double Round(double v, int decimals) {
    const double f = std::pow(10.0, decimals);
    return std::round(v * f) / f;
}

// What one push line asks of one plan entry. A push of a whole plan holds one per entry, so it
// keeps numbers only: texts are kept once in a table of the pusher's.
struct Take {
    qint32 Plan, Entry;
    qint32 Line;
    qint32 GridRow;  // the list's row of the entry, for messages; 0 when the list names none
    quint32 BillNo;  // the plan number as the list showed it, for messages
    bool HasVersion; // the list names the entry's version as it loaded it (in the pusher's versions)
    // Settled by Write, on an entry's first take: the entry gives some of it up, and its new
    // ordered quantity.
    bool Changes;
    double ReadQty; // as the list asks
    double Qty;     // as ordered, at the item's decimals (Write)
    double Ordered;
};
static_assert(sizeof(Take) <= 48);

// A push line, which becomes one order line.
struct Line {
    quint32 Position : 31; // in the push list, for messages
    quint32 Confirmed : 1; // the user was shown its price above the limit and chose to go on
    quint32 Order : 31;    // the order of the line's supplier
    quint32 HasFinishDate : 1;
    quint32 Item : 31; // the item the list names; 0 when it names none
    quint32 AuxPropNull : 1;
    quint32 Memo;
    qint32 FinishDay; // Julian day
    // From the line's first entry, as Write reads it.
    qint32 ItemId, UnitId, AuxProp;
    double Price, Discount, Tax;
    double Qty; // Write
};
static_assert(sizeof(Line) <= 64);

// A plan entry as the store holds it under the push's lock.
struct Stored {
    qint32 Entry;
    qint32 Supplier, AuxProp, Item, Unit, Decimals;
    bool SupplierNull, AuxPropNull, Closed;
    double Qty, Ordered, Price;
    qint64 Version;
};

struct Order {
    qint32 Supplier;
    QString SupplierName, BillNo;
    qint64 Id = 0;
    int Lines = 0;
};

class Pusher {
public:
    // storedPrices: the user has no price right, so the list sent none; each line is ordered at
    // the price its entries hold.
    // hidden: the store keeps even those prices from the user (StoreHidesPrices); the server then
    // prices the lines and judges the limits itself.
    Pusher(const store::Store& db, qint16 userId, QDate billDate, const std::function<void()>& hook,
           bool storedPrices, bool hidden)
        : m_db(db), m_userId(userId), m_billDate(billDate), m_hook(hook), m_storedPrices(storedPrices),
          m_hidden(hidden) {}

    // Reads the push lines; a value that cannot be ordered refuses the push before the store is
    // touched. The list is read a row at a time and left as it was: a list over a row source
    // would otherwise keep every row as a record.
    void Read(const RecordList& pushList) {
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

    bool Empty() const { return m_takes.empty(); }

    // Locks and checks every entry, then writes orders, lines, sources and the entries' quantities.
    RecordListPtr Write(QString& orderIds) {
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
            QSqlQuery insert = Exec(
                QStringLiteral(
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

private:
    void ReadLine(const KeyedRecord& r, int position) {
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

    // A member with nothing to push is left out of a merged line; anything else must push more than 0.
    void ReadTake(const KeyedRecord& r, qint32 line, bool mayBeEmpty) {
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

    double Amount(const KeyedRecord& r, const Take& first, const char* key, const char* caption, bool rate) {
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

    // One lock order for every writer of entries: plan, then entry; a list naming an entry twice
    // keeps its order. Lists mostly come in that order already and need no second one.
    void SortTakes() {
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
    int TakeCount() const { return int(m_takes.size()); }
    // The take at a place in lock order.
    size_t TakeAt(int i) const { return m_order.empty() ? size_t(i) : size_t(m_order[size_t(i)]); }

    // Every run starts from the lines as read: the store may undo a run (a deadlock) and run it
    // again, and what the undone run settled here came from rows it no longer holds.
    void Restart() {
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

    // Locks and reads the entries of the takes in lock order, a plan's entries a chunk at a time
    // (one statement per entry would cost a round trip each on a server), and settles what each
    // chunk's entries give up before the next is read, so only a chunk is held at a time.
    void SettleEntries() {
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
                const auto s =
                    std::lower_bound(stored.begin(), stored.end(), t.Entry,
                                     [](const Stored& s, qint32 entry) { return s.Entry < entry; });
                if (s == stored.end() || s->Entry != t.Entry)
                    Fail(t, BillNo(t), Tr("该分录已不存在，可能已被删除"));
                SettleEntry(k, groupEnd, *s, billNo);
                k = groupEnd;
            }
            i = end;
        }
    }

    // The takes [first, end) in lock order, all of one entry: checked against it, and what the
    // entry gives up settled before anything is written.
    void SettleEntry(int first, int end, const Stored& s, const QString& billNo) {
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

    QSqlQuery& ReadStatement(int entries) {
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
                    QStringLiteral(
                        " e.row_version"
                        " FROM plan_entries e JOIN purchase_plans p ON p.id = e.plan_id"
                        " JOIN items i ON i.id = e.item_id WHERE e.plan_id = ? AND e.entry_id IN (") +
                    marks.join(u',') + QStringLiteral(") ORDER BY e.entry_id") +
                    (m_db.IsSQLite() ? QString() : QStringLiteral(" FOR UPDATE OF e"))));
        }
        return *it;
    }

    // Rows written as they are made, perRow values each. On a server every statement costs a round
    // trip, far more than the rows it carries, so rows go kServerRowsPerStatement at a time; SQLite
    // has no round trips and writes a row a statement. statement(n) gives the statement of n rows.
    template <class Statement> class Rows {
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
    template <class Statement> Rows<Statement> RowsOf(Statement statement) const {
        return Rows<Statement>(*this, std::move(statement));
    }

    void WriteLines() {
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

    // One source row per line and entry, even when a list names an entry twice, by line, plan and entry.
    void WriteSources() {
        auto rows = RowsOf([](int rows) -> QString {
            return QStringLiteral(
                       "INSERT INTO purchase_order_line_sources (order_id, line_no, plan_id, entry_id,"
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
                return std::tie(m_takes[a].Plan, m_takes[a].Entry) <
                       std::tie(m_takes[b].Plan, m_takes[b].Entry);
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

    // The ordered quantities of the entries that give some up, in lock order.
    void WriteEntries() {
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

    static QString Repeated(const QString& row, int rows) {
        QString out;
        out.reserve((row.size() + 2) * rows);
        for (int r = 0; r < rows; ++r) {
            if (r > 0)
                out += QStringLiteral(", ");
            out += row;
        }
        return out;
    }

    // The entry against the take of a line. The first entry read fixes the line's item.
    void Check(const Take& t, size_t at, const Stored& s, const QString& billNo) {
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
        if (s.Item != l.ItemId || (l.Item && qint32(l.Item) != s.Item) ||
            s.AuxPropNull != bool(l.AuxPropNull) || (!s.AuxPropNull && s.AuxProp != l.AuxProp))
            Fail(t, billNo, Tr("该分录的物料与下推行不一致"));
    }

    // The first take in lock order of the order's line of that number, or of the order.
    const Take& FirstTakeOfLine(int order, int lineNo) const {
        size_t line = 0;
        for (int n = 0; line < m_lines.size(); ++line)
            if (int(m_lines[line].Order) == order && ++n == lineNo)
                break;
        for (int i = 0; i < TakeCount(); ++i)
            if (const Take& t = m_takes[TakeAt(i)]; size_t(t.Line) == line)
                return t;
        return FirstTakeOfOrder(order);
    }
    // The first take in lock order of a line of the order. Every order has one.
    const Take& FirstTakeOfOrder(int order) const {
        for (int i = 0; i < TakeCount(); ++i)
            if (const Take& t = m_takes[TakeAt(i)]; int(m_lines[size_t(t.Line)].Order) == order)
                return t;
        return m_takes.front();
    }

    // The user must be allowed every supplier ordered from; a supplier without a rights row is allowed.
    void CheckSuppliers() {
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

    // A line above its price-list limit is ordered only when the user was shown it and chose to go
    // on: the price list or the tolerance may have changed since the user was asked.
    void CheckHighPrices() {
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
                 m_storedPrices ? Tr("单价高于供应商价格表的限价，下推前未经确认；请重新下推")
                                : Tr("单价 %1 高于供应商价格表的限价 %2，下推前未经确认；请重新下推")
                                      .arg(QString::number(l.Price, 'f', 4),
                                           QString::number(it->second->Allowed, 'f', 4)));
        }
    }

    // A supplier whose credit control refuses ("3") takes no order beyond its credit line. Checked
    // here, inside the push, with the supplier's row locked: two pushes at once cannot both pass
    // one line, as they could when the list checks it beforehand.
    void CheckCredit() {
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

    static QString QtyText(double v, int decimals) {
        return QString::number(Round(v, decimals), 'f', decimals);
    }

    const QString& BillNo(const Take& t) const { return m_billNos.At(t.BillNo); }

    [[noreturn]] void Fail(const Take& t, const QString& shownBillNo, const QString& reason) const {
        QString billNo = shownBillNo;
        if (billNo.isEmpty() && t.Plan > 0)
            billNo = m_db.Scalar(QStringLiteral("SELECT bill_no FROM purchase_plans WHERE id = ?"), {t.Plan})
                         .toString();
        if (billNo.isEmpty())
            billNo = QString::number(t.Plan);
        throw Error(EntryFault(t.GridRow, billNo, QString::number(t.Entry), reason));
    }

    void Run(QSqlQuery& q, const QVariantList& binds) const {
        StopIfAsked();
        if (m_hook)
            m_hook();
        m_db.Run(q, binds);
    }
    QSqlQuery Exec(const QString& sql, const QVariantList& binds) const {
        StopIfAsked();
        if (m_hook)
            m_hook();
        return m_db.Exec(sql, binds);
    }
    // The user may stop a long push; its transaction then takes nothing with it.
    static void StopIfAsked() {
        if (!longwork::KeepGoing())
            throw Cancelled(Tr("下推已取消，没有生成任何订单"));
    }

    static constexpr double kFromStore = -1;
    const store::Store& m_db;
    qint16 m_userId;
    QDate m_billDate;
    const std::function<void()>& m_hook;
    bool m_storedPrices, m_hidden;
    const RecordList* m_list = nullptr;
    // As read: lines in list order, each line's takes after the last line's.
    std::vector<Take> m_takes;
    std::vector<Line> m_lines;
    std::vector<Order> m_orders;
    std::vector<qint32> m_order;    // the takes in lock order; none when they came so
    std::vector<double> m_versions; // by take, as far as the last take naming one
    TextTable m_billNos, m_memos;
    QHash<qint32, qint32> m_orderOf; // by supplier, while reading
    QHash<int, QSqlQuery> m_reads;
};

} // namespace

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
    Pusher pusher(db, m_session->UserId, newBillDate, m_pushHook, !Holds(*m_session, rights::Price),
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
