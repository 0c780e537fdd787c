#include "ListPaste.h"

#include "ListPrompts.h"
#include "component/grid/PlanGrid.h"
#include "component/host/Lang.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "component/list/SupplierRowGuard.h"
#include "component/operations/clsPurchasePlan.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <QTableView>
#include <algorithm>
#include <optional>

namespace zpp {

namespace {

// Problems listed one a line; the rest are counted.
constexpr int kListed = 20;
// Above this many cells a paste writes with redraw off and repaints once.
constexpr int kQuietAbove = 200;

using listprompts::Lang;

// A number as spreadsheets show it, in the form a typed one takes: thousands separated by
// commas ("1,250.50") lose them, and a rate may carry its percent sign ("13%").
QString NumberText(const QString& text, int col) {
    QString t = text.trimmed();
    if ((col == col::TaxRate || col == col::DiscountRate) && t.endsWith(u'%'))
        t.chop(1);
    static const QRegularExpression grouped(QStringLiteral("^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d*)?$"));
    if (grouped.match(t).hasMatch())
        t.remove(u',');
    return t;
}

class Paster {
public:
    Paster(controls::SpreadGrid& grid, ClsPurchasePlanUI& ui)
        : m_grid(grid), m_ui(ui), m_model(grid.View()->model()) {}

    // One cell: empty when it was pasted or needed nothing, else why it was not.
    QString Cell(int c, int r, const QString& text) {
        m_named = false;
        const controls::CellType type = m_grid.ColCellType(c);
        const QString now = m_grid.Text(c, r);
        if (m_grid.CellLocked(c, r)) {
            if (text == now || (type != controls::CellType::Text && text.trimmed() == now))
                return {};
            const QString why = SupplierRowGuard::Of(m_grid).WhyLocked(r);
            return why.isEmpty() ? Lang("只读，没有粘贴") : why;
        }
        const QModelIndex at = m_model->index(r - 1, c - 1);
        switch (type) {
        case controls::CellType::CheckBox: {
            const QString t = text.trimmed();
            if (t != u"1" && t != u"0" && !t.isEmpty())
                return Lang("不是勾选值（1 或 0）");
            if (t.isEmpty() ? now == u"0" : t == now)
                return {};
            m_changed += m_model->setData(at, t == u"1" ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
            return {};
        }
        case controls::CellType::Date: {
            const QString t = text.trimmed();
            const auto date = t.isEmpty() ? std::optional<QDate>() : values::ParseDate(t);
            if (!t.isEmpty() && !date)
                return GetLangString(QStringLiteral("“%1”不是有效的日期")).arg(t);
            return Write(at, date ? values::DisplayDate(*date) : QString(), now);
        }
        case controls::CellType::Number: {
            const QString t = NumberText(text, c);
            if (!t.isEmpty() && !values::IsNumber(t))
                return GetLangString(QStringLiteral("“%1”不是数字")).arg(text.trimmed());
            if (c == col::PushQty)
                return PushQty(at, r, t, now);
            return Write(at, t, now, GetLangString(QStringLiteral("%1 不在允许的范围内")).arg(t));
        }
        case controls::CellType::Text:
            break;
        }
        if (c == col::SupplyNumber)
            return Supplier(at, r, text.trimmed(), now);
        return Write(at, text, now);
    }

    int Changed() const { return m_changed; }
    // Whether the last refusal names its row itself (the quantity check's does, with the entry).
    bool Named() const { return m_named; }

private:
    // Writes as the cell's editor does; the grid refuses what the cell cannot hold.
    QString Write(const QModelIndex& at, const QString& text, const QString& now,
                  const QString& refused = {}) {
        if (text == now)
            return {};
        if (!m_model->setData(at, text, Qt::EditRole))
            return refused.isEmpty() ? GetLangString(QStringLiteral("“%1”不能写入这个单元格")).arg(text)
                                     : refused;
        m_changed += m_grid.Text(at.column() + 1, at.row() + 1) != now;
        return {};
    }

    // More than is left to order is refused as it is when typed, the quantity put back.
    QString PushQty(const QModelIndex& at, int r, const QString& text, const QString& now) {
        const int before = m_changed;
        const QString why =
            Write(at, text, now, GetLangString(QStringLiteral("%1 不在允许的范围内")).arg(text));
        if (!why.isEmpty() || m_changed == before)
            return why;
        if (QString refusal = clsPurchasePlan::PushQtyRefusal(m_grid, r); !refusal.isEmpty()) {
            m_grid.SetText(col::PushQty, r, now);
            --m_changed;
            m_named = true;
            return refusal;
        }
        return {};
    }

    // A code is checked before it is written, so a refused one never reaches the row; one that
    // passes is named and priced by the check a typed code gets as its cell is left.
    QString Supplier(const QModelIndex& at, int r, const QString& code, const QString& now) {
        if (code == now)
            return {};
        if (!code.isEmpty()) {
            auto known = m_checked.find(code);
            if (known == m_checked.end())
                known = m_checked.insert(code, ClsPurchasePlanUI::CheckSupplierCode(code));
            if (known->Name.isEmpty())
                return GetLangString(QStringLiteral("没有代码为“%1”的供应商。")).arg(code);
            if (!known->MayUse)
                return Lang("没有供应商的权限，请与系统管理员联系!");
        }
        const qint32 remembered = values::ToInt32(values::Val(m_grid.Text(col::SupplyID, r)));
        if (const QString why = Write(at, code, now); !why.isEmpty())
            return why;
        m_ui.GetRightSupply(col::SupplyNumber, r, remembered, now);
        return {};
    }

    controls::SpreadGrid& m_grid;
    ClsPurchasePlanUI& m_ui;
    QAbstractItemModel* m_model;
    QHash<QString, ClsPurchasePlanUI::SupplierCheck> m_checked; // by code, for one paste
    int m_changed = 0;
    bool m_named = false;
};

} // namespace

int PasteIntoList(controls::SpreadGrid& grid, ClsPurchasePlanUI& ui, const QVector<QStringList>& rows,
                  int col, int row) {
    // The block lies over the columns the user sees, as it looked where it was copied.
    QVector<int> columns;
    for (int c = col; c <= grid.MaxCols(); ++c)
        if (!grid.ColHidden(c))
            columns << c;
    int widest = 0;
    for (const QStringList& cells : rows)
        widest = std::max(widest, int(cells.size()));
    const int cutRows = std::max(0, row + int(rows.size()) - 1 - grid.MaxRows());
    const int cutCols = std::max(0, widest - int(columns.size()));
    const int lastRow = std::min(grid.MaxRows(), row + int(rows.size()) - 1);
    const int lastCol = columns.isEmpty() ? col : columns[std::min(widest, int(columns.size())) - 1];

    Paster paster(grid, ui);
    QStringList problems;
    int problemCount = 0;
    const bool quiet = qint64(rows.size()) * widest > kQuietAbove && grid.Redraw();
    if (quiet)
        grid.SetRedraw(false);
    struct RedrawBack {
        controls::SpreadGrid& g;
        bool on;
        ~RedrawBack() {
            if (on)
                g.SetRedraw(true);
        }
    } redrawBack{grid, quiet};
    for (int i = 0; i < rows.size() && row + i <= grid.MaxRows(); ++i) {
        const QStringList& cells = rows[i];
        for (int k = 0; k < cells.size() && k < columns.size(); ++k) {
            const int c = columns[k], r = row + i;
            const QString why = paster.Cell(c, r, cells[k]);
            if (why.isEmpty())
                continue;
            if (++problemCount > kListed)
                continue;
            problems << (paster.Named() ? why
                                        : GetLangString(QStringLiteral("第%1行“%2”：%3"))
                                              .arg(QString::number(r), grid.HeaderText(c), why));
        }
    }
    if (quiet) {
        grid.SetRedraw(true);
        redrawBack.on = false;
    }
    // The pasted block is left selected, as spreadsheets leave it.
    if (lastRow >= row && !columns.isEmpty()) {
        QAbstractItemModel* model = grid.View()->model();
        grid.View()->selectionModel()->select(
            QItemSelection(model->index(row - 1, col - 1), model->index(lastRow - 1, lastCol - 1)),
            QItemSelectionModel::ClearAndSelect);
    }

    QStringList said;
    if (problemCount > 0) {
        said << GetLangString(QStringLiteral("已粘贴 %1 个单元格；以下单元格没有粘贴，保留原来的值："))
                    .arg(paster.Changed());
        said << problems;
        if (problemCount > kListed)
            said << GetLangString(QStringLiteral("……另有 %1 个单元格没有粘贴")).arg(problemCount - kListed);
    }
    if (cutRows > 0)
        said << GetLangString(QStringLiteral("超出表格的 %1 行没有粘贴。")).arg(cutRows);
    if (cutCols > 0)
        said << GetLangString(QStringLiteral("超出表格的 %1 列没有粘贴。")).arg(cutCols);
    if (said.isEmpty() && paster.Changed() == 0)
        said << Lang("粘贴的内容与表格中的相同，没有修改。");
    if (!said.isEmpty())
        ui::MsgBox(said.join(u'\n'), ui::OkOnly | ui::Information, Lang("信息提示"));
    return paster.Changed();
}

} // namespace zpp
