#include "ListEditing.h"

#include "ListPrompts.h"
#include "component/grid/PlanGrid.h"
#include "component/host/Lang.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "component/list/ListPaste.h"
#include "component/list/frmPurchasePlan.h"
#include "component/operations/clsPurchasePlan.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/controls/TabText.h"
#include "platform/ui/Prompt.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QStatusBar>
#include <QTableView>
#include <algorithm>
#include <limits>

namespace zpp {

namespace {

// A copy past this many cells is refused: the export writes such lists.
constexpr qint64 kMostCopiedCells = 2'000'000;

using listprompts::Lang;

void Say(const QString& text) {
    ui::MsgBox(text, ui::OkOnly | ui::Information, Lang("信息提示"));
}

// Rows or columns that hold a selected cell, each once, ascending.
QVector<int> Spans(const QItemSelection& selection, bool rows) {
    QVector<int> out;
    for (const QItemSelectionRange& range : selection)
        for (int i = rows ? range.top() : range.left(), last = rows ? range.bottom() : range.right();
             i <= last; ++i)
            out << i + 1;
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace

ListEditing::ListEditing(frmPurchasePlan& window)
    : m_window(window), m_grid(window.vsProc()), m_history(m_grid) {
    // Connected after the window's own leave-cell check, whose writes belong to the edit.
    connect(&m_grid, &controls::SpreadGrid::LeaveCell, this, [this] { m_history.Seal(); });
    // A sort moves the rows: the steps go with them.
    connect(&m_grid, &controls::SpreadGrid::RowsMoved, this,
            [this](const QVector<int>& order) { m_history.RowsMoved(order); });
}

ListEditing::~ListEditing() = default;

QList<ListEditing::Tool> ListEditing::Tools() {
    return {{QStringLiteral("Undo"),
             Lang("撤销(&U)"),
             {QKeySequence(Qt::CTRL | Qt::Key_Z)},
             Lang("撤销上一步未保存的修改（保存、刷新、过滤和汇总之后，之前的修改不能再撤销）")},
            {QStringLiteral("Redo"),
             Lang("重做(&Y)"),
             {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
             Lang("重做撤销了的修改")},
            {QStringLiteral("Copy"),
             Lang("复制(&C)"),
             {QKeySequence(Qt::CTRL | Qt::Key_C)},
             Lang("把选中的单元格复制为电子表格可以粘贴的文本")},
            {QStringLiteral("Paste"),
             Lang("粘贴(&P)"),
             {QKeySequence(Qt::CTRL | Qt::Key_V)},
             Lang("从当前单元格起粘贴从电子表格复制的单元格，每个单元格都像输入时一样检查")}};
}

bool ListEditing::Handles(const QString& key) {
    return key == u"Undo" || key == u"Redo" || key == u"Copy" || key == u"Paste";
}

void ListEditing::Run(const QString& key) {
    if (key == u"Undo" || key == u"Redo")
        Take(key == u"Undo");
    else if (key == u"Copy")
        Copy();
    else if (key == u"Paste")
        AsOneStep([this] { Paste(); });
}

void ListEditing::AsOneStep(const std::function<void()>& work) {
    struct Step {
        controls::GridHistory& h;
        explicit Step(controls::GridHistory& history) : h(history) { h.BeginStep(); }
        ~Step() { h.EndStep(); }
    } step(m_history);
    work();
}

QString ListEditing::Refusal(const controls::GridHistory::Step& step, bool undo) const {
    for (const controls::GridHistory::Cell& c : step.Cells) {
        const QString& code = undo ? c.Before : c.After;
        if (c.Col != col::SupplyNumber || code.isEmpty())
            continue;
        // The user's rights may have changed since the code was typed.
        const ClsPurchasePlanUI::SupplierCheck check = ClsPurchasePlanUI::CheckSupplierCode(code);
        const QString why = check.Name.isEmpty()
                                ? GetLangString(QStringLiteral("没有代码为“%1”的供应商。")).arg(code)
                            : check.MayUse ? QString()
                                           : Lang("没有供应商的权限，请与系统管理员联系!");
        if (!why.isEmpty())
            return GetLangString(QStringLiteral("第%1行“%2”：%3"))
                .arg(QString::number(c.Row), m_grid.HeaderText(c.Col), why);
    }
    return {};
}

void ListEditing::Take(bool undo) {
    const controls::GridHistory::Step* next = undo ? m_history.NextUndo() : m_history.NextRedo();
    if (!next) {
        Say(undo ? Lang("没有可以撤销的修改（保存、刷新、过滤和汇总之前的修改不能撤销）。")
                 : Lang("没有可以重做的修改。"));
        return;
    }
    const auto refused = [&](const QString& why) {
        // Never offered again: the steps beyond it would have to pass through it.
        if (undo)
            m_history.DropUndo();
        else
            m_history.DropRedo();
        Say((undo ? Lang("不能撤销：撤销会恢复被拒绝的值。") : Lang("不能重做：重做会恢复被拒绝的值。")) +
            u'\n' + why);
    };
    if (const QString why = Refusal(*next, undo); !why.isEmpty())
        return refused(why);
    const controls::GridHistory::Cell first = next->Cells.first();
    QVector<int> pushRows;
    for (const controls::GridHistory::Cell& c : next->Cells)
        if (c.Col == col::PushQty)
            pushRows << c.Row;
    const auto outcome = undo ? m_history.Undo() : m_history.Redo();
    if (outcome == controls::GridHistory::Outcome::Stale) {
        Say(Lang("这些单元格已被其他操作改变，之前的修改不能再撤销或重做。"));
        return;
    }
    // A quantity to push is checked against what is left, as a typed one is.
    for (int r : pushRows) {
        if (const QString why = clsPurchasePlan::PushQtyRefusal(m_grid, r); !why.isEmpty()) {
            if (undo)
                m_history.Redo();
            else
                m_history.Undo();
            return refused(why);
        }
    }
    m_window.DataChanged = m_grid.ChangedRowCount() > 0;
    // Where the change is, as spreadsheets show it.
    m_grid.SetActiveCell(first.Col, first.Row);
    m_grid.ScrollToRow(first.Row);
}

void ListEditing::Copy() {
    QTableView* view = m_grid.View();
    QItemSelection selection = view->selectionModel()->selection();
    if (selection.isEmpty() && view->currentIndex().isValid())
        selection.select(view->currentIndex(), view->currentIndex());
    const QVector<int> rows = Spans(selection, true);
    QVector<int> cols;
    for (int c : Spans(selection, false))
        if (!m_grid.ColHidden(c))
            cols << c;
    if (rows.isEmpty() || cols.isEmpty()) {
        Say(Lang("请先选择要复制的单元格。"));
        return;
    }
    if (qint64(rows.size()) * cols.size() > kMostCopiedCells) {
        Say(GetLangString(QStringLiteral("选择的单元格太多（%1 行 × %2 列），请用“引出”保存整个列表。"))
                .arg(rows.size())
                .arg(cols.size()));
        return;
    }
    // Rows and columns between selected ones are left out; a cell of the block that is not
    // selected itself is copied empty.
    const bool whole = selection.size() == 1;
    QVector<QStringList> texts;
    texts.reserve(rows.size());
    QAbstractItemModel* model = view->model();
    for (int r : rows) {
        QStringList cells;
        cells.reserve(cols.size());
        for (int c : cols)
            cells << (whole || selection.contains(model->index(r - 1, c - 1)) ? m_grid.Text(c, r)
                                                                              : QString());
        texts << cells;
    }
    QApplication::clipboard()->setText(controls::FormatTabText(texts));
    m_window.statusBar()->showMessage(
        GetLangString(QStringLiteral("已复制 %1 行 %2 列")).arg(rows.size()).arg(cols.size()), 5000);
}

void ListEditing::Paste() {
    const QVector<QStringList> rows = controls::ParseTabText(QApplication::clipboard()->text());
    if (rows.isEmpty()) {
        Say(Lang("剪贴板中没有可以粘贴的内容。"));
        return;
    }
    // The top left cell of the selection, else the active cell.
    int col = m_grid.ActiveCol(), row = m_grid.ActiveRow();
    const QItemSelection selection = m_grid.View()->selectionModel()->selection();
    if (!selection.isEmpty()) {
        col = row = std::numeric_limits<int>::max();
        for (const QItemSelectionRange& range : selection) {
            col = std::min(col, range.left() + 1);
            row = std::min(row, range.top() + 1);
        }
    }
    if (row < 1 || col < 1) {
        Say(Lang("请先选择要粘贴到的单元格。"));
        return;
    }
    if (PasteIntoList(m_grid, *m_window.PurchasePlanUI(), rows, col, row) > 0)
        m_window.DataChanged = true;
}

} // namespace zpp
