#pragma once

#include "platform/records/KeyedRecord.h"
#include "platform/records/TextTable.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <cstdint>
#include <optional>
#include <vector>

namespace zpp {

// The rows a push orders, held compactly: ids and numbers as numbers, texts that recur (plan
// numbers, dates, notes, item and supplier names) once. A push after select-all over a million
// rows then holds under a hundred bytes a row instead of a record of every column.
//
// A cell that does not read as a number where one is expected keeps its text, so the push
// service refuses it with the same message as before.
//
// Each row carries the version its entry had as the list holds it, for the push to refuse an
// entry changed elsewhere since.
class PushRows {
public:
    enum Field {
        InterID,
        EntryID,
        ItemID,
        UnitID,
        AuxPropID,
        SupplyID,
        GridRow,
        PushQty,
        Price,
        DiscountRate,
        TaxRate,
        FinishDate,
        Memo,
        BillNo,
        ItemNumber,
        ItemName,
        SupplyNumber,
        SupplyName,
        FieldCount
    };

    // Adds a row; text(field) gives its cell text for every field but GridRow.
    template <class Text> void Add(int gridRow, std::optional<qint64> version, Text&& text) {
        Row r;
        r.version = version.value_or(kNoVersion);
        for (int f = InterID; f <= SupplyID; ++f)
            r.id[f] = Id(f, text(Field(f)));
        r.id[GridRow] = gridRow;
        for (int f = PushQty; f <= TaxRate; ++f)
            r.num[f - PushQty] = Number(f, text(Field(f)));
        r.finishDate = m_dates.Add(text(FinishDate));
        r.memo = m_memos.Add(text(Memo));
        r.billNo = m_billNos.Add(text(BillNo));
        m_rows.push_back(r);
        if (!m_items.contains(r.id[ItemID]))
            m_items.insert(r.id[ItemID], {text(ItemNumber), text(ItemName)});
        if (!m_suppliers.contains(r.id[SupplyID]))
            m_suppliers.insert(r.id[SupplyID], {text(SupplyNumber), text(SupplyName)});
    }
    // Adds the rows of a record list (the entries of a merged view's rows), with the versions
    // they carry (FVersion).
    void AddRecords(const RecordList& rows);

    int Count() const { return int(m_rows.size()); }
    // A field of a row (from 0) as the grid's record had it: a number, or the cell's text when it
    // was blank or not a number.
    QVariant Value(int row, Field field) const;
    // A number field read as the push reads it: blank and text count as values::Val does.
    double Num(int row, Field field) const;
    // The row's delivery date as a day number, or a value below zero naming its text when that
    // is no date.
    qint64 DateKey(int row) const;
    quint32 MemoIndex(int row) const { return m_rows[row].memo; }
    std::optional<qint64> Version(int row) const {
        const qint64 v = m_rows[row].version;
        return v == kNoVersion ? std::nullopt : std::optional(v);
    }
    std::int32_t IdOf(int row, Field field) const { return m_rows[row].id[field]; }
    // True when no id or number of the row kept a text.
    bool Plain(int row) const;

private:
    static constexpr std::int32_t kBlankId = INT32_MIN, kTextId = INT32_MIN + 1;
    static constexpr qint64 kNoVersion = INT64_MIN;

    struct Row {
        std::int32_t id[GridRow + 1];
        quint32 finishDate, memo, billNo;
        double num[TaxRate - PushQty + 1];
        qint64 version;
    };

    struct Names {
        QString number, name;
    };

    std::int32_t Id(int field, const QString& text);
    double Number(int field, const QString& text);
    QString KeptText(int row, int field) const { return m_kept.value(KeptKey(row, field)); }
    static quint64 KeptKey(int row, int field) { return quint64(row) << 8 | quint64(field); }

    std::vector<Row> m_rows;
    TextTable m_dates, m_memos, m_billNos;
    // Names follow from the id: the first row of each item or supplier gives them.
    QHash<std::int32_t, Names> m_items, m_suppliers;
    // Cells that did not read as numbers, by row and field.
    QHash<quint64, QString> m_kept;
    mutable QHash<quint32, qint64> m_dayOf;
};

// The push lines of the rows to order: rows of one item, auxiliary property, supplier, price,
// discount and tax rates, delivery date and note become one line with their quantities summed,
// the rows as its member entries (EntryDataVct, in plan and entry order); rows with nothing to
// push add nothing. The list reads the rows in place; a line becomes a record only when asked for
// as one. No price is asked for.
RecordListPtr PushLines(std::shared_ptr<const PushRows> rows);

} // namespace zpp
