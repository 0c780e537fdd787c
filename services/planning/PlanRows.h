#pragma once

// The compact rows GetRptData returns and how they are read from a cursor of any store, shared by
// the plan query (RptData.cpp) and its SQLite reader (RptDataSQLite.cpp).

#include "RptData.h"

#include <QHash>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zpp::services::rptdata {

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
    QVariant Value(int row, int field) const override;
    int SharedValueId(int row, int field) const override;

    template <class Cursor> void Read(Cursor& cur);

private:
    // The text of a plan row's key, "plan_entry".
    static QVariant RowKey(qint64 planId, qint64 entryId);

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

inline QVariant Utf8(std::string_view raw) {
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

} // namespace zpp::services::rptdata
