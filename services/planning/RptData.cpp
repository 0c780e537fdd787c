#include "RptData.h"
#include "component/host/Lang.h"

#include "component/host/PlanFields.h"
#include "component/host/StorableText.h"

#include "platform/records/Values.h"

#include <QHash>
#include <QSqlDriver>
#include <array>
#include <charconv>
#include <sqlite3.h>
#include <string>
#include <string_view>
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

struct ItemInfo {
    QVariant Code, Name, Model, UnitId, UnitName, QtyDecimals, PriceDecimals;
};
struct SupplierInfo {
    QVariant Code, Name;
};

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
    QVariant Text(int c) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, c));
        return QVariant(QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, c)));
    }
    // Recurring texts (dates, close marks, source numbers) share one QString between rows.
    // Rows come sorted by date, so a column often repeats its last text: that is checked
    // before the pool, whose lookups would otherwise hash every text of every row.
    const QVariant& PooledText(int c) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, c));
        const std::string_view raw(p ? p : "", std::size_t(sqlite3_column_bytes(m_stmt, c)));
        LastText& last = m_last[c];
        if (last.Value && raw == last.Raw)
            return *last.Value;
        auto it = m_pool.find(raw);
        if (it == m_pool.end())
            it =
                m_pool
                    .emplace(std::string(raw), QVariant(QString::fromUtf8(raw.data(), qsizetype(raw.size()))))
                    .first;
        last.Raw = it->first;
        last.Value = &it->second;
        return it->second;
    }

private:
    [[noreturn]] void Fail() const {
        throw Error(GetLangString(QStringLiteral("数据库 %1 读取采购计划失败：%2"))
                        .arg(m_storeName, QString::fromUtf8(sqlite3_errmsg(m_db))));
    }
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    struct LastText {
        std::string_view Raw; // views the pool's key
        const QVariant* Value = nullptr;
    };

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_storeName;
    std::unordered_map<std::string, QVariant, TextHash, std::equal_to<>> m_pool;
    std::array<LastText, cStartDate + 1> m_last;
};

// Reads rows of any other store through Qt SQL.
class QtCursor {
public:
    QtCursor(const store::Store& store, const QString& sql, const QVariantList& binds)
        : m_query(store.Exec(sql, binds)) {}
    bool Next() { return m_query.next(); }
    bool Null(int c) const { return m_query.isNull(c); }
    qint64 Int(int c) const { return m_query.value(c).toLongLong(); }
    double Real(int c) const { return m_query.value(c).toDouble(); }
    QVariant Text(int c) const { return QVariant(m_query.value(c).toString()); }
    // Recurring texts (dates, close marks, source numbers) share one QString between rows.
    const QVariant& PooledText(int c) {
        const QString text = m_query.value(c).toString();
        auto it = m_pool.constFind(text);
        if (it != m_pool.constEnd())
            return *it;
        return *m_pool.insert(text, QVariant(text));
    }

private:
    QSqlQuery m_query;
    QHash<QString, QVariant> m_pool;
};

// The text of a plan row's key, "plan_entry".
QVariant RowKey(qint64 planId, qint64 entryId) {
    char chars[48];
    char* end = std::to_chars(chars, chars + 20, planId).ptr;
    *end++ = '_';
    end = std::to_chars(end, end + 20, entryId).ptr;
    return QVariant(QString::fromLatin1(chars, end - chars));
}

template <class Cursor> RecordListPtr BuildRows(Cursor& cur) {
    const auto& keys = PlanRowKeys();
    auto rows = RecordList::Create();
    QHash<qint64, ItemInfo> items;
    QHash<qint64, SupplierInfo> suppliers;
    QHash<qint64, QVariant> auxProps, billNos;
    const QVariant empty{QString()}, zero{0}, zeroReal{0.0};
    while (cur.Next()) {
        const qint64 planId = cur.Int(cPlanId);
        const qint64 entryId = cur.Int(cEntryId);

        const qint64 itemId = cur.Int(cItemId);
        auto item = items.constFind(itemId);
        if (item == items.constEnd())
            item = items.insert(itemId,
                                ItemInfo{cur.Text(cItemCode), cur.Text(cItemName), cur.Text(cItemModel),
                                         QVariant(int(cur.Int(cUnitId))), cur.Text(cUnitName),
                                         QVariant(int(cur.Int(cQtyDec))), QVariant(int(cur.Int(cPriceDec)))});

        const QVariant* auxName = &empty;
        qint64 auxId = 0;
        if (!cur.Null(cAuxId)) {
            auxId = cur.Int(cAuxId);
            auto aux = auxProps.constFind(auxId);
            if (aux == auxProps.constEnd())
                aux = auxProps.insert(auxId, cur.Text(cAuxName));
            auxName = &*aux;
        }

        const QVariant *supplierCode = &empty, *supplierName = &empty;
        qint64 supplierId = 0;
        if (!cur.Null(cSupplierId)) {
            supplierId = cur.Int(cSupplierId);
            auto s = suppliers.constFind(supplierId);
            if (s == suppliers.constEnd())
                s = suppliers.insert(supplierId,
                                     SupplierInfo{cur.Text(cSupplierCode), cur.Text(cSupplierName)});
            supplierCode = &s->Code;
            supplierName = &s->Name;
        }

        auto bill = billNos.constFind(planId);
        if (bill == billNos.constEnd())
            bill = billNos.insert(planId, cur.Text(cBillNo));

        // Built in field order: appending costs less than assigning over default values.
        QVector<QVariant> v;
        v.reserve(kFieldCount);
        auto put = [&](Field f, auto&& value) {
            Q_ASSERT(v.size() == f);
            Q_UNUSED(f);
            v.emplace_back(std::forward<decltype(value)>(value));
        };
        put(fInterID, int(planId));
        put(fEntryID, int(entryId));
        put(fCheckBox, zero);
        put(fVDate, cur.PooledText(cEntryDate));
        put(fClose, cur.PooledText(cClose));
        put(fItemNumber, item->Code);
        put(fItemName, item->Name);
        put(fItemModel, item->Model);
        put(fAuxProp, *auxName);
        put(fSupplyNumber, *supplierCode);
        put(fSupplyName, *supplierName);
        put(fUnitName, item->UnitName);
        put(fQty, cur.Real(cQty));
        put(fPurchaseFinishQty, cur.Real(cOrdered));
        put(fPurchaseUnFinishQty, cur.Real(cUnordered));
        put(fPushQty, cur.Real(cPushQty));
        put(fPrice, cur.Real(cPrice));
        put(fDiscountRate, cur.Real(cDiscount));
        put(fTaxRate, cur.Real(cTaxRate));
        put(fFinishDate, cur.Null(cFinishDate) ? empty : cur.PooledText(cFinishDate));
        put(fBillNo, *bill);
        put(fSourceNo, cur.PooledText(cSourceNo));
        put(fMemo, cur.PooledText(cMemo));
        put(fItemID, int(itemId));
        put(fUnitID, item->UnitId);
        put(fAuxPropID, int(auxId));
        put(fStartDate, cur.Null(cStartDate) ? empty : cur.PooledText(cStartDate));
        put(fSupplyID, int(supplierId));
        put(fKey, RowKey(planId, entryId));
        put(fIsMerge, zero);
        put(fStartKey, empty);
        put(fEndKey, empty);
        put(fMergeSumQty, zeroReal);
        put(fQtyDecimal, item->QtyDecimals);
        put(fPriceDecimal, item->PriceDecimals);
        put(fVersion, cur.Int(cVersion));
        rows->Add(std::make_shared<KeyedRecord>(keys, std::move(v)));
    }
    return rows;
}

sqlite3* SQLiteHandle(const store::Store& store) {
    if (!store.IsSQLite())
        return nullptr;
    const QVariant handle = store.Db().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
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
    QString sql = QStringLiteral(
        "SELECT p.id, e.entry_id, e.entry_date, e.close_mark, e.item_id, i.code, i.name, i.model,"
        " i.unit_id, u.name, i.qty_decimals, i.price_decimals, e.aux_prop_id, a.name,"
        " e.supplier_id, s.code, s.name, e.qty, e.ordered_qty, e.unordered_qty, e.push_qty, e.price,"
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
    }
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY e.entry_date, p.bill_no") + c + QStringLiteral(", e.entry_id");
    return sql;
}

RecordListPtr ReadRptData(const store::Store& store, const RptFilter& filter) {
    QVariantList binds;
    const QString sql = RptDataSql(store, filter, binds);
    if (sqlite3* db = SQLiteHandle(store)) {
        SQLiteCursor cur(db, sql, binds, store.DisplayName());
        return BuildRows(cur);
    }
    QtCursor cur(store, sql, binds);
    return BuildRows(cur);
}

} // namespace zpp::services
