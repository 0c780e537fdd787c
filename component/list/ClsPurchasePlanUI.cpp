#include "ClsPurchasePlanUI.h"

#include "component/filter/MRpt.h"
#include "component/filter/frmFirter.h"
#include "component/filter/frmSetColume.h"
#include "component/grid/PlanGrid.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/LongWork.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/BillDataAccess.h"
#include "component/host/contracts/MrpDataServer.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "component/list/SupplierRowGuard.h"
#include "component/operations/MergeRows.h"
#include "component/operations/RowFields.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/export/Exporter.h"
#include "platform/ini/IniFile.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>
#include <atomic>
#include <bit>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

namespace zpp {

namespace {
const QString kNoData = QStringLiteral("当前光标所在行没有数据。");
const QString kInfo = QStringLiteral("信息提示");

} // namespace

ClsPurchasePlanUI::ClsPurchasePlanUI() {
    QString dir = ini::ConfigDir();
    if (!dir.endsWith(u'/'))
        dir += u'/';
    IniFile = dir + QStringLiteral("ZAZSystem.INI");
    if (!QFileInfo::exists(IniFile))
        WriteIniValue(QStringLiteral("Init"), QStringLiteral("Init"), QStringLiteral("NONE"));
    FormatID = 0;
    ReportTitle = QStringLiteral("采购计划表");
}

ClsPurchasePlanUI::~ClsPurchasePlanUI() = default;

bool ClsPurchasePlanUI::WriteIniValue(const QString& section, const QString& key,
                                      const QString& value) const {
    // A configuration directory that cannot be written never stops the list.
    return ini::Write(IniFile, section, key, value);
}

void ClsPurchasePlanUI::Refresh(QString& billNo) {
    ParsePropsString(GetPropsString());
    auto info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
    RecordPtr conditions = State().FilterConditions;
    if (!conditions)
        conditions = KeyedRecord::Create();
    m_cancelled = false;
    RecordListPtr rows;
    try {
        // A reload that takes more than a second shows a window whose Cancel stops the read.
        SlowWork progress(GetLangString(QStringLiteral("正在读取采购计划…")), 0, 1000, true);
        longwork::Scope poll([&progress] { return progress.Step(); });
        rows = info->GetRptData(GetPropsString(), conditions, GetPropItem(QStringLiteral("UserID")), billNo);
    } catch (const Cancelled&) {
        // The rows shown stay those of the last load.
        m_cancelled = true;
        return;
    }
    State().FilterConditions = conditions;
    FieldDataVct = rows;
    LoadedRows = rows;
    m_preview = std::make_shared<zpp::PreviewDetail>();
    m_preview->LDG = Ledger;
    LoadGrid();
    // What the grid now shows is what the store holds: a save looks only at rows changed since.
    if (Spread)
        Spread->MarkRowsUnchanged();
    BindPreview();
}

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

void ClsPurchasePlanUI::SelectAll() {
    SetAllTicks(QStringLiteral("1"));
}

void ClsPurchasePlanUI::UnSelectAll() {
    SetAllTicks(QStringLiteral("0"));
}

void ClsPurchasePlanUI::SetAllTicks(const QString& value) {
    if (!Spread)
        return;
    Spread->SetRedraw(false);
    for (int r = 1; r <= Spread->MaxRows(); ++r)
        if (!Spread->CellLocked(col::CheckBox, r))
            Spread->SetText(col::CheckBox, r, value);
    Spread->SetRedraw(true);
}

bool ClsPurchasePlanUI::FillCol() {
    if (!Spread)
        return false;
    controls::SpreadGrid& grid = *Spread;
    const int active = grid.ActiveCol(), row = grid.ActiveRow();
    if (row < 1 || row > grid.MaxRows())
        return false;
    const bool supplier = active == col::SupplyNumber;
    static const int fillable[] = {col::SupplyNumber, col::PushQty,    col::Price, col::DiscountRate,
                                   col::TaxRate,      col::FinishDate, col::Memo};
    if (std::find(std::begin(fillable), std::end(fillable), active) == std::end(fillable))
        return false;
    const QString text = grid.Text(active, row);
    if (text.isEmpty()) {
        ui::MsgBox(kNoData, ui::OkOnly | ui::Information, kInfo);
        return false;
    }
    // Closed and fully ordered entries take nothing: there is nothing left to buy on them.
    QVector<int> rows;
    for (int r = row; r <= grid.MaxRows(); ++r)
        if (grid.Text(col::Close, r).trimmed().isEmpty() &&
            values::Val(grid.Text(col::PurchaseUnFinishQty, r)) > 0 && !grid.CellLocked(active, r))
            rows << r;
    if (rows.isEmpty())
        return false;
    // A fill reaching past what the user can see is confirmed first.
    if (rows.size() > grid.PageRows() &&
        ui::MsgBox(
            GetLangString(QStringLiteral("将把“%1”填充到 %2 行，是否继续？")).arg(text).arg(rows.size()),
            ui::YesNo | ui::Question, GetLangString(kInfo)) != ui::Yes)
        return false;
    if (supplier) {
        // One check of the code for every row: a supplier the user may not use fills nothing.
        const SupplierCheck check = CheckSupplierCode(text);
        if (check.Name.isEmpty()) {
            ui::MsgBox(GetLangString(QStringLiteral("没有代码为“%1”的供应商。")).arg(text),
                       ui::OkOnly | ui::Information, GetLangString(kInfo));
            return false;
        }
        if (!check.MayUse) {
            ui::MsgBox(GetLangString(QStringLiteral("没有供应商的权限，请与系统管理员联系!")),
                       ui::OkOnly | ui::Information, GetLangString(kInfo));
            return false;
        }
        // Each row is priced as a typed supplier would be: only where the supplier changes.
        bool changed = false;
        for (int r : rows) {
            const auto cells = [&] {
                QStringList texts;
                for (int c : {col::SupplyNumber, col::SupplyName, col::SupplyID, col::TaxRate, col::Price})
                    texts << grid.Text(c, r);
                return texts;
            };
            const QStringList before = cells();
            ApplySupplier(r, text, check, values::ToInt32(values::Val(grid.Text(col::SupplyID, r))));
            changed = changed || cells() != before;
        }
        return changed;
    }
    // A row that holds the value already is left alone: a fill that changes nothing is no edit.
    bool changed = false;
    grid.SetRedraw(false);
    for (int r : rows) {
        if (grid.Text(active, r) == text)
            continue;
        grid.SetText(active, r, text);
        changed = true;
    }
    grid.SetRedraw(true);
    return changed;
}

namespace {
constexpr int kMergeAskAbove = 2000, kMergeMostRows = 5000;
const QString kTooManyToMerge =
    QStringLiteral("汇总中物料记录太多,已超出汇总范围,请去掉一些物料数据后再试！");

QVector<int> MarkedRows(const controls::SpreadGrid& grid) {
    QVector<int> rows;
    if (grid.ChangedRowCount() > 0)
        for (int r = 1, last = grid.MaxRows(); r <= last; ++r)
            if (grid.RowChanged(r))
                rows << r;
    return rows;
}

// A refill marks every row; only the rows holding edits keep a mark.
void Remark(controls::SpreadGrid& grid, const QVector<int>& marked) {
    grid.MarkRowsUnchanged();
    for (int r : marked)
        grid.MarkRowChanged(r);
}

// A merged row shows one price, rate, date and note while each entry is ordered at its own:
// where the entries differ the cell says so and lists their values.
void NoteSeveralValues(controls::SpreadGrid& grid, const RecordList& merged) {
    static constexpr int columnOf[] = {col::Price, col::DiscountRate, col::TaxRate, col::FinishDate,
                                       col::Memo};
    constexpr int kListed = 10;
    const QString head = GetLangString(QStringLiteral("各分录的值不同，下单时各按自己的值：")),
                  blank = GetLangString(QStringLiteral("（空）"));
    for (int r = 1; r <= merged.Count() && r <= grid.MaxRows(); ++r) {
        const RecordPtr& m = merged.Item(r);
        const RecordListPtr members = m ? m->Object(fld::EntryDataVct) : nullptr;
        if (!members || members->Count() < 2)
            continue;
        for (int f = 0; f < OwnValueFields().size(); ++f) {
            QStringList values = DifferingValues(*members, OwnValueFields()[f], kListed + 1);
            if (values.isEmpty())
                continue;
            for (QString& v : values)
                if (v.trimmed().isEmpty())
                    v = blank;
            if (values.size() > kListed) {
                values.resize(kListed);
                values << QStringLiteral("……");
            }
            grid.SetCellNote(columnOf[f], r, head + values.join(GetLangString(QStringLiteral("、"))));
        }
    }
}
} // namespace

void ClsPurchasePlanUI::CheckMergeLimits(const RecordListPtr& rows, bool& ok, bool& ask, QString& message) {
    const int n = rows ? rows->Count() : 0;
    ok = false;
    ask = false;
    message.clear();
    if (n > kMergeMostRows) {
        message = kTooManyToMerge;
    } else if (n > kMergeAskAbove) {
        ask = true;
        message = QStringLiteral("汇总中物料记录较多，可能会影响性能，请问是否继续？");
    } else {
        for (const RecordPtr& r : *rows) {
            if (!r->Text(QStringLiteral("FClose")).trimmed().isEmpty()) {
                message = QStringLiteral(
                    "存在已关闭记录，不能进行汇总，请过滤时选择“已关闭不显示”后，再进行汇总。");
                return;
            }
        }
        ok = true;
    }
}

bool ClsPurchasePlanUI::Merge() {
    if (!Spread)
        return false;
    // A list longer than any merge takes is refused on its count: reading a million rows into
    // records first would take gigabytes only to be thrown away.
    if (Spread->MaxRows() > kMergeMostRows) {
        ui::MsgBox(kTooManyToMerge, ui::OkOnly | ui::Information, kInfo);
        return false;
    }
    RecordListPtr rows = ReadGridRows(*Spread);
    bool ok = false, ask = false;
    QString message;
    CheckMergeLimits(rows, ok, ask, message);
    if (!ok) {
        if (!ask) {
            ui::MsgBox(message, ui::OkOnly | ui::Information, kInfo);
            return false;
        }
        if (ui::MsgBox(message, ui::YesNo | ui::Information, kInfo) == ui::No)
            return false;
    }
    QVector<int> marked = MarkedRows(*Spread);
    FieldDataVct = MergeView(rows, &marked);
    LoadGrid();
    Remark(*Spread, marked);
    NoteSeveralValues(*Spread, *FieldDataVct);
    return true;
}

void ClsPurchasePlanUI::UnMerge() {
    if (!Spread)
        return;
    QVector<int> marked = MarkedRows(*Spread);
    FieldDataVct = UnMergeView(ReadGridRows(*Spread), &marked);
    LoadGrid();
    Remark(*Spread, marked);
}

void ClsPurchasePlanUI::ShowFilter() {
    m_cancelled = false;
    RecordPtr kept = State().FilterConditions ? State().FilterConditions->Clone() : nullptr;
    {
        frmFirter dialog(Spread ? Spread->window() : nullptr);
        dialog.SetIsShowFilter(true);
        ui::ExecModal(dialog);
    }
    const RecordPtr& conditions = State().FilterConditions;
    if (conditions && conditions->Get(QStringLiteral("OK"), false).toBool()) {
        QString noBill;
        Refresh(noBill);
        // A stopped reload keeps the list, and so the conditions it was read with.
        if (m_cancelled && kept)
            State().FilterConditions = kept;
    } else if (kept) {
        RecordPtr restored = kept->Clone();
        restored->Set(QStringLiteral("OK"), false);
        State().FilterConditions = restored;
    }
}

void ClsPurchasePlanUI::ShowHideCol() {
    try {
        frmSetColume dialog(Spread, State().PlanChoosableColumns, Spread ? Spread->window() : nullptr);
        ui::ExecModal(dialog);
    } catch (...) {
        // The column dialog is a convenience; the list goes on as it was.
    }
}

qint32 ClsPurchasePlanUI::PriceSourceSetting() {
    // The host's INI reader: one per process, kept apart from the shared service whose file
    // name other readers switch.
    static ini::IniService reader;
    reader.SetFileName(
        ini::ResolvePath(QStringLiteral("Program Files\\Marvane\\ZEL\\Stratum\\ZAZSystem.INI")));
    return values::ToInt32(
        values::Val(reader.ReadString(QStringLiteral("frmBill"), QStringLiteral("CGSrcPrice"), QString())));
}

ClsPurchasePlanUI::SupplierCheck ClsPurchasePlanUI::CheckSupplierCode(const QString& code) {
    SupplierCheck check;
    const QString props = GetPropsString();
    QString asked = code; // the services take the code by reference
    auto server = CreateObject<MrpDataServer>(QString::fromLatin1(progid::MrpDataServer));
    check.Name = server->GetSupplierNameByNumber(props, asked);
    if (check.Name.isEmpty())
        return check;
    check.MayUse = server->IsSupplierright(props, asked, GetPropItem(QStringLiteral("UserID")));
    if (check.MayUse) {
        auto info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
        check.Id = info->GetSupplierID(props, asked, check.TaxRate);
    }
    return check;
}

void ClsPurchasePlanUI::ApplySupplier(qint32 row, const QString& code, const SupplierCheck& check,
                                      qint32 rememberedSupplierId) {
    controls::SpreadGrid& grid = *Spread;
    grid.SetText(col::SupplyNumber, row, code);
    grid.SetText(col::SupplyName, row, check.Name);
    grid.SetText(col::SupplyID, row, QString::number(check.Id));
    grid.SetValue(col::TaxRate, row, check.TaxRate);
    if (check.Id < 1 || check.Id == rememberedSupplierId)
        return;
    RecordPtr request = KeyedRecord::Create();
    request->Set(QStringLiteral("SupplyID"), check.Id);
    request->Set(QStringLiteral("ItemID"), grid.Text(col::ItemID, row));
    request->Set(QStringLiteral("UnitID"), grid.Text(col::UnitID, row));
    request->Set(QStringLiteral("AuxQty"), grid.Text(col::PushQty, row));
    request->Set(QStringLiteral("CurrencyID"), 1);
    request->Set(QStringLiteral("ExChangeRate"), 1);
    request->Set(QStringLiteral("UseLastPrice"), PriceSourceSetting());
    request->Set(QStringLiteral("TranType"), 71);
    request->Set(QStringLiteral("PriceType"), 1);
    auto prices = CreateObject<BillDataAccess>(QString::fromLatin1(progid::BillDataAccess));
    const RecordPtr answer = prices->GetSupplyInfo(GetPropsString(), request);
    grid.SetValue(col::Price, row, values::Val(answer ? answer->Get(QStringLiteral("AuxPrice"), 0) : 0));
}

void ClsPurchasePlanUI::GetRightSupply(qint32 column, qint32 row, qint32 rememberedSupplierId,
                                       const std::optional<QString>& previousCode) {
    // A row locked for its supplier was never edited: nothing to check, nothing to clear.
    if (column != col::SupplyNumber || !Spread || row < 1 || row > Spread->MaxRows() ||
        Spread->CellLocked(col::SupplyNumber, row))
        return;
    controls::SpreadGrid& grid = *Spread;
    // A refused code takes the row back to the supplier it had, so nothing the user did not
    // mean to change is lost; without one known, the supplier cells are cleared.
    auto refuse = [&](const QString& message) {
        if (previousCode) {
            SupplierRowGuard::Of(grid).PutBack(row, *previousCode);
        } else {
            grid.SetText(col::SupplyNumber, row, QString());
            grid.SetText(col::SupplyName, row, QString());
            grid.SetText(col::SupplyID, row, QStringLiteral("0"));
        }
        if (!message.isEmpty())
            ui::MsgBox(message, ui::OkOnly | ui::Information, GetLangString(kInfo));
    };
    try {
        const QString code = grid.Text(col::SupplyNumber, row);
        if (code.isEmpty()) {
            // An emptied cell is the user taking the supplier off the row.
            grid.SetText(col::SupplyName, row, QString());
            grid.SetText(col::SupplyID, row, QStringLiteral("0"));
            return;
        }
        const SupplierCheck check = CheckSupplierCode(code);
        if (check.Name.isEmpty())
            return refuse(previousCode ? GetLangString(QStringLiteral("没有代码为“%1”的供应商。")).arg(code)
                                       : QString());
        if (!check.MayUse)
            return refuse(GetLangString(QStringLiteral("没有供应商的权限，请与系统管理员联系!")));
        ApplySupplier(row, code, check, rememberedSupplierId);
    } catch (...) {
        // The supplier check is a help while typing; the save checks the supplier again.
    }
}

void ClsPurchasePlanUI::GetSupply() {
    if (!Spread || Spread->ActiveCol() != col::SupplyNumber)
        return;
    controls::SpreadGrid& grid = *Spread;
    const int row = grid.ActiveRow();
    if (row < 1 || row > grid.MaxRows() || SupplierRowGuard::Of(grid).Refuse(row))
        return;
    // Every supplier the user may use, the row's own chosen.
    const std::shared_ptr<LookupResult> result =
        LookupBaseData(kLookupSupplier, QString(), QString(), 1, grid.Text(col::SupplyNumber, row));
    if (!result || !result->ReturnOK || !result->ReturnObject)
        return;
    QString code = result->ReturnObject->Number;
    grid.SetText(col::SupplyNumber, row, code);
    grid.SetText(col::SupplyName, row, result->ReturnObject->Name);
    auto info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
    double taxRate = 0;
    CurSupplierID = info->GetSupplierID(GetPropsString(), code, taxRate);
    grid.SetText(col::SupplyID, row, QString::number(CurSupplierID));
    grid.SetValue(col::TaxRate, row, taxRate);
}

} // namespace zpp
