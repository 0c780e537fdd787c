// The push of plan entries into purchase orders, shared by the files that each hold a step of it:
// reading the list, settling the entries, the suppliers' checks, the writes. Internal to this folder.
#pragma once

#include "EntryValues.h"
#include "PurchasePlanUpdateService.h"
#include "platform/records/TextTable.h"
#include "services/store/Store.h"

#include <QDate>
#include <QHash>
#include <QSqlQuery>
#include <functional>
#include <vector>

namespace zpp::services::pushing {

using namespace entryvalues;

inline const QString kPushQty = QStringLiteral("FPushQty");
inline const QString kIsMerge = QStringLiteral("FIsMerge");
inline const QString kMembers = QStringLiteral("EntryDataVct");

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
    void Read(const RecordList& pushList);

    bool Empty() const { return m_takes.empty(); }

    // Locks and checks every entry, then writes orders, lines, sources and the entries' quantities.
    RecordListPtr Write(QString& orderIds);

private:
    void ReadLine(const KeyedRecord& r, int position);
    // A member with nothing to push is left out of a merged line; anything else must push more than 0.
    void ReadTake(const KeyedRecord& r, qint32 line, bool mayBeEmpty);
    double Amount(const KeyedRecord& r, const Take& first, const char* key, const char* caption, bool rate);

    // One lock order for every writer of entries: plan, then entry; a list naming an entry twice
    // keeps its order. Lists mostly come in that order already and need no second one.
    void SortTakes();
    int TakeCount() const { return int(m_takes.size()); }
    // The take at a place in lock order.
    size_t TakeAt(int i) const { return m_order.empty() ? size_t(i) : size_t(m_order[size_t(i)]); }

    // Every run starts from the lines as read: the store may undo a run (a deadlock) and run it
    // again, and what the undone run settled here came from rows it no longer holds.
    void Restart();

    // Locks and reads the entries of the takes in lock order, a plan's entries a chunk at a time
    // (one statement per entry would cost a round trip each on a server), and settles what each
    // chunk's entries give up before the next is read, so only a chunk is held at a time.
    void SettleEntries();
    // The takes [first, end) in lock order, all of one entry: checked against it, and what the
    // entry gives up settled before anything is written.
    void SettleEntry(int first, int end, const Stored& s, const QString& billNo);
    QSqlQuery& ReadStatement(int entries);

    // Rows written as they are made, perRow values each (PushWrites.cpp).
    template <class Statement> class Rows;
    template <class Statement> Rows<Statement> RowsOf(Statement statement) const;

    void WriteLines();
    // One source row per line and entry, even when a list names an entry twice, by line, plan and entry.
    void WriteSources();
    // The ordered quantities of the entries that give some up, in lock order.
    void WriteEntries();
    static QString Repeated(const QString& row, int rows);

    // The entry against the take of a line. The first entry read fixes the line's item.
    void Check(const Take& t, size_t at, const Stored& s, const QString& billNo);

    // The first take in lock order of the order's line of that number, or of the order.
    const Take& FirstTakeOfLine(int order, int lineNo) const;
    // The first take in lock order of a line of the order. Every order has one.
    const Take& FirstTakeOfOrder(int order) const;

    // The user must be allowed every supplier ordered from; a supplier without a rights row is allowed.
    void CheckSuppliers();
    // A line above its price-list limit is ordered only when the user was shown it and chose to go
    // on: the price list or the tolerance may have changed since the user was asked.
    void CheckHighPrices();
    // A supplier whose credit control refuses ("3") takes no order beyond its credit line. Checked
    // here, inside the push, with the supplier's row locked: two pushes at once cannot both pass
    // one line, as they could when the list checks it beforehand.
    void CheckCredit();

    static QString QtyText(double v, int decimals);

    const QString& BillNo(const Take& t) const { return m_billNos.At(t.BillNo); }

    [[noreturn]] void Fail(const Take& t, const QString& shownBillNo, const QString& reason) const;

    void Run(QSqlQuery& q, const QVariantList& binds) const;
    QSqlQuery Exec(const QString& sql, const QVariantList& binds) const;
    // The user may stop a long push; its transaction then takes nothing with it.
    static void StopIfAsked();

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

} // namespace zpp::services::pushing
