// ClsPurchasePlanUI::LoadGrid: the grid filled from the rows read. Apart because it is the part
// of a load that takes its time, and is tuned for that alone (shared texts, two threads).
#include "ClsPurchasePlanUI.h"

#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/LongWork.h"
#include "component/list/SupplierRowGuard.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Error.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

namespace zpp {

void ClsPurchasePlanUI::LoadGrid() {
    try {
        if (!FieldDataVct || !Spread)
            return;
        const RecordListPtr set = State().PlanColumnSet;
        if (!set)
            return;
        controls::SpreadGrid& grid = *Spread;
        grid.SetRedraw(false);
        struct RedrawOn {
            controls::SpreadGrid& g;
            ~RedrawOn() { g.SetRedraw(true); }
        } redrawOn{grid};
        // Fresh cells: no value of the previous list may linger in a column a row lacks.
        grid.SetMaxRows(0);
        grid.SetMaxRows(FieldDataVct->Count());
        const int rowCount = grid.MaxRows();
        if (rowCount < 1)
            return;

        struct Column {
            int Col;
            QString Field;
            enum { Plain, Date, Qty, Price } Kind;
        };
        QVector<Column> columns;
        for (const RecordPtr& def : *set) {
            Column c{values::ToInt32(def->Get(QStringLiteral("Col"))), def->Text(QStringLiteral("FieldName")),
                     Column::Plain};
            const QString f = c.Field.toLower();
            if (f == u"fvdate" || f == u"ffinishdate")
                c.Kind = Column::Date;
            else if (f == u"fqty" || f == u"fpurchasefinishqty" || f == u"fpurchaseunfinishqty" ||
                     f == u"fpushqty")
                c.Kind = Column::Qty;
            else if (f == u"fprice")
                c.Kind = Column::Price;
            columns << c;
        }

        // Rows of one origin share their key set: field positions are resolved once per set.
        struct Slots {
            QVector<int> Field;
            int QtyDec = -1, PriceDec = -1;
        };
        // Node-based, so a row's pointer to its slots survives later insertions.
        std::unordered_map<const KeySet*, Slots> slotsByKeys;
        const RecordList& rows = *FieldDataVct;
        auto slotsOf = [&](int r) -> const Slots& {
            const KeySet& keys = rows.KeysAt(r); // read in place: compact rows stay compact
            if (auto it = slotsByKeys.find(&keys); it != slotsByKeys.end())
                return it->second;
            Slots s;
            for (const Column& c : columns)
                s.Field << keys.IndexOf(c.Field);
            s.QtyDec = keys.IndexOf(QStringLiteral("FQtyDecimal"));
            s.PriceDec = keys.IndexOf(QStringLiteral("FPriceDecimal"));
            return slotsByKeys.emplace(&keys, std::move(s)).first->second;
        };
        const QVariant defaultDecimals(QStringLiteral("4"));
        auto decimalsAt = [&](int r, int s) {
            const QVariant dec = rows.ValueAt(r, s);
            return values::ToInt32(values::Val(dec.isValid() ? dec : defaultDecimals));
        };
        // The last date text found good per column, kept so its characters stay where they are.
        auto put = [&](const Column& c, int r, const QVariant& v, QString& goodDate) {
            if (c.Kind != Column::Date)
                return grid.SetValue(c.Col, r, v);
            // A date text in display form shows as itself in any column. Rows share their date
            // texts, so one already found good is not parsed again.
            if (v.typeId() == QMetaType::QString) {
                const QString& text = *static_cast<const QString*>(v.constData());
                if ((text.constData() == goodDate.constData() && !text.isEmpty()) ||
                    values::ParseDisplayDate(text)) {
                    goodDate = text;
                    return grid.SetValue(c.Col, r, v);
                }
            }
            const auto d = values::ParseDate(v);
            if (d)
                grid.SetDate(c.Col, r, *d);
            else
                grid.SetText(c.Col, r, v.toString());
        };

        // Most cells repeat a value of an earlier row: the source's kept texts (items, suppliers,
        // dates, plan numbers), and numbers such as tax rates and prices. Each such value is
        // converted once; later rows share the cell text of the first row that had it.
        struct NumberKey {
            quint64 Bits = 0;
            int Type = 0, Decimals = 0;
            bool operator==(const NumberKey&) const = default;
        };
        // Numbers are remembered in a small table per column where a new number takes the
        // place of an old one, so a lookup is one probe and the table stays in the cache.
        struct NumberSlot {
            NumberKey Key;
            int Row = 0;
        };
        constexpr std::size_t kNumberSlots = 1024;
        struct Seen {
            std::vector<int> RowOfId; // by the source's shared id; 0: none yet
            std::vector<NumberSlot> RowOfNumber;
            int Lookups = 0, Hits = 0;
            bool NumbersOff = false;
        };
        std::vector<Seen> seen(std::size_t(columns.size()));
        const int idLimit = 4 * rowCount + 64;
        auto numberKey = [](const QVariant& v, int decimals) -> std::optional<NumberKey> {
            switch (v.typeId()) {
            case QMetaType::Double:
                return NumberKey{std::bit_cast<quint64>(*static_cast<const double*>(v.constData())),
                                 QMetaType::Double, decimals};
            case QMetaType::Int:
                return NumberKey{quint64(qint64(*static_cast<const int*>(v.constData()))),
                                 QMetaType::LongLong, decimals};
            case QMetaType::LongLong:
                return NumberKey{quint64(*static_cast<const qlonglong*>(v.constData())), QMetaType::LongLong,
                                 decimals};
            default:
                return std::nullopt;
            }
        };

        // Filled a block of rows at a time, column by column within the block: one column's
        // cells are written one after another, which a large list fills twice as fast as
        // jumping between 35 columns at every row.
        constexpr int kBlock = 512;
        // Each row's fields and decimals, read first: the columns are then filled from two threads.
        std::vector<const Slots*> rowSlots(std::size_t(rowCount) + 1);
        std::vector<qint8> qtyDec(std::size_t(rowCount) + 1), priceDec(std::size_t(rowCount) + 1);
        for (int r = 1; r <= rowCount; ++r) {
            const Slots& s = slotsOf(r);
            rowSlots[std::size_t(r)] = &s;
            qtyDec[std::size_t(r)] = qint8(std::clamp(decimalsAt(r, s.QtyDec), 0, 10));
            priceDec[std::size_t(r)] = qint8(std::clamp(decimalsAt(r, s.PriceDec), 0, 10));
        }
        QVector<QString> goodDates(columns.size());
        // shareFrom: per row of the block, the row to share a text with.
        auto fill = [&](int i, int r, int first, std::vector<int>& shareFrom) {
            const Column& c = columns[i];
            int decimals = -1;
            if (c.Kind == Column::Qty)
                grid.SetCellDecimals(c.Col, r, decimals = qtyDec[std::size_t(r)]);
            else if (c.Kind == Column::Price)
                grid.SetCellDecimals(c.Col, r, decimals = priceDec[std::size_t(r)]);
            const int field = rowSlots[std::size_t(r)]->Field[i];
            Seen& known = seen[std::size_t(i)];
            const int id = rows.SharedIdAt(r, field);
            if (id >= 0 && id < idLimit) {
                if (std::size_t(id) < known.RowOfId.size() && known.RowOfId[std::size_t(id)] > 0) {
                    shareFrom[std::size_t(r - first)] = known.RowOfId[std::size_t(id)];
                    return;
                }
                const QVariant v = rows.ValueAt(r, field);
                if (v.isValid())
                    put(c, r, v, goodDates[i]);
                if (known.RowOfId.size() <= std::size_t(id))
                    known.RowOfId.resize(std::size_t(id) + 1, 0);
                known.RowOfId[std::size_t(id)] = r;
                return;
            }
            const QVariant v = rows.ValueAt(r, field);
            if (!v.isValid())
                return;
            const auto key = known.NumbersOff ? std::nullopt : numberKey(v, decimals);
            if (!key)
                return put(c, r, v, goodDates[i]);
            if (known.RowOfNumber.empty())
                known.RowOfNumber.resize(kNumberSlots);
            const quint64 mixed =
                (key->Bits ^ (quint64(key->Type) << 40) ^ quint64(key->Decimals + 1)) * 0x9E3779B97F4A7C15ull;
            NumberSlot& slot = known.RowOfNumber[std::size_t(mixed >> 54)];
            ++known.Lookups;
            if (slot.Row > 0 && slot.Key == *key) {
                ++known.Hits;
                shareFrom[std::size_t(r - first)] = slot.Row;
                return;
            }
            put(c, r, v, goodDates[i]);
            slot = {*key, r};
            // Numbers of a row's own (quantities) would only cost a probe each.
            if (known.Lookups == 2048 && known.Hits < known.Lookups / 4) {
                known.NumbersOff = true;
                decltype(known.RowOfNumber)().swap(known.RowOfNumber);
            }
        };
        // Texts met before are shared after the column's pass over the block, which has stored
        // every first occurrence by then.
        const auto shareBlock = [&](int col, int first, int last, std::vector<int>& shareFrom) {
            grid.ShareTexts(col, first,
                            std::span<const int>(shareFrom.data(), std::size_t(last - first + 1)));
            std::fill(shareFrom.begin(), shareFrom.end(), 0);
        };
        SlowWork progress(GetLangString(QStringLiteral("正在装入采购计划…")), rowCount, 500, false);

        // Two threads fill alternate columns of every block: while the grid fills, its columns
        // are independent of each other (BeginFill). A cell that fails stops both at the end of
        // their block; from the first block that failed, the fill goes on here as it always did.
        std::atomic<int> failedFirst{rowCount + 1};
        const auto failedAt = [&](int first) {
            int failed = failedFirst.load();
            while (first < failed && !failedFirst.compare_exchange_weak(failed, first)) {
            }
        };
        // Set when this thread leaves by an exception, so the other one stops at its next block.
        std::atomic<bool> abandoned{false};
        // The last row each half of the columns is filled up to.
        std::atomic<int> filledTo[2] = {0, 0};
        const auto fillColumns = [&](int parity, bool reportProgress) {
            std::vector<int> shareFrom(kBlock, 0);
            for (int first = 1; first <= rowCount; first += kBlock) {
                if (first >= failedFirst.load(std::memory_order_relaxed) || abandoned.load())
                    return;
                const int last = std::min(rowCount, first + kBlock - 1);
                try {
                    for (int i = parity; i < columns.size(); i += 2) {
                        for (int r = first; r <= last; ++r)
                            fill(i, r, first, shareFrom);
                        shareBlock(columns[i].Col, first, last, shareFrom);
                    }
                } catch (...) {
                    failedAt(first);
                    return;
                }
                filledTo[parity].store(last);
                if (reportProgress)
                    progress.Step(last);
            }
        };
        grid.BeginFill();
        try {
            struct EndFill {
                controls::SpreadGrid& g;
                ~EndFill() { g.EndFill(); }
            } endFill{grid};
            std::thread other;
            // A small list is not worth a thread; without one to spare, the fill runs here.
            if (rowCount > 4 * kBlock && std::thread::hardware_concurrency() > 1) {
                try {
                    other = std::thread([&] {
                        try {
                            fillColumns(1, false);
                        } catch (...) {
                            failedAt(1); // nothing of it is trusted: all goes again row by row
                        }
                    });
                } catch (const std::system_error&) {
                }
            }
            // Joined before the fill ends on every way out: the thread writes the grid and reads
            // this frame.
            struct Join {
                std::thread& t;
                std::atomic<bool>& stop;
                ~Join() {
                    if (t.joinable()) {
                        stop = true;
                        t.join();
                    }
                }
            } join{other, abandoned};
            if (other.joinable()) {
                fillColumns(0, true);
                other.join();
            } else {
                fillColumns(0, false);
                fillColumns(1, true);
            }
        } catch (...) {
            // The progress window's events threw: the rows both halves reached stay, as a
            // row-by-row fill would leave them, and none after.
            for (int r = std::min(filledTo[0].load(), filledTo[1].load()) + 1; r <= rowCount; ++r)
                for (const Column& c : columns)
                    grid.SetText(c.Col, r, QString());
            throw;
        }
        std::vector<int> shareFrom(kBlock, 0);
        for (int first = failedFirst.load(); first <= rowCount; first += kBlock) {
            const int last = std::min(rowCount, first + kBlock - 1);
            // The block that failed on the threads goes again row by row; rows the other thread
            // may have filled beyond it are emptied first.
            bool again = first == failedFirst.load();
            if (again) {
                for (int r = last + 1; r <= rowCount; ++r)
                    for (const Column& c : columns)
                        grid.SetText(c.Col, r, QString());
            } else {
                try {
                    for (int i = 0; i < columns.size(); ++i) {
                        for (int r = first; r <= last; ++r)
                            fill(i, r, first, shareFrom);
                        shareBlock(columns[i].Col, first, last, shareFrom);
                    }
                } catch (...) {
                    again = true;
                }
            }
            if (again) {
                // Row by row, so the rows before the failing cell's row stay loaded whole and none
                // after it is, as a row-by-row fill would have left them. Texts are no longer
                // shared with rows of this block, which are emptied first.
                for (Seen& known : seen)
                    known = Seen{};
                for (int r = first; r <= last; ++r)
                    for (const Column& c : columns)
                        grid.SetText(c.Col, r, QString());
                std::fill(shareFrom.begin(), shareFrom.end(), 0);
                for (int r = first; r <= last; ++r)
                    for (int i = 0; i < columns.size(); ++i) {
                        fill(i, r, first, shareFrom);
                        if (const int from = std::exchange(shareFrom[std::size_t(r - first)], 0))
                            grid.ShareTexts(columns[i].Col, r, std::span<const int>(&from, 1));
                    }
            }
            progress.Step(last);
        }
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information, QString());
    }
    if (Spread)
        SupplierRowGuard::Of(*Spread).LockRows(FieldDataVct.get());
}

} // namespace zpp
