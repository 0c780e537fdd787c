#include "PlanGrid.h"

#include "component/grid/AmountColumns.h"
#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/MrpDataServer.h"
#include "component/host/contracts/ProfileRead.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/StorableText.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <cmath>

namespace zpp {

namespace {
// The list window's designed width in twips; widths are relative to it.
constexpr double kDesignedWidthTwips = 26000;

struct ColumnSpec {
    const char* Text;
    double Factor = 0, Divisor = 0; // width = W * Factor / Divisor; 0 = no width
    bool FixedHidden = false;
    int Type = -1; // cell type code, -1 plain text
    int Lock = -1; // -1 absent, 0 editable, 1 read-only
    int Align = 0;
    bool Choosable = false;
};

// Numbers carry "TypeNumberMin" 0 unless noted; decimals are set per column below.
const ColumnSpec kColumns[col::Count] = {
    {"内码", 0, 0, true},
    {"明细ID", 0, 0, true},
    {"选择", 0.5, 25, false, 10, 0},
    {"日期", 1.2, 20, false, 0, -1, 1, true},
    {"关闭标识", 0.6, 20, false, -1, -1, 2, true},
    {"物料代码", 1.5, 25, false, -1, -1, 0, true},
    {"物料名称", 2, 25, false, -1, -1, 0, true},
    {"规格型号", 2, 25, false, -1, -1, 0, true},
    {"辅助属性", 1, 25, false, -1, -1, 0, true},
    {"供应商代码", 1, 25, false, -1, 0, 0, true},
    {"供应商名称", 2, 25, false, -1, -1, 0, true},
    {"基本单位", 0.75, 25, false, -1, -1, 0, true},
    {"数量", 1, 20, false, 13, 1, 0, true},
    {"已下达采购订单数量", 1, 20, false, 13, 1, 0, true},
    {"未下达采购订单数量", 1, 20, false, 13, 1, 0, true},
    {"下推数量", 1, 20, false, 13, 0, 0, true},
    {"含税单价", 1, 20, false, 13, 0, 0, true},
    {"折扣率(%)", 1, 20, false, 13, 0, 0, true},
    {"税率(%)", 1, 20, false, 13, 0, 0, true},
    {"建议交货日期", 1.5, 20, false, 0, 0, 1, true},
    {"采购建议号", 2, 25, false, -1, -1, 0, true},
    {"源单单号", 3, 25, false, -1, 1, 0, true},
    {"备注", 3, 25, false, -1, 0, 0, true},
    {"FItemID", 0, 0, true, 13},
    {"基本单位ID", 0, 0, true},
    {"辅助属性id", 0, 0, true},
    {"起始日期", 2, 20, true, 0},
    {"供应商id", 0, 0, true},
    {"Key", 0, 0, true},
    {"IsMerge", 0, 0, true},
    {"StartKey", 0, 0, true},
    {"EndKey", 0, 0, true},
    {"MergeSumQty", 0, 0, true},
    {"数量精度位数", 0, 0, true},
    {"单价精度位数", 0, 0, true},
};

QString Props() {
    return GetPropsString();
}

std::shared_ptr<const KeySet> FieldKeySet() {
    auto keys = std::make_shared<KeySet>();
    const RecordListPtr& set = State().PlanColumnSet;
    if (set) {
        for (const RecordPtr& def : *set)
            keys->Append(def->Text(QStringLiteral("FieldName")));
    }
    return keys;
}
} // namespace

void BuildPlanColumnSet(double widthUnit) {
    ComponentState& state = State();
    auto choosableColumns = RecordList::Create();
    state.PlanChoosableColumns = choosableColumns;
    auto set = RecordList::Create();
    state.PlanColumnSet = set;
    for (int i = 0; i < col::Count; ++i) {
        const ColumnSpec& c = kColumns[i];
        auto def = KeyedRecord::Create();
        def->Set(QStringLiteral("Col"), i + 1);
        def->Set(QStringLiteral("Text"), QString::fromUtf8(c.Text));
        def->Set(QStringLiteral("FieldName"), PlanFieldNames().at(i));
        if (c.Divisor > 0)
            def->Set(QStringLiteral("ColWidth"), widthUnit * c.Factor / c.Divisor);
        bool choosable = c.Choosable;
        if (i + 1 == col::Price) {
            if (!HasRight(rights::Price)) {
                def->Set(QStringLiteral("ColHidden"), true);
                choosable = false;
            }
        } else if (c.FixedHidden) {
            def->Set(QStringLiteral("ColHidden"), true);
        }
        if (c.Type >= 0)
            def->Set(QStringLiteral("CellType"), c.Type);
        if (c.Type == 13) {
            int decimals = 4;
            if (i + 1 == col::ItemID)
                decimals = 0;
            else if (i + 1 == col::TaxRate)
                decimals = 2;
            else if (i + 1 == col::DiscountRate) {
                ParsePropsString(Props());
                auto server = CreateObject<MrpDataServer>(QString::fromLatin1(progid::MrpDataServer));
                const QString answer = server->GetSysInfo(Props(), QStringLiteral("IC"),
                                                          QStringLiteral("PrecisionOfDiscountRate")) +
                                       QString();
                decimals = values::ToInt32(values::Val(answer));
            }
            def->Set(QStringLiteral("TypeNumberDecPlaces"), decimals);
            if (i + 1 != col::ItemID)
                def->Set(QStringLiteral("TypeNumberMin"), 0);
            if (i + 1 == col::DiscountRate || i + 1 == col::TaxRate)
                def->Set(QStringLiteral("TypeNumberMax"), 100);
            else if (i + 1 == col::PushQty || i + 1 == col::Price)
                def->Set(QStringLiteral("TypeNumberMax"), kLargestAmount);
        }
        if (c.Lock >= 0)
            def->Set(QStringLiteral("Lock"), c.Lock == 1);
        if (c.Align > 0)
            def->Set(QStringLiteral("TypeHAlign"), c.Align);
        set->Add(def);
        if (choosable)
            choosableColumns->Add(def);
    }
    AddAmountColumns(*set, *choosableColumns, widthUnit, HasRight(rights::Price));
}

void ApplyPlanColumns(controls::SpreadGrid& grid, const QString& savedFormat) {
    const RecordListPtr set = State().PlanColumnSet;
    if (!set)
        return;
    grid.SetRedraw(false);
    grid.SetMaxCols(set->Count());
    grid.SetLockAll(true);
    grid.SetRowHeight(24);
    for (const RecordPtr& def : *set) {
        const int c = values::ToInt32(def->Get(QStringLiteral("Col")));
        // Captions follow the user's language; the definitions keep the built-in text.
        const QString caption = GetLangString(def->Text(QStringLiteral("Text")));
        grid.SetHeaderText(c, caption);
        // Never narrower than the caption, so no header is clipped.
        if (def->Exists(QStringLiteral("ColWidth")))
            grid.SetColWidth(
                c, std::max(def->Get(QStringLiteral("ColWidth")).toDouble(), grid.HeaderTextWidth(caption)));
        if (def->Exists(QStringLiteral("ColHidden")))
            grid.SetColHidden(c, def->Get(QStringLiteral("ColHidden")).toBool());
        else if (def->Exists(QStringLiteral("DefaultHidden")))
            grid.SetColHidden(c, true); // until a saved format says the user chose it
        const QString saved =
            GetListValue(savedFormat, def->Text(QStringLiteral("FieldName")),
                         grid.ColHidden(c) ? QStringLiteral("1") : QStringLiteral("0"), QStringLiteral("|"));
        const double v = std::nearbyint(values::Val(saved));
        if (!def->Exists(QStringLiteral("ColHidden")))
            grid.SetColHidden(c, v == 1);
        auto type = [&] {
            if (def->Exists(QStringLiteral("CellType")))
                grid.SetColCellType(c,
                                    static_cast<controls::CellType>(values::ToInt32(def->Get("CellType"))));
        };
        type();
        if (def->Exists(QStringLiteral("TypeNumberDecPlaces")))
            grid.SetColDecimals(c, values::ToInt32(def->Get(QStringLiteral("TypeNumberDecPlaces"))));
        if (def->Exists(QStringLiteral("TypeNumberMin")))
            grid.SetColMin(c, values::Val(def->Get(QStringLiteral("TypeNumberMin"))));
        if (def->Exists(QStringLiteral("TypeNumberMax")))
            grid.SetColMax(c, values::Val(def->Get(QStringLiteral("TypeNumberMax"))));
        if (def->Exists(QStringLiteral("Lock")))
            grid.SetColLock(c, def->Get(QStringLiteral("Lock")).toBool());
        type();
        if (def->Exists(QStringLiteral("TypeHAlign")))
            grid.SetColAlign(
                c, static_cast<controls::HAlign>(values::ToInt32(def->Get(QStringLiteral("TypeHAlign")))));
        if (grid.ColCellType(c) == controls::CellType::CheckBox)
            grid.SetColAlign(c, controls::HAlign::Center);
    }
    // Scrolling right to price, date and note keeps the item in view; the column dialog only
    // hides or shows columns, which the frozen part follows.
    grid.SetFrozenCols(col::ItemName);
    InstallAmountColumns(grid);
    grid.SetRedraw(true);
}

void InitPlanGrid(PlanGridHost& window) {
    try {
        BuildPlanColumnSet(kDesignedWidthTwips / 113.4);
        // Touching the grid runs the window's own load first.
        controls::SpreadGrid& grid = window.vsProc();
        auto reader = CreateObject<ProfileRead>(QString::fromLatin1(progid::ProfileRead));
        const QString saved = reader->LoadRptFormat(Props(), 126, QStringLiteral("sPlanRpt"));
        reader.reset();
        ApplyPlanColumns(grid, saved);
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information, QStringLiteral("信息提示"));
    }
}

RecordListPtr ReadGridRows(controls::SpreadGrid& grid, const std::function<bool(int row)>& keep) {
    auto rows = RecordList::Create();
    const RecordListPtr set = State().PlanColumnSet;
    if (!set)
        return rows;
    const auto keys = FieldKeySet();
    QVector<int> cols;
    for (const RecordPtr& def : *set)
        cols << values::ToInt32(def->Get(QStringLiteral("Col")));
    const int n = grid.MaxRows();
    if (!keep)
        rows->Reserve(n);
    for (int r = 1; r <= n; ++r) {
        if (keep && !keep(r))
            continue;
        QVector<QVariant> cells;
        cells.reserve(cols.size());
        for (int c : cols) {
            // Only the free-text cells can hold what no store can; the others are checked on entry.
            cells << QVariant(c == col::Memo || c == col::SupplyNumber ? StorableText(grid.Text(c, r))
                                                                       : grid.Text(c, r));
        }
        rows->Add(std::make_shared<KeyedRecord>(keys, std::move(cells)));
    }
    return rows;
}

QString FindListValue(QString list, const QString& key, bool& found, const QString& separator) {
    if (!list.endsWith(separator))
        list += separator;
    const QString wanted = key + u'=';
    const int at = list.indexOf(wanted, 0, Qt::CaseInsensitive);
    if (at < 0) {
        found = false;
        return {};
    }
    found = true;
    const int end = list.indexOf(separator, at + wanted.size());
    return list.mid(at + wanted.size(), (end < 0 ? list.size() : end) - at - wanted.size());
}

QString GetListValue(const QString& list, const QString& key, const QString& defaultValue,
                     const QString& separator) {
    if (list.isEmpty())
        return defaultValue;
    bool found = false;
    const QString value = FindListValue(list, key, found, separator);
    if (!found)
        return defaultValue;
    bool numericDefault = false;
    defaultValue.trimmed().toDouble(&numericDefault);
    return numericDefault ? QString::number(values::Val(value)) : value;
}

bool ValueInArray(const QVariant& value, const QVariantList& array) {
    for (const QVariant& v : array)
        if (v == value)
            return true;
    return false;
}

} // namespace zpp
