#include "HighPrice.h"

#include "PriceService.h"
#include "component/host/Lang.h"
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

std::vector<int> LinesAboveLimit(const store::Store& db, const std::vector<HiddenPriceLine>& lines,
                                 std::vector<int>* unsaved) {
    constexpr size_t kPerCall = 1000;
    const QString above = QStringLiteral("SELECT 0, n FROM zpp_entries_above_limit(CAST(? AS INTEGER[]),"
                                         " CAST(? AS INTEGER[])) AS n");
    // Asked in the same round trip: the supplier of each line's entry as stored.
    const QString moved =
        QStringLiteral(" UNION ALL SELECT 1, u.n FROM unnest(CAST(? AS INTEGER[]), CAST(? AS INTEGER[]),"
                       " CAST(? AS INTEGER[])) WITH ORDINALITY AS u(plan_id, entry_id, supplier_id, n)"
                       " JOIN plan_entries e ON e.plan_id = u.plan_id AND e.entry_id = u.entry_id"
                       " WHERE e.supplier_id IS DISTINCT FROM u.supplier_id");
    std::vector<int> found;
    for (size_t first = 0; first < lines.size(); first += kPerCall) {
        const size_t last = std::min(lines.size(), first + kPerCall);
        QString arrays[3];
        for (size_t i = first; i < last; ++i) {
            const HiddenPriceLine& l = lines[i];
            const qint32 values[3] = {l.Plan, l.Entry, l.Supplier};
            for (int a = 0; a < 3; ++a)
                arrays[a] += (i == first ? u'{' : u',') + QString::number(values[a]);
        }
        for (QString& a : arrays)
            a += u'}';
        QVariantList binds{arrays[0], arrays[1]};
        if (unsaved)
            binds << arrays[0] << arrays[1] << arrays[2];
        QSqlQuery q = db.Exec(unsaved ? above + moved : above, binds);
        while (q.next())
            (q.value(0).toInt() == 0 ? found : *unsaved).push_back(int(first) + q.value(1).toInt() - 1);
    }
    std::sort(found.begin(), found.end());
    if (unsaved)
        std::sort(unsaved->begin(), unsaved->end());
    return found;
}

bool AboveLimit(double price, double allowed) {
    return price > allowed + 1e-9 * std::max(1.0, allowed);
}

QVector<HighPriceLine> FindHighPriceLines(const store::Store& db, const RecordListPtr& pushList,
                                          const QDate& day, bool storedPrices, bool hiddenPrices) {
    QVector<HighPriceLine> above;
    if (!pushList)
        return above;
    auto idOf = [](const KeyedRecord& r, const char* key) {
        return qint32(values::Val(r.Get(QString::fromLatin1(key), 0)));
    };
    auto keyOf = [&](const KeyedRecord& r) {
        return PriceKey{idOf(r, "FSupplyID"), idOf(r, "FItemID"), idOf(r, "FUnitID")};
    };
    // Lines are read a row at a time and the list left as it was: a list over a row source would
    // otherwise keep every line as a record.
    const int count = pushList->Count();
    std::map<PriceKey, std::optional<PriceLimit>> limits;
    if (!hiddenPrices) {
        std::set<PriceKey> keys;
        for (int i = 1; i <= count; ++i)
            if (const RecordPtr r = pushList->Peek(i))
                keys.insert(keyOf(*r));
        limits = HighPriceLimits(db, keys, day, HighPriceTolerance(db));
    }
    auto limitOf = [&](const KeyedRecord& r) {
        const auto it = limits.find(keyOf(r));
        return it == limits.end() ? std::nullopt : it->second;
    };
    // A block of lines at a time, so that the stored prices of a block's lines are asked at once.
    constexpr int kBlock = 300;
    std::vector<RecordPtr> block;
    std::vector<EntryKey> entries;
    std::vector<HiddenPriceLine> hidden;
    std::vector<int> hiddenPosition; // of each hidden line in the list
    for (int first = 1; first <= count; first += kBlock) {
        const int last = std::min(count, first + kBlock - 1);
        block.clear();
        entries.clear();
        hidden.clear();
        hiddenPosition.clear();
        for (int i = first; i <= last; ++i) {
            RecordPtr r = pushList->Peek(i);
            if (r && storedPrices && !hiddenPrices && limitOf(*r))
                entries.push_back(PushLineEntry(*r));
            if (r && hiddenPrices) {
                hidden.push_back({idOf(*r, "FInterID"), idOf(*r, "FEntryID"), idOf(*r, "FSupplyID")});
                hiddenPosition.push_back(i);
            }
            block.push_back(std::move(r));
        }
        const std::vector<double> storedPrice = StoredEntryPrices(db, entries);
        size_t nextStored = 0;
        // The lines the server found above their limits, by position.
        std::set<int> hiddenAbove;
        if (hiddenPrices) {
            std::vector<int> unsaved;
            for (int k : LinesAboveLimit(db, hidden, &unsaved))
                hiddenAbove.insert(hiddenPosition[size_t(k)]);
            if (!unsaved.empty()) {
                const KeyedRecord& r = *block[size_t(hiddenPosition[size_t(unsaved.front())] - first)];
                const int gridRow = int(values::Val(r.Get(QStringLiteral("Row"), 0)));
                throw Error(
                    GetLangString(QStringLiteral("第 %1 行的供应商已修改，尚未保存：请先保存，再下推"))
                        .arg(gridRow > 0 ? gridRow : hiddenPosition[size_t(unsaved.front())]));
            }
        }
        for (int i = first; i <= last; ++i) {
            const KeyedRecord* r = block[size_t(i - first)].get();
            if (!r)
                continue;
            std::optional<PriceLimit> limit;
            double price = 0;
            if (hiddenPrices) {
                if (!hiddenAbove.count(i))
                    continue;
                limit = PriceLimit{};
            } else {
                limit = limitOf(*r);
                if (!limit)
                    continue;
                price = storedPrices ? storedPrice[nextStored++]
                                     : values::Val(r->Get(QStringLiteral("FPrice"), 0));
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
    }
    return above;
}

} // namespace zpp::services
