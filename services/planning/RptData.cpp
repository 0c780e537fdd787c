// The plan query: the filter read from the conditions, the statement, and the choice of the
// reader that suits the store.
#include "RptData.h"

#include "PgRowCursor.h"
#include "PlanRows.h"
#include "RptDataSQLite.h"

#include "component/host/Lang.h"
#include "component/host/LongWork.h"
#include "platform/records/StorableText.h"
#include "platform/records/Values.h"

#include <QHash>
#include <string_view>

namespace zpp::services {

namespace {

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
    if (sqlite3* db = rptdata::SQLiteHandle(store))
        return rptdata::ReadSQLite(db, sql, binds, store.DisplayName(), filter.WithPrices);
    store.Revive();
    if (PGconn* conn = store.PgConnection()) {
        // A long read keeps its progress window and the user's cancel instead of a time limit.
        const store::Store::Unlimited unlimited(store);
        PgRowCursor cur(conn, sql, binds, store.DisplayName(), &longwork::KeepGoing);
        return rptdata::BuildRows(cur, filter.WithPrices);
    }
    QtCursor cur(store, sql, binds);
    return rptdata::BuildRows(cur, filter.WithPrices);
}

} // namespace zpp::services
