#include "BillNumbers.h"
#include "EntryValues.h"
#include "PurchasePlanUpdateService.h"
#include "component/host/Access.h"
#include "component/host/LongWork.h"
#include "component/host/PlanFields.h"
#include "platform/records/Values.h"
#include "services/access/Rights.h"
#include "services/planning/HighPrice.h"
#include "services/planning/MrpDataService.h"
#include "services/store/StoredText.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <cmath>
#include <map>

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

// What one push line asks of one plan entry.
struct Take {
    qint32 Plan, Entry;
    double Qty;
    QString BillNo; // the plan number as the list showed it, for messages
    int Line;
    QVariant GridRow; // the list's row of the entry, for messages
    QVariant Version; // the entry's version as the list loaded it, when the list says
};

struct Line {
    const KeyedRecord* Record = nullptr;
    qint32 Supplier = 0;
    double Price = 0, Discount = 0, Tax = 0;
    QVariant FinishDate;
    QString Memo;
    std::optional<qint32> Item;
    // Known once the entries are read.
    qint32 ItemId = 0;
    QVariant AuxProp;
    qint32 UnitId = 0;
    double Qty = 0;
    int Order = -1, LineNo = 0;
};

// A plan entry as the store holds it under the push's lock.
struct Stored {
    QVariant Supplier, AuxProp;
    QString CloseMark, BillNo;
    double Qty, Ordered;
    qint32 Item, Unit;
    int Decimals;
    double Price;
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

    // Reads the push records; a value that cannot be ordered refuses the push before the store is touched.
    void Read(const RecordList& pushList) {
        for (const RecordPtr& r : pushList) {
            StopIfAsked();
            if (r)
                ReadLine(*r);
        }
        m_readTakes = m_takes;
        m_readLines = m_lines;
        m_readOrders = m_orders;
    }

    bool Empty() const { return m_takes.isEmpty(); }

    // Locks and checks every entry, then writes orders, lines, sources and the entries' quantities.
    RecordListPtr Write(QString& orderIds) {
        // Every run starts from the lines as read: the store may undo a run (a deadlock) and run
        // it again, and what the undone run settled here came from rows it no longer holds.
        m_takes = m_readTakes;
        m_lines = m_readLines;
        m_orders = m_readOrders;
        m_stored.clear();
        m_reads.clear();
        // One lock order for every writer of entries: plan, then entry.
        std::stable_sort(m_takes.begin(), m_takes.end(), [](const Take& a, const Take& b) {
            return std::tie(a.Plan, a.Entry) < std::tie(b.Plan, b.Entry);
        });
        ReadEntries();
        // Entries first: what each gives up is settled before anything is written.
        struct Change {
            qint32 Plan, Entry;
            double Ordered;
        };
        QVector<Change> changes;
        for (int i = 0; i < m_takes.size();) {
            int end = i + 1;
            while (end < m_takes.size() && m_takes[end].Plan == m_takes[i].Plan &&
                   m_takes[end].Entry == m_takes[i].Entry)
                ++end;
            const Stored s = Entry(m_takes[i]);
            double total = 0;
            for (int k = i; k < end; ++k) {
                Take& t = m_takes[k];
                Check(t, s);
                t.Qty = Round(t.Qty, s.Decimals);
                total += t.Qty;
            }
            const double left = s.Qty - s.Ordered;
            if (Round(total, s.Decimals) > Round(left, s.Decimals))
                Fail(m_takes[i], s.BillNo,
                     Tr("下推数量 %1 超过未下达采购订单数量 %2，可能已被其他用户下推，请刷新后重新下推")
                         .arg(QtyText(total, s.Decimals), QtyText(left, s.Decimals)));
            if (Round(total, s.Decimals) == Round(left, s.Decimals) && total != left) {
                // Equal at the item's decimals: the entry is ordered in full, not a rounding off it.
                m_takes[end - 1].Qty += left - total;
                total = left;
            }
            for (int k = i; k < end; ++k)
                m_lines[m_takes[k].Line].Qty += m_takes[k].Qty;
            // An entry that gives nothing keeps its version, so nobody's save of it is refused for nothing.
            if (total > 0)
                changes.push_back({m_takes[i].Plan, m_takes[i].Entry, std::min(s.Qty, s.Ordered + total)});
            i = end;
        }
        for (const Take& t : m_takes)
            if (m_lines[t.Line].Qty <= 0)
                Fail(t, t.BillNo,
                     Tr("下推数量必须大于 0：%1").arg(Shown(m_lines[t.Line].Record->Get(kPushQty, {}))));
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
        QVariantList lines;
        for (Line& l : m_lines) {
            Order& o = m_orders[l.Order];
            l.LineNo = ++o.Lines;
            lines << o.Id << l.LineNo << l.ItemId << l.AuxProp << l.UnitId << l.Qty;
            if (!m_hidden)
                lines << l.Price;
            lines << l.Discount << l.Tax << l.FinishDate << l.Memo;
        }
        // Lines of hidden prices are priced by the server once their sources are in.
        const QString price = m_hidden ? QString() : QStringLiteral(" price,");
        WriteRows(lines, m_hidden ? 10 : 11, [&](int rows) -> QString {
            return QStringLiteral("INSERT INTO purchase_order_lines (order_id, line_no, item_id, aux_prop_id,"
                                  " unit_id, qty,") +
                   price + QStringLiteral(" discount_rate, tax_rate, finish_date, memo) VALUES ") +
                   Repeated(m_hidden ? QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                                     : QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                            rows);
        });
        // One source row per line and entry, even when a list names an entry twice.
        QMap<std::tuple<int, qint32, qint32>, double> sources;
        for (const Take& t : m_takes)
            if (t.Qty > 0)
                sources[{t.Line, t.Plan, t.Entry}] += t.Qty;
        QVariantList sourceRows;
        for (auto it = sources.constBegin(); it != sources.constEnd(); ++it) {
            const Line& l = m_lines[std::get<0>(it.key())];
            sourceRows << m_orders[l.Order].Id << l.LineNo << std::get<1>(it.key()) << std::get<2>(it.key())
                       << *it;
        }
        WriteRows(sourceRows, 5, [](int rows) -> QString {
            return QStringLiteral(
                       "INSERT INTO purchase_order_line_sources (order_id, line_no, plan_id, entry_id,"
                       " qty) VALUES ") +
                   Repeated(QStringLiteral("(?, ?, ?, ?, ?)"), rows);
        });
        QVariantList updates;
        if (m_db.IsSQLite()) {
            for (const Change& c : changes)
                updates << c.Ordered << c.Ordered << c.Ordered << c.Plan << c.Entry;
            WriteRows(updates, 5, [](int) -> QString {
                return QStringLiteral(
                    "UPDATE plan_entries SET ordered_qty = ?, unordered_qty = qty - ?, push_qty = qty - ?,"
                    " row_version = row_version + 1 WHERE plan_id = ? AND entry_id = ?");
            });
        } else {
            // The entries are locked already (ReadEntries), so one statement may update them in any order.
            for (const Change& c : changes)
                updates << c.Plan << c.Entry << c.Ordered;
            WriteRows(updates, 3, [](int rows) -> QString {
                return QStringLiteral("UPDATE plan_entries SET ordered_qty = v.column3,"
                                      " unordered_qty = qty - v.column3, push_qty = qty - v.column3,"
                                      " row_version = row_version + 1 FROM (VALUES ") +
                       Repeated(QStringLiteral("(CAST(? AS INTEGER), CAST(? AS INTEGER),"
                                               " CAST(? AS DOUBLE PRECISION))"),
                                rows) +
                       QStringLiteral(") AS v WHERE plan_entries.plan_id = v.column1"
                                      " AND plan_entries.entry_id = v.column2");
            });
        }

        if (m_hidden) {
            for (const Order& o : m_orders) {
                if (m_hook)
                    m_hook();
                const int differing =
                    m_db.Scalar(QStringLiteral("SELECT zpp_price_order_lines(?)"), {o.Id}).toInt();
                if (differing > 0) {
                    const int order = int(&o - m_orders.data());
                    const auto t = std::find_if(m_takes.begin(), m_takes.end(), [&](const Take& t) {
                        return m_lines[t.Line].Order == order && m_lines[t.Line].LineNo == differing;
                    });
                    Fail(*t, t->BillNo, Tr("合并为一行的分录单价不同，不能合并下推，请分开下推"));
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
    void ReadLine(const KeyedRecord& r) {
        Line line;
        line.Record = &r;
        const int index = int(m_lines.size());
        const int firstTake = int(m_takes.size());
        const RecordListPtr members = values::Val(r.Get(kIsMerge, 0)) == 1 ? r.Object(kMembers) : nullptr;
        if (members && members->Count() > 0) {
            for (const RecordPtr& m : *members)
                if (m)
                    ReadTake(*m, index, true);
            if (m_takes.size() == firstTake) // every member had nothing to push
                ReadTake(*members->Item(1), index, false);
        } else {
            ReadTake(r, index, false);
        }
        const Take& first = m_takes[firstTake];

        const QVariant supplier = r.Get(QStringLiteral("FSupplyID"), QVariant());
        const auto supplierId = Id(supplier);
        if (!supplierId)
            Fail(first, first.BillNo, Tr("该分录没有供应商，不能下推"));
        line.Supplier = *supplierId;
        if (r.Exists(QStringLiteral("FItemID")))
            line.Item = Id(r.Get(QStringLiteral("FItemID")));
        line.Price = m_storedPrices ? kFromStore : Amount(r, first, "FPrice", "含税单价", false);
        line.Discount = Amount(r, first, "FDiscountRate", "折扣率", true);
        line.Tax = Amount(r, first, "FTaxRate", "税率", true);
        const QVariant date = r.Get(QStringLiteral("FFinishDate"), QVariant());
        if (date.toString().trimmed().isEmpty() && date.typeId() != QMetaType::QDate)
            line.FinishDate = QVariant(QMetaType::fromType<QString>());
        else if (const auto d = values::ParseDate(date))
            line.FinishDate = values::DisplayDate(*d);
        else
            Fail(first, first.BillNo, Tr("%1“%2”不是有效的日期").arg(Tr("建议交货日期"), Shown(date)));
        line.Memo = store::StoredText(r.Text(QStringLiteral("FMemo")));
        if (const QString fault = store::LengthFault(line.Memo, store::limits::Memo); !fault.isEmpty())
            Fail(first, first.BillNo, fault);

        auto order = std::find_if(m_orders.begin(), m_orders.end(),
                                  [&](const Order& o) { return o.Supplier == line.Supplier; });
        if (order == m_orders.end())
            order = m_orders.insert(m_orders.end(), Order{line.Supplier, {}, {}});
        line.Order = int(order - m_orders.begin());
        m_lines.push_back(std::move(line));
    }

    // A member with nothing to push is left out of a merged line; anything else must push more than 0.
    void ReadTake(const KeyedRecord& r, int line, bool mayBeEmpty) {
        Take t{0,
               0,
               0,
               r.Text(kBillNo).trimmed(),
               line,
               r.Get(kGridRow, QVariant()),
               r.Get(kEntryVersionField, QVariant())};
        const QVariant plan = r.Get(kInterID, QVariant()), entry = r.Get(kEntryID, QVariant());
        const auto planId = Id(plan);
        if (!planId)
            Fail(t, t.BillNo, Tr("%1“%2”不是有效的编号").arg(Tr("采购建议内码"), Shown(plan)));
        t.Plan = *planId;
        const auto entryId = Id(entry);
        if (!entryId)
            Fail(t, t.BillNo, Tr("%1“%2”不是有效的编号").arg(Tr("分录号"), Shown(entry)));
        t.Entry = *entryId;
        const QVariant qty = r.Get(kPushQty, QVariant());
        const auto n = Number(qty);
        if (!n)
            Fail(t, t.BillNo, Tr("%1“%2”不是数字").arg(Tr("下推数量"), Shown(qty)));
        if (*n == 0 && mayBeEmpty)
            return;
        if (*n <= 0)
            Fail(t, t.BillNo, Tr("下推数量必须大于 0：%1").arg(Shown(qty)));
        t.Qty = *n;
        m_takes.push_back(std::move(t));
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
            Fail(first, first.BillNo, Tr(fault).arg(Tr(caption), Shown(v)));
        return *n;
    }

    // Locks and reads the entries of the takes, sorted, a plan's entries a chunk at a time: one
    // statement per entry would cost a round trip each on a server.
    void ReadEntries() {
        constexpr int kChunk = 100;
        int i = 0;
        while (i < m_takes.size()) {
            const qint32 plan = m_takes[i].Plan;
            QVariantList binds{plan};
            for (; i < m_takes.size() && m_takes[i].Plan == plan && binds.size() <= kChunk; ++i)
                if (binds.size() == 1 || binds.back().toInt() != m_takes[i].Entry)
                    binds << m_takes[i].Entry;
            QSqlQuery& read = ReadStatement(int(binds.size()) - 1);
            Run(read, binds);
            while (read.next())
                m_stored.emplace(std::pair{plan, read.value(0).toInt()},
                                 Stored{read.value(1), read.value(2), read.value(3).toString(),
                                        read.value(4).toString(), read.value(5).toDouble(),
                                        read.value(6).toDouble(), read.value(7).toInt(),
                                        read.value(8).toInt(), read.value(9).toInt(),
                                        read.value(10).toDouble(), read.value(11).toLongLong()});
            read.finish();
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

    // Runs the statement that statement(n) gives for n rows over rows of perRow values each. On a
    // server every statement costs a round trip, far more than the rows it carries, so rows go
    // kServerRowsPerStatement at a time; SQLite has no round trips and writes a row a statement.
    template <class Statement> void WriteRows(const QVariantList& values, int perRow, Statement&& statement) {
        constexpr int kServerRowsPerStatement = 500;
        const int batch = m_db.IsSQLite() ? 1 : kServerRowsPerStatement;
        const int rows = int(values.size()) / perRow;
        QHash<int, QSqlQuery> prepared; // by rows per statement: a full batch and the rest
        for (int first = 0; first < rows; first += batch) {
            const int n = std::min(batch, rows - first);
            auto it = prepared.find(n);
            if (it == prepared.end())
                it = prepared.insert(n, m_db.Prepare(statement(n)));
            Run(*it, values.mid(qsizetype(first) * perRow, qsizetype(n) * perRow));
        }
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

    const Stored& Entry(const Take& t) const {
        const auto it = m_stored.find({t.Plan, t.Entry});
        if (it == m_stored.end())
            Fail(t, t.BillNo, Tr("该分录已不存在，可能已被删除"));
        return it->second;
    }

    // The entry against the line that takes from it. The first entry read fixes the line's item.
    void Check(const Take& t, const Stored& s) {
        Line& l = m_lines[t.Line];
        // Another user's save (or push, or close) since the list was read: what the list shows is
        // not what would be ordered.
        if (t.Version.isValid() && !t.Version.isNull() && values::Val(t.Version) != double(s.Version))
            Fail(t, s.BillNo, Tr("该分录已被其他用户修改，请刷新后重新下推"));
        if (m_storedPrices && !m_hidden) {
            if (l.Price == kFromStore)
                l.Price = s.Price;
            else if (std::abs(l.Price - s.Price) > 1e-9 * std::max(1.0, std::abs(s.Price)))
                Fail(t, s.BillNo, Tr("合并为一行的分录单价不同，不能合并下推，请分开下推"));
        }
        if (!s.CloseMark.trimmed().isEmpty())
            Fail(t, s.BillNo, Tr("该分录已关闭，不能下推"));
        if (s.Supplier.isNull())
            Fail(t, s.BillNo, Tr("该分录没有供应商，不能下推"));
        if (s.Supplier.toInt() != l.Supplier)
            Fail(t, s.BillNo, Tr("该分录的供应商已被其他用户修改，请刷新后重新下推"));
        if (l.ItemId == 0) {
            l.ItemId = s.Item;
            l.AuxProp = s.AuxProp.isNull() ? QVariant(QMetaType::fromType<int>()) : s.AuxProp;
            l.UnitId = s.Unit;
        }
        if (s.Item != l.ItemId || (l.Item && *l.Item != s.Item) || s.AuxProp.isNull() != l.AuxProp.isNull() ||
            (!s.AuxProp.isNull() && s.AuxProp.toInt() != l.AuxProp.toInt()))
            Fail(t, s.BillNo, Tr("该分录的物料与下推行不一致"));
    }

    // The user must be allowed every supplier ordered from; a supplier without a rights row is allowed.
    void CheckSuppliers() {
        for (Order& o : m_orders) {
            if (m_hook)
                m_hook();
            const SupplierAccess a = SupplierFor(m_db, m_userId, o.Supplier);
            o.SupplierName = a.Name;
            if (!a.MayUse) {
                const auto t = std::find_if(m_takes.begin(), m_takes.end(), [&](const Take& t) {
                    return m_lines[t.Line].Supplier == o.Supplier;
                });
                Fail(*t, t->BillNo, SupplierRefusal(a.Code));
            }
        }
    }

    // A line above its price-list limit is ordered only when the user was shown it and chose to go
    // on: the price list or the tolerance may have changed since the user was asked.
    void CheckHighPrices() {
        const double tolerance = HighPriceTolerance(m_db);
        auto confirmed = [](const Line& l) {
            return values::Val(l.Record->Get(kHighPriceConfirmedField, 0)) == 1;
        };
        // Each line's first take, found once: a push of a whole plan has as many lines as takes.
        std::vector<const Take*> firstTake(m_lines.size(), nullptr);
        for (const Take& t : m_takes)
            if (!firstTake[t.Line])
                firstTake[t.Line] = &t;
        std::map<PriceKey, std::optional<PriceLimit>> limits;
        if (!m_hidden) {
            std::set<PriceKey> keys;
            for (const Line& l : m_lines)
                if (!confirmed(l))
                    keys.insert({l.Supplier, l.ItemId, l.UnitId});
            limits = HighPriceLimits(m_db, keys, m_billDate, tolerance);
        }
        for (const Line& l : m_lines) {
            if (confirmed(l))
                continue;
            const Take* t = firstTake[&l - m_lines.data()];
            if (m_hidden) {
                // The line's entries hold one price (checked when it is priced); the first one's is judged.
                if (EntryPriceAboveLimit(m_db, t->Plan, t->Entry, l.Supplier, l.ItemId, l.UnitId, m_billDate,
                                         tolerance))
                    Fail(*t, t->BillNo, Tr("单价高于供应商价格表的限价，下推前未经确认；请重新下推"));
                continue;
            }
            const auto it = limits.find({l.Supplier, l.ItemId, l.UnitId});
            if (it == limits.end() || !it->second || !AboveLimit(l.Price, it->second->Allowed))
                continue;
            // Without the price right the user learns that the price is too high, not what it is.
            Fail(*t, t->BillNo,
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
        // Suppliers in one order for every push, so two pushes never wait for each other's locks crosswise.
        std::vector<const Order*> bySupplier;
        for (const Order& o : m_orders)
            bySupplier.push_back(&o);
        std::sort(bySupplier.begin(), bySupplier.end(),
                  [](const Order* a, const Order* b) { return a->Supplier < b->Supplier; });
        for (const Order* order : bySupplier) {
            const Order& o = *order;
            double adding = 0;
            for (const Line& l : m_lines)
                if (l.Supplier == o.Supplier)
                    adding += l.Qty * l.Price;
            const auto over = RefusingCreditOverrun(m_db, o.Supplier, m_hidden ? 0 : adding, m_hidden);
            if (!over)
                continue;
            const auto t = std::find_if(m_takes.begin(), m_takes.end(), [&](const Take& t) {
                return m_lines[t.Line].Supplier == o.Supplier;
            });
            Fail(*t, t->BillNo,
                 Tr("供应商 %1 %2%3，超过信用额度，不能下推").arg(over->Code, over->Name, over->Figures()));
        }
    }

    static QString QtyText(double v, int decimals) {
        return QString::number(Round(v, decimals), 'f', decimals);
    }

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
    QVector<Take> m_takes, m_readTakes;
    std::vector<Line> m_lines, m_readLines;
    std::vector<Order> m_orders, m_readOrders;
    std::map<std::pair<qint32, qint32>, Stored> m_stored;
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
