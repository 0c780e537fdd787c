#include "RptData.h"
#include "PgRowCursor.h"
#include "component/host/Lang.h"
#include "component/host/LongWork.h"

#include "component/host/PlanFields.h"
#include "platform/records/StorableText.h"

#include "platform/records/Values.h"

#include <QHash>
#include <QSqlDriver>
#include <array>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace zpp::services {

namespace {

// Columns of the statement, in select order.
enum Col {
    cPlanId,
    cEntryId,
    cEntryDate,
    cClose,
    cItemId,
    cItemCode,
    cItemName,
    cItemModel,
    cUnitId,
    cUnitName,
    cQtyDec,
    cPriceDec,
    cAuxId,
    cAuxName,
    cSupplierId,
    cSupplierCode,
    cSupplierName,
    cQty,
    cOrdered,
    cUnordered,
    cPushQty,
    cPrice,
    cDiscount,
    cTaxRate,
    cFinishDate,
    cBillNo,
    cSourceNo,
    cMemo,
    cStartDate,
    cVersion,
};

// Positions of the fields in a plan row (grid column - 1).
enum Field {
    fInterID,
    fEntryID,
    fCheckBox,
    fVDate,
    fClose,
    fItemNumber,
    fItemName,
    fItemModel,
    fAuxProp,
    fSupplyNumber,
    fSupplyName,
    fUnitName,
    fQty,
    fPurchaseFinishQty,
    fPurchaseUnFinishQty,
    fPushQty,
    fPrice,
    fDiscountRate,
    fTaxRate,
    fFinishDate,
    fBillNo,
    fSourceNo,
    fMemo,
    fItemID,
    fUnitID,
    fAuxPropID,
    fStartDate,
    fSupplyID,
    fKey,
    fIsMerge,
    fStartKey,
    fEndKey,
    fMergeSumQty,
    fQtyDecimal,
    fPriceDecimal,
    fVersion,
    kFieldCount
};

QString DateBound(const KeyedRecord* conditions, const QString& key) {
    if (!conditions || !conditions->Exists(key))
        return {};
    const QVariant v = conditions->Get(key);
    if (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty())
        return {};
    const auto date = values::ParseDate(v);
    if (!date)
        throw Error(GetLangString(QStringLiteral("过滤条件 %1 的值“%2”不是有效日期"))
                        .arg(key, v.toString().left(40)));
    return values::DisplayDate(*date);
}

QString TextBound(const KeyedRecord* conditions, const QString& key) {
    return conditions ? StorableText(conditions->Text(key)) : QString();
}

// Reads SQLite rows through the C API of Qt's own connection.
class SQLiteCursor {
public:
    SQLiteCursor(sqlite3* db, const QString& sql, const QVariantList& binds, const QString& storeName)
        : m_db(db), m_storeName(storeName) {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK)
            Fail();
        for (int i = 0; i < binds.size(); ++i) {
            const QByteArray text = binds[i].toString().toUtf8();
            sqlite3_bind_text(m_stmt, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    }
    ~SQLiteCursor() { sqlite3_finalize(m_stmt); }
    SQLiteCursor(const SQLiteCursor&) = delete;
    SQLiteCursor& operator=(const SQLiteCursor&) = delete;

    bool Next() {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            Fail();
        return false;
    }
    bool Null(int c) const { return sqlite3_column_type(m_stmt, c) == SQLITE_NULL; }
    qint64 Int(int c) const { return sqlite3_column_int64(m_stmt, c); }
    double Real(int c) const { return sqlite3_column_double(m_stmt, c); }
    std::string_view Raw(int c) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, c));
        return {p ? p : "", std::size_t(sqlite3_column_bytes(m_stmt, c))};
    }

private:
    [[noreturn]] void Fail() const {
        throw Error(GetLangString(QStringLiteral("数据库 %1 读取采购计划失败：%2"))
                        .arg(m_storeName, QString::fromUtf8(sqlite3_errmsg(m_db))));
    }

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_storeName;
};

// Reads rows of any other store through Qt SQL.
class QtCursor {
public:
    QtCursor(const store::Store& store, const QString& sql, const QVariantList& binds)
        : m_query(store.Exec(sql, binds)) {}
    bool Next() {
        m_raw.clear();
        return m_query.next();
    }
    bool Null(int c) const { return m_query.isNull(c); }
    qint64 Int(int c) const { return m_query.value(c).toLongLong(); }
    double Real(int c) const { return m_query.value(c).toDouble(); }
    std::string_view Raw(int c) {
        QByteArray& bytes = m_raw[c];
        bytes = m_query.value(c).toString().toUtf8();
        return {bytes.constData(), std::size_t(bytes.size())};
    }

private:
    QSqlQuery m_query;
    QHash<int, QByteArray> m_raw;
};

// The plan rows in compact form: ids, quantities and indices into shared texts, about 110 bytes
// a row where records of values took 1.2 KB. Each value is made when asked for, with the type
// a record of the row always had.
class PlanRows final : public RowSource {
public:
    struct Item {
        QVariant Id, Code, Name, Model, UnitId, UnitName, QtyDecimals, PriceDecimals;
    };
    struct Named {
        QVariant Id, Code, Name;
    };
    struct Row {
        qint32 Plan, Entry;
        quint32 Item, Aux, Supplier;                              // indices into the tables
        quint32 Date, Close, Finish, BillNo, Source, Memo, Start; // indices into the texts
        double Qty, Ordered, Unordered, Push, Price, Discount, Tax;
        qint64 Version;
    };

    explicit PlanRows(bool withPrices) : m_withPrices(withPrices) {
        m_texts.push_back(QVariant(QString())); // text 0: empty, also for a NULL date
        m_named.push_back({QVariant(0), QVariant(QString()), QVariant(QString())}); // 0: none
    }

    int Rows() const override { return m_count; }
    const std::shared_ptr<const KeySet>& Keys() const override { return PlanRowKeys(); }
    QVariant Value(int row, int field) const override {
        static const QVariant zero{0}, zeroReal{0.0}, empty{QString()};
        const Row& r = m_chunks[std::size_t(row) >> kChunkBits][std::size_t(row) & (kChunk - 1)];
        const Item& item = m_items[r.Item];
        switch (Field(field)) {
        case fInterID:
            return QVariant(int(r.Plan));
        case fEntryID:
            return QVariant(int(r.Entry));
        case fCheckBox:
            return zero;
        case fVDate:
            return m_texts[r.Date];
        case fClose:
            return m_texts[r.Close];
        case fItemNumber:
            return item.Code;
        case fItemName:
            return item.Name;
        case fItemModel:
            return item.Model;
        case fAuxProp:
            return m_named[r.Aux].Name;
        case fSupplyNumber:
            return m_named[r.Supplier].Code;
        case fSupplyName:
            return m_named[r.Supplier].Name;
        case fUnitName:
            return item.UnitName;
        case fQty:
            return QVariant(r.Qty);
        case fPurchaseFinishQty:
            return QVariant(r.Ordered);
        case fPurchaseUnFinishQty:
            return QVariant(r.Unordered);
        case fPushQty:
            return QVariant(r.Push);
        case fPrice:
            return m_withPrices ? QVariant(r.Price) : QVariant();
        case fDiscountRate:
            return QVariant(r.Discount);
        case fTaxRate:
            return QVariant(r.Tax);
        case fFinishDate:
            return m_texts[r.Finish];
        case fBillNo:
            return m_texts[r.BillNo];
        case fSourceNo:
            return m_texts[r.Source];
        case fMemo:
            return m_texts[r.Memo];
        case fItemID:
            return item.Id;
        case fUnitID:
            return item.UnitId;
        case fAuxPropID:
            return m_named[r.Aux].Id;
        case fStartDate:
            return m_texts[r.Start];
        case fSupplyID:
            return m_named[r.Supplier].Id;
        case fKey:
            return RowKey(r.Plan, r.Entry);
        case fIsMerge:
            return zero;
        case fStartKey:
            return empty;
        case fEndKey:
            return empty;
        case fMergeSumQty:
            return zeroReal;
        case fQtyDecimal:
            return item.QtyDecimals;
        case fPriceDecimal:
            return item.PriceDecimals;
        case fVersion:
            return QVariant(r.Version);
        case kFieldCount:
            break;
        }
        return {};
    }

    int SharedValueId(int row, int field) const override {
        const Row& r = m_chunks[std::size_t(row) >> kChunkBits][std::size_t(row) & (kChunk - 1)];
        switch (Field(field)) {
        case fVDate:
            return int(r.Date);
        case fClose:
            return int(r.Close);
        case fFinishDate:
            return int(r.Finish);
        case fBillNo:
            return int(r.BillNo);
        case fSourceNo:
            return int(r.Source);
        case fMemo:
            return int(r.Memo);
        case fStartDate:
            return int(r.Start);
        case fItemNumber:
        case fItemName:
        case fItemModel:
        case fUnitName:
        case fItemID:
        case fUnitID:
        case fQtyDecimal:
        case fPriceDecimal:
            return int(r.Item);
        case fAuxProp:
        case fAuxPropID:
            return int(r.Aux);
        case fSupplyNumber:
        case fSupplyName:
        case fSupplyID:
            return int(r.Supplier);
        case fCheckBox:
        case fIsMerge:
        case fStartKey:
        case fEndKey:
        case fMergeSumQty:
            return 0; // the same in every row
        default:
            return -1;
        }
    }

    template <class Cursor> void Read(Cursor& cur);

private:
    // The text of a plan row's key, "plan_entry".
    static QVariant RowKey(qint64 planId, qint64 entryId) {
        char chars[48];
        char* end = std::to_chars(chars, chars + 20, planId).ptr;
        *end++ = '_';
        end = std::to_chars(end, end + 20, entryId).ptr;
        return QVariant(QString::fromLatin1(chars, end - chars));
    }

    // Rows in chunks: a growing list never copies what it holds, nor asks for one huge block.
    static constexpr int kChunkBits = 14, kChunk = 1 << kChunkBits;
    std::vector<std::unique_ptr<Row[]>> m_chunks;
    int m_count = 0;
    std::vector<Item> m_items;
    std::vector<Named> m_named; // aux properties and suppliers (Code unused for aux properties)
    std::vector<QVariant> m_texts;
    bool m_withPrices;
};

// Recurring texts (dates, close marks, plan and source numbers, notes) are kept once. Rows come
// sorted by date, so a column often repeats its last text: that is checked before the pool,
// whose lookups would otherwise hash every text of every row.
class TextPool {
public:
    explicit TextPool(std::vector<QVariant>& texts) : m_texts(texts) { m_index.emplace(std::string(), 0); }
    quint32 Index(int column, std::string_view raw) {
        LastText& last = m_last[std::size_t(column)];
        if (last.Valid && raw == last.Raw)
            return last.Index;
        auto it = m_index.find(raw);
        if (it == m_index.end()) {
            it = m_index.emplace(std::string(raw), quint32(m_texts.size())).first;
            m_texts.push_back(QVariant(QString::fromUtf8(raw.data(), qsizetype(raw.size()))));
        }
        last = {it->first, it->second, true};
        return it->second;
    }

private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    struct LastText {
        std::string_view Raw; // views the index's key
        quint32 Index = 0;
        bool Valid = false;
    };
    std::vector<QVariant>& m_texts;
    std::unordered_map<std::string, quint32, TextHash, std::equal_to<>> m_index;
    std::array<LastText, cVersion + 1> m_last;
};

QVariant Utf8(std::string_view raw) {
    return QVariant(QString::fromUtf8(raw.data(), qsizetype(raw.size())));
}

template <class Cursor> void PlanRows::Read(Cursor& cur) {
    TextPool pool(m_texts);
    QHash<qint64, quint32> items, auxProps, suppliers;
    auto namedIndex = [&](QHash<qint64, quint32>& known, int idCol, int codeCol, int nameCol) -> quint32 {
        if (cur.Null(idCol))
            return 0;
        const qint64 id = cur.Int(idCol);
        auto it = known.constFind(id);
        if (it != known.constEnd())
            return *it;
        m_named.push_back({QVariant(int(id)), codeCol < 0 ? QVariant(QString()) : Utf8(cur.Raw(codeCol)),
                           Utf8(cur.Raw(nameCol))});
        return *known.insert(id, quint32(m_named.size() - 1));
    };
    while (cur.Next()) {
        Row r;
        r.Plan = qint32(cur.Int(cPlanId));
        r.Entry = qint32(cur.Int(cEntryId));
        const qint64 itemId = cur.Int(cItemId);
        auto item = items.constFind(itemId);
        if (item == items.constEnd()) {
            m_items.push_back({QVariant(int(itemId)), Utf8(cur.Raw(cItemCode)), Utf8(cur.Raw(cItemName)),
                               Utf8(cur.Raw(cItemModel)), QVariant(int(cur.Int(cUnitId))),
                               Utf8(cur.Raw(cUnitName)), QVariant(int(cur.Int(cQtyDec))),
                               QVariant(int(cur.Int(cPriceDec)))});
            item = items.insert(itemId, quint32(m_items.size() - 1));
        }
        r.Item = *item;
        r.Aux = namedIndex(auxProps, cAuxId, -1, cAuxName);
        r.Supplier = namedIndex(suppliers, cSupplierId, cSupplierCode, cSupplierName);
        r.Date = pool.Index(cEntryDate, cur.Raw(cEntryDate));
        r.Close = pool.Index(cClose, cur.Raw(cClose));
        r.Finish = cur.Null(cFinishDate) ? 0 : pool.Index(cFinishDate, cur.Raw(cFinishDate));
        r.BillNo = pool.Index(cBillNo, cur.Raw(cBillNo));
        r.Source = pool.Index(cSourceNo, cur.Raw(cSourceNo));
        r.Memo = pool.Index(cMemo, cur.Raw(cMemo));
        r.Start = cur.Null(cStartDate) ? 0 : pool.Index(cStartDate, cur.Raw(cStartDate));
        r.Qty = cur.Real(cQty);
        r.Ordered = cur.Real(cOrdered);
        r.Unordered = cur.Real(cUnordered);
        r.Push = cur.Real(cPushQty);
        r.Price = cur.Real(cPrice);
        r.Discount = cur.Real(cDiscount);
        r.Tax = cur.Real(cTaxRate);
        r.Version = cur.Int(cVersion);
        if ((m_count & (kChunk - 1)) == 0)
            m_chunks.push_back(std::make_unique_for_overwrite<Row[]>(kChunk));
        m_chunks.back()[std::size_t(m_count & (kChunk - 1))] = r;
        ++m_count;
    }
}

template <class Cursor> RecordListPtr BuildRows(Cursor& cur, bool withPrices) {
    auto rows = std::make_shared<PlanRows>(withPrices);
    rows->Read(cur);
    return RecordList::Over(std::move(rows));
}

sqlite3* SQLiteHandle(const store::Store& store) {
    if (!store.IsSQLite())
        return nullptr;
    const QVariant handle = store.Db().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

// Reads the rows on a worker thread while this one keeps asking whether to go on: SQLite sorts a
// big plan inside a single step, and the progress window must paint and take a Cancel meanwhile.
// The worker reads through a read-only connection of its own (WAL lets it read beside Qt's), so
// whatever this thread does meanwhile never shares a connection with it; sqlite3_interrupt is
// the call SQLite allows from another thread. A store without a file is read here, uncancelled.
RecordListPtr ReadSQLite(sqlite3* db, const QString& sql, const QVariantList& binds, const QString& name,
                         bool withPrices) {
    if (!longwork::KeepGoing())
        throw Cancelled(GetLangString(QStringLiteral("读取采购计划已取消")));
    const char* file = sqlite3_db_filename(db, "main");
    sqlite3* own = nullptr;
    if (file && *file &&
        sqlite3_open_v2(file, &own, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(own);
        own = nullptr;
    }
    if (!own) {
        SQLiteCursor cur(db, sql, binds, name);
        return BuildRows(cur, withPrices);
    }
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(own, &sqlite3_close);
    sqlite3_busy_timeout(own, 5000);
    SQLiteCursor cur(own, sql, binds, name);
    auto rows = std::make_shared<PlanRows>(withPrices);
    std::exception_ptr readFailure, pollFailure;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false, stopped = false;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                rows->Read(cur);
            } catch (...) {
                readFailure = std::current_exception();
            }
            const std::lock_guard lock(mutex);
            done = true;
            finished.notify_one();
        });
    } catch (const std::system_error&) {
        // No thread to be had: read here, uncancelled, as a store without a file is.
        return BuildRows(cur, withPrices);
    }
    {
        // The worker reads through cur and own: it is stopped and joined on every way out.
        struct Join {
            std::thread& t;
            sqlite3* db;
            ~Join() {
                if (t.joinable()) {
                    sqlite3_interrupt(db);
                    t.join();
                }
            }
        } join{worker, own};
        for (;;) {
            {
                std::unique_lock lock(mutex);
                if (finished.wait_for(lock, std::chrono::milliseconds(10), [&] { return done; }))
                    break;
            }
            if (stopped || pollFailure)
                continue;
            try {
                stopped = !longwork::KeepGoing();
            } catch (...) {
                pollFailure = std::current_exception();
            }
            if (stopped || pollFailure)
                sqlite3_interrupt(own);
        }
        worker.join();
    }
    if (pollFailure)
        std::rethrow_exception(pollFailure);
    if (stopped)
        throw Cancelled(GetLangString(QStringLiteral("读取采购计划已取消")));
    if (readFailure)
        std::rethrow_exception(readFailure);
    return RecordList::Over(std::move(rows));
}

} // namespace

RptFilter RptFilter::FromConditions(const KeyedRecord* conditions, const QString& billNo) {
    RptFilter f;
    f.BillNo = billNo;
    if (!billNo.isEmpty())
        return f;
    f.FromDate = DateBound(conditions, QStringLiteral("BDate"));
    f.ToDate = DateBound(conditions, QStringLiteral("EDate"));
    f.FromItem = TextBound(conditions, QStringLiteral("BItemNumber"));
    f.ToItem = TextBound(conditions, QStringLiteral("EItemNumber"));
    f.FromBill = TextBound(conditions, QStringLiteral("BBillNo"));
    f.ToBill = TextBound(conditions, QStringLiteral("EBillNo"));
    f.HideClosed = conditions && values::Val(conditions->Get(QStringLiteral("Closed"), 0)) == 1;
    f.OnlyUnordered = conditions && values::Val(conditions->Get(QStringLiteral("Unordered"), 0)) == 1;
    return f;
}

const std::shared_ptr<const KeySet>& PlanRowKeys() {
    static const std::shared_ptr<const KeySet> keys = [] {
        auto k = std::make_shared<KeySet>();
        for (const QString& name : PlanFieldNames())
            k->Append(name);
        k->Append(kEntryVersionField);
        Q_ASSERT(k->Count() == kFieldCount);
        return std::shared_ptr<const KeySet>(std::move(k));
    }();
    return keys;
}

QString RptDataSql(const store::Store& store, const RptFilter& filter, QVariantList& binds) {
    // PostgreSQL compares text by the database's locale unless told otherwise; byte order
    // matches SQLite, so both stores give the same rows in the same order.
    const QString c = store.IsSQLite() ? QString() : QStringLiteral(" COLLATE \"C\"");
    QString sql =
        QStringLiteral(
            "SELECT p.id, e.entry_id, e.entry_date, e.close_mark, e.item_id, i.code, i.name, i.model,"
            " i.unit_id, u.name, i.qty_decimals, i.price_decimals, e.aux_prop_id, a.name,"
            " e.supplier_id, s.code, s.name, e.qty, e.ordered_qty, e.unordered_qty, e.push_qty,") +
        (filter.WithPrices ? QStringLiteral(" e.price,") : QStringLiteral(" 0,")) +
        QStringLiteral(
            " e.discount_rate, e.tax_rate, e.finish_date, p.bill_no, e.source_no, e.memo, e.start_date,"
            " e.row_version"
            " FROM plan_entries e"
            " JOIN purchase_plans p ON p.id = e.plan_id"
            " JOIN items i ON i.id = e.item_id"
            " JOIN units u ON u.id = i.unit_id"
            " LEFT JOIN aux_props a ON a.id = e.aux_prop_id"
            " LEFT JOIN suppliers s ON s.id = e.supplier_id");
    QStringList where;
    auto bound = [&](const QString& value, const QString& condition) {
        if (value.isEmpty())
            return;
        where << condition;
        binds << value;
    };
    binds.clear();
    if (!filter.BillNo.isEmpty()) {
        bound(filter.BillNo, QStringLiteral("p.bill_no = ?"));
    } else {
        bound(filter.FromDate, QStringLiteral("e.entry_date >= ?"));
        bound(filter.ToDate, QStringLiteral("e.entry_date <= ?"));
        bound(filter.FromItem, QStringLiteral("i.code") + c + QStringLiteral(" >= ?"));
        bound(filter.ToItem, QStringLiteral("i.code") + c + QStringLiteral(" <= ?"));
        bound(filter.FromBill, QStringLiteral("p.bill_no") + c + QStringLiteral(" >= ?"));
        bound(filter.ToBill, QStringLiteral("p.bill_no") + c + QStringLiteral(" <= ?"));
        if (filter.HideClosed)
            where << QStringLiteral("e.close_mark = ''");
        if (filter.OnlyUnordered) {
            // At least half the item's smallest unit, which the list shows as a quantity above 0.
            // A CASE of constants typed as the column costs next to nothing beside the row read;
            // ROUND would format every value (and PostgreSQL rounds only numerics).
            const QString real =
                store.IsSQLite() ? QStringLiteral(" AS REAL)") : QStringLiteral(" AS DOUBLE PRECISION)");
            const auto half = [&](int decimals) -> QString {
                return QStringLiteral("CAST(0.") + QString(decimals, u'0') + u'5' + real;
            };
            QString halfUnit = QStringLiteral("CASE i.qty_decimals");
            for (int d = 0; d < 10; ++d)
                halfUnit += QStringLiteral(" WHEN %1 THEN ").arg(d) + half(d);
            halfUnit += QStringLiteral(" ELSE ") + half(10) + QStringLiteral(" END");
            where << QStringLiteral("e.unordered_qty >= ") + halfUnit;
        }
    }
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY e.entry_date, p.bill_no") + c + QStringLiteral(", e.entry_id");
    return sql;
}

RecordListPtr ReadRptData(const store::Store& store, const RptFilter& filter) {
    QVariantList binds;
    const QString sql = RptDataSql(store, filter, binds);
    if (sqlite3* db = SQLiteHandle(store))
        return ReadSQLite(db, sql, binds, store.DisplayName(), filter.WithPrices);
    store.Revive();
    if (PGconn* conn = store.PgConnection()) {
        // A long read keeps its progress window and the user's cancel instead of a time limit.
        const store::Store::Unlimited unlimited(store);
        PgRowCursor cur(conn, sql, binds, store.DisplayName(), &longwork::KeepGoing);
        return BuildRows(cur, filter.WithPrices);
    }
    QtCursor cur(store, sql, binds);
    return BuildRows(cur, filter.WithPrices);
}

} // namespace zpp::services
