#include "SupplierRowGuard.h"

#include "component/grid/PlanGrid.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/MrpDataServer.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ui/Prompt.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QTableView>
#include <QToolTip>
#include <algorithm>
#include <vector>

namespace zpp {

namespace {
// The cells of a row a user changes.
constexpr int kGuarded[] = {col::CheckBox,     col::SupplyNumber, col::PushQty,    col::Price,
                            col::DiscountRate, col::TaxRate,      col::FinishDate, col::Memo};

bool Guarded(int c) {
    return std::find(std::begin(kGuarded), std::end(kGuarded), c) != std::end(kGuarded);
}

// A key that would open an editor or toggle a tick box.
bool EditKey(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    return key == Qt::Key_F2 || key == Qt::Key_Delete || key == Qt::Key_Backspace ||
           (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) || (key >= 0xA0 && key < Qt::Key_Escape);
}
} // namespace

SupplierRowGuard& SupplierRowGuard::Of(controls::SpreadGrid& grid) {
    if (auto* guard = grid.findChild<SupplierRowGuard*>(QString(), Qt::FindDirectChildrenOnly))
        return *guard;
    return *new SupplierRowGuard(grid);
}

SupplierRowGuard::SupplierRowGuard(controls::SpreadGrid& grid) : QObject(&grid), m_grid(grid) {
    connect(&grid, &controls::SpreadGrid::KeyDown, this,
            [this](int key, Qt::KeyboardModifiers modifiers, bool* handled) {
                if (*handled || !EditKey(key, modifiers) || !Guarded(m_grid.ActiveCol()))
                    return;
                *handled = Refuse(m_grid.ActiveRow());
            });
    // A click on the tick box is a try to tick it; the supplier cell's click opens its lookup,
    // which asks first.
    connect(&grid, &controls::SpreadGrid::Clicked, this, [this](int c, int r) {
        if (c == col::CheckBox)
            Refuse(r);
    });
    connect(&grid, &controls::SpreadGrid::EditStarting, this, [this](int c, int r) {
        if (c == col::SupplyNumber)
            m_edit = {r, m_grid.Text(c, r), m_grid.RowChanged(r)};
    });
    WatchViews();
}

void SupplierRowGuard::WatchViews() {
    for (QTableView* view : {m_grid.View(), m_grid.FrozenView()}) {
        if (!view || m_watched.contains(view))
            continue;
        m_watched.insert(view);
        view->viewport()->installEventFilter(this);
        // The tick box and the supplier cell answer the click that starts a double click.
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
            const int c = i.column() + 1;
            if (Guarded(c) && c != col::CheckBox && c != col::SupplyNumber)
                Refuse(i.row() + 1);
        });
    }
}

bool SupplierRowGuard::MayUse(const QString& code) {
    if (code.isEmpty())
        return true;
    if (auto it = m_mayUse.constFind(code); it != m_mayUse.constEnd())
        return *it;
    bool may = true;
    try {
        QString asked = code; // the services take the code by reference
        may = CreateObject<MrpDataServer>(QString::fromLatin1(progid::MrpDataServer))
                  ->IsSupplierright(GetPropsString(), asked, GetPropItem(QStringLiteral("UserID")));
    } catch (...) {
        // The lock is a help; the services refuse such a row's changes whatever the list shows.
    }
    m_mayUse.insert(code, may);
    return may;
}

void SupplierRowGuard::SetRowLocked(int row, bool locked) {
    for (int c : kGuarded)
        m_grid.SetCellLock(c, row, locked);
}

void SupplierRowGuard::LockRows(const RecordList* rows) {
    WatchViews();
    m_mayUse.clear(); // rights may have changed since the last fill
    const int n = m_grid.MaxRows();
    if (rows && rows->Count() != n)
        rows = nullptr;
    // By the shared id of the row's supplier where the rows have one: a million rows cost one
    // look-up each instead of a cell text each. 0: not known yet, 1: may use, 2: may not.
    std::vector<qint8> byId;
    const KeySet* keys = nullptr;
    int field = -1;
    const QString supplierField = PlanFieldNames().at(col::SupplyNumber - 1);
    bool any = false;
    for (int r = 1; r <= n; ++r) {
        int id = -1;
        if (rows) {
            if (const KeySet& k = rows->KeysAt(r); &k != keys) {
                keys = &k;
                field = k.IndexOf(supplierField);
            }
            id = rows->SharedIdAt(r, field);
        }
        bool may = true;
        if (id >= 0 && std::size_t(id) < byId.size() && byId[std::size_t(id)] != 0) {
            may = byId[std::size_t(id)] == 1;
        } else {
            may = MayUse(m_grid.Text(col::SupplyNumber, r));
            if (id >= 0 && id < 4 * n + 64) {
                if (byId.size() <= std::size_t(id))
                    byId.resize(std::size_t(id) + 1, 0);
                byId[std::size_t(id)] = may ? 1 : 2;
            }
        }
        // Rows of a new fill start unlocked: only rows that were locked need a write.
        if (!may || m_grid.CellLocked(col::SupplyNumber, r))
            SetRowLocked(r, !may);
        any = any || !may;
    }
    if (any)
        m_grid.View()->viewport()->update();
}

QString SupplierRowGuard::WhyLocked(int row) const {
    if (row < 1 || row > m_grid.MaxRows() || !m_grid.CellLocked(col::SupplyNumber, row))
        return {};
    const QString code = m_grid.Text(col::SupplyNumber, row);
    if (m_mayUse.value(code, true))
        return {};
    return GetLangString(QStringLiteral("没有供应商“%1”的权限，该行只能查看，不能修改。")).arg(code);
}

bool SupplierRowGuard::Refuse(int row) {
    const QString why = WhyLocked(row);
    if (why.isEmpty())
        return false;
    ui::MsgBox(why, ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
    return true;
}

void SupplierRowGuard::PutBack(int row, const QString& code) {
    m_grid.SetText(col::SupplyNumber, row, code);
    if (m_edit.Row == row && m_edit.Code == code && !m_edit.Marked)
        m_grid.MarkRowUnchanged(row);
}

bool SupplierRowGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    auto* view = qobject_cast<QAbstractItemView*>(watched->parent());
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex at = view ? view->indexAt(help->pos()) : QModelIndex();
    // A cell's own note (a merged row's differing values) keeps its tip.
    if (!at.isValid() || !at.data(Qt::ToolTipRole).toString().isEmpty())
        return false;
    const QString why = WhyLocked(at.row() + 1);
    if (why.isEmpty())
        return false;
    QToolTip::showText(help->globalPos(), why, view->viewport(), view->visualRect(at));
    return true;
}

} // namespace zpp
