#include "PriceService.h"
#include "component/host/Access.h"
#include "component/host/Lang.h"
#include "services/access/Rights.h"

#include "platform/records/Values.h"

#include <QHash>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>

namespace zpp::services {

double SupplierListPrice(const store::Store& db, qint32 supplierId, qint32 itemId, qint32 unitId,
                         const QDate& day) {
    QString sql = QStringLiteral("SELECT price FROM supplier_prices WHERE supplier_id = ? AND item_id = ?"
                                 " AND valid_from <= ?");
    QVariantList binds{supplierId, itemId, values::DisplayDate(day)};
    if (unitId != 0) {
        sql += QStringLiteral(" AND unit_id = ?");
        binds << unitId;
    }
    return db.Scalar(sql + QStringLiteral(" ORDER BY valid_from DESC LIMIT 1"), binds).toDouble();
}

EntryKey PushLineEntry(const KeyedRecord& line) {
    return {values::ToInt32(values::Val(line.Get(QStringLiteral("FInterID"), 0))),
            values::ToInt32(values::Val(line.Get(QStringLiteral("FEntryID"), 0)))};
}

std::vector<double> StoredEntryPrices(const store::Store& db, const std::vector<EntryKey>& entries) {
    constexpr size_t kPerStatement = 300;
    std::vector<double> prices(entries.size(), 0.0);
    QHash<int, QSqlQuery> prepared; // by entries: a full statement and the rest
    for (size_t first = 0; first < entries.size(); first += kPerStatement) {
        const int n = int(std::min(kPerStatement, entries.size() - first));
        auto q = prepared.find(n);
        if (q == prepared.end()) {
            QStringList rows;
            for (int k = 0; k < n; ++k)
                rows << QStringLiteral("(CAST(? AS INTEGER), CAST(? AS INTEGER), CAST(? AS INTEGER))");
            q = prepared.insert(
                n,
                db.Prepare(QStringLiteral("WITH k(i, p, e) AS (VALUES ") + rows.join(QStringLiteral(", ")) +
                           QStringLiteral(") SELECT k.i, (SELECT price FROM plan_entries"
                                          " WHERE plan_id = k.p AND entry_id = k.e) FROM k")));
        }
        QVariantList binds;
        binds.reserve(3 * n);
        for (int k = 0; k < n; ++k)
            binds << k << entries[first + size_t(k)].first << entries[first + size_t(k)].second;
        db.Run(*q, binds);
        while (q->next())
            prices[first + size_t(q->value(0).toInt())] = q->value(1).toDouble();
        q->finish();
    }
    return prices;
}

std::optional<double> LastPurchasePrice(const store::Store& db, qint32 supplierId, qint32 itemId) {
    const QVariant price =
        db.Scalar(QStringLiteral(
                      "SELECT l.price FROM purchase_order_lines l JOIN purchase_orders o ON o.id = l.order_id"
                      " WHERE o.supplier_id = ? AND l.item_id = ?"
                      " ORDER BY o.bill_date DESC, o.id DESC, l.line_no DESC LIMIT 1"),
                  {supplierId, itemId});
    if (!price.isValid() || price.isNull())
        return std::nullopt;
    return price.toDouble();
}

RecordPtr PriceService::GetSupplyInfo(const QString&, RecordPtr& request) {
    if (!request)
        throw Error(GetLangString(QStringLiteral("取价请求为空")));
    // Whole numbers only: a fractional or overlong ID is a caller's mistake, not a price of 0.
    auto id = [&](const char* key) {
        const QVariant v = request->Get(QString::fromLatin1(key), 0);
        const double n = values::Val(v);
        if (n != std::floor(n) || n < 0 || n > 2147483647.0)
            throw Error(GetLangString(QStringLiteral("取价请求的 %1“%2”不是有效的编号"))
                            .arg(QString::fromLatin1(key), v.toString()));
        return qint32(n);
    };
    const qint32 supplier = id("SupplyID"), item = id("ItemID"), unit = id("UnitID");
    const bool useLast = values::Val(request->Get(QStringLiteral("UseLastPrice"), 0)) == 1;
    const store::Store& db = *m_session->Db;

    double price = 0;
    QString source = QStringLiteral("None");
    // No price leaves the store for a user without the price right.
    if (supplier > 0 && item > 0 && Holds(*m_session, rights::Price)) {
        std::optional<double> last;
        if (useLast)
            last = LastPurchasePrice(db, supplier, item);
        if (last) {
            price = *last;
            source = QStringLiteral("LastPrice");
        } else if (const double listed = SupplierListPrice(db, supplier, item, unit, QDate::currentDate());
                   listed > 0) {
            price = listed;
            source = QStringLiteral("PriceList");
        }
    }
    RecordPtr answer = KeyedRecord::Create();
    answer->Set(QStringLiteral("AuxPrice"), price);
    answer->Set(QStringLiteral("Price"), price);
    answer->Set(QStringLiteral("PriceSource"), source);
    return answer;
}

} // namespace zpp::services
