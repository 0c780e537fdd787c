#include "HighPrice.h"

#include "PriceService.h"
#include "platform/records/Values.h"

#include <QSqlQuery>
#include <algorithm>
#include <cmath>

namespace zpp::services {

double HighPriceTolerance(const store::Store& db) {
    const QString text =
        db
            .Scalar(QStringLiteral(
                "SELECT value FROM system_settings WHERE section = 'PO' AND key = 'HighPriceTolerance'"))
            .toString();
    if (!values::IsNumber(text))
        return 0;
    const double tolerance = values::Val(text);
    return std::isfinite(tolerance) ? std::max(0.0, tolerance) : 0;
}

std::optional<PriceLimit> HighPriceLimit(const store::Store& db, qint32 supplierId, qint32 itemId,
                                         qint32 unitId, const QDate& day, double tolerance) {
    const double listPrice = SupplierListPrice(db, supplierId, itemId, unitId, day);
    if (listPrice <= 0)
        return std::nullopt;
    return PriceLimit{listPrice, listPrice * (1 + tolerance / 100)};
}

std::map<PriceKey, std::optional<PriceLimit>>
HighPriceLimits(const store::Store& db, const std::set<PriceKey>& keys, const QDate& day, double tolerance) {
    constexpr int kKeysPerStatement = 300;
    std::map<PriceKey, std::optional<PriceLimit>> limits;
    std::vector<PriceKey> all(keys.begin(), keys.end());
    for (size_t first = 0; first < all.size(); first += kKeysPerStatement) {
        const size_t n = std::min<size_t>(kKeysPerStatement, all.size() - first);
        QVariantList binds;
        QStringList rows;
        for (size_t k = first; k < first + n; ++k) {
            const auto& [supplier, item, unit] = all[k];
            binds << supplier << item << unit;
            rows << QStringLiteral("(CAST(? AS INTEGER), CAST(? AS INTEGER), CAST(? AS INTEGER))");
            limits[all[k]] = std::nullopt;
        }
        binds << values::DisplayDate(day);
        QSqlQuery q = db.Exec(
            QStringLiteral("WITH k(s, i, u) AS (VALUES ") + rows.join(QStringLiteral(", ")) +
                QStringLiteral(
                    ") SELECT k.s, k.i, k.u, (SELECT sp.price FROM supplier_prices sp"
                    " WHERE sp.supplier_id = k.s AND sp.item_id = k.i AND (k.u = 0 OR sp.unit_id = k.u)"
                    " AND sp.valid_from <= ? ORDER BY sp.valid_from DESC LIMIT 1) FROM k"),
            binds);
        while (q.next()) {
            const double listPrice = q.value(3).toDouble();
            if (listPrice > 0)
                limits[{q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt()}] =
                    PriceLimit{listPrice, listPrice * (1 + tolerance / 100)};
        }
    }
    return limits;
}

bool EntryPriceAboveLimit(const store::Store& db, qint32 planId, qint32 entryId, qint32 supplierId,
                          qint32 itemId, qint32 unitId, const QDate& day, double tolerance) {
    return db
        .Scalar(QStringLiteral("SELECT zpp_entry_price_above_limit(?, ?, ?, ?, ?, ?, ?)"),
                {planId, entryId, supplierId, itemId, unitId, values::DisplayDate(day), tolerance})
        .toBool();
}

bool AboveLimit(double price, double allowed) {
    return price > allowed + 1e-9 * std::max(1.0, allowed);
}

QVector<HighPriceLine> FindHighPriceLines(const store::Store& db, const RecordListPtr& pushList,
                                          const QDate& day, bool storedPrices, bool hiddenPrices) {
    QVector<HighPriceLine> above;
    if (!pushList)
        return above;
    const double tolerance = HighPriceTolerance(db);
    auto idOf = [](const RecordPtr& r, const char* key) {
        return qint32(values::Val(r->Get(QString::fromLatin1(key), 0)));
    };
    std::map<PriceKey, std::optional<PriceLimit>> limits;
    if (!hiddenPrices) {
        std::set<PriceKey> keys;
        for (int i = 1; i <= pushList->Count(); ++i)
            if (const RecordPtr& r = pushList->Item(i))
                keys.insert({idOf(r, "FSupplyID"), idOf(r, "FItemID"), idOf(r, "FUnitID")});
        limits = HighPriceLimits(db, keys, day, tolerance);
    }
    for (int i = 1; i <= pushList->Count(); ++i) {
        const RecordPtr& r = pushList->Item(i);
        if (!r)
            continue;
        auto id = [&](const char* key) { return idOf(r, key); };
        std::optional<PriceLimit> limit;
        double price = 0;
        if (hiddenPrices) {
            if (!EntryPriceAboveLimit(db, id("FInterID"), id("FEntryID"), id("FSupplyID"), id("FItemID"),
                                      id("FUnitID"), day, tolerance))
                continue;
            limit = PriceLimit{};
        } else {
            limit = limits[{id("FSupplyID"), id("FItemID"), id("FUnitID")}];
            if (!limit)
                continue;
            price =
                storedPrices ? StoredEntryPrice(db, *r) : values::Val(r->Get(QStringLiteral("FPrice"), 0));
            if (!AboveLimit(price, limit->Allowed))
                continue;
        }
        HighPriceLine line;
        line.Position = i;
        const int gridRow = int(values::Val(r->Get(QStringLiteral("Row"), 0)));
        line.GridRow = gridRow > 0 ? gridRow : i;
        line.ItemNumber = r->Text(QStringLiteral("FItemNumber"));
        line.ItemName = r->Text(QStringLiteral("FItemName"));
        line.SupplyNumber = r->Text(QStringLiteral("FSupplyNumber"));
        line.SupplyName = r->Text(QStringLiteral("FSupplyName"));
        line.Price = price;
        line.Allowed = limit->Allowed;
        line.ListPrice = limit->ListPrice;
        above << line;
    }
    return above;
}

} // namespace zpp::services
