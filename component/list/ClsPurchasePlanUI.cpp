// The list controller: reading the rows, ticks, fill down, folding, and the filter and column
// dialogs. Its grid fill, supplier checks and output are in ListGridLoad, ListSuppliers, ListOutput.
#include "ClsPurchasePlanUI.h"

#include "component/filter/frmFirter.h"
#include "component/filter/frmSetColume.h"
#include "component/grid/PlanGrid.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/LongWork.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "component/operations/MergeRows.h"
#include "component/operations/RowFields.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/export/Exporter.h"
#include "platform/ini/IniFile.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QFileInfo>
#include <algorithm>

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

} // namespace zpp
