#include "PlanSort.h"

#include "ClsPurchasePlanUI.h"
#include "ReorderedRows.h"
#include "component/host/Lang.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Error.h"
#include "platform/ui/Prompt.h"

#include <QMenu>
#include <numeric>

namespace zpp {

const QString PlanSort::Ascending = QStringLiteral("SortAscending");
const QString PlanSort::Descending = QStringLiteral("SortDescending");
const QString PlanSort::Unsorted = QStringLiteral("SortNone");

bool PlanSort::IsCommand(const QString& key) {
    return key == Ascending || key == Descending || key == Unsorted;
}

void PlanSort::ShowHeaderMenu(int col, const QPoint& globalPos,
                              const std::function<void(const QString&)>& run) {
    auto* menu = new QMenu(&m_grid);
    menu->setObjectName(QStringLiteral("mnuSort"));
    // Gone once closed, however: a choice runs first, as the menu hides before it triggers.
    QObject::connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    const auto add = [&](const QString& key, const char* caption) {
        QAction* a = menu->addAction(GetLangString(QString::fromUtf8(caption)));
        a->setObjectName(key);
        QObject::connect(a, &QAction::triggered, menu, [this, col, key, run] {
            m_menuCol = col;
            run(key);
            m_menuCol = 0;
        });
        return a;
    };
    add(Ascending, "升序排列");
    add(Descending, "降序排列");
    add(Unsorted, "取消排序")->setEnabled(m_col > 0);
    menu->setAccessibleName(m_grid.HeaderText(col));
    // Not modal: the menu closes on its own when the user clicks elsewhere.
    menu->popup(globalPos);
}

void PlanSort::Run(const QString& key) {
    Adopt();
    const int col = m_menuCol > 0 ? m_menuCol : m_grid.ActiveCol();
    if (key == Unsorted) {
        m_col = 0;
        Unsort();
        m_grid.SetSortIndicator(0, true);
        return;
    }
    if (col < 1 || col > m_grid.MaxCols()) {
        ui::MsgBox(GetLangString(QStringLiteral("请先点击要排序的列。")), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
        return;
    }
    m_col = col;
    m_ascending = key == Ascending;
    m_sorted = false;
    if (!Sort())
        ui::MsgBox(GetLangString(QStringLiteral("列表的行与表格不一致，请刷新后再排序。")),
                   ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
}

void PlanSort::Adopt() {
    const RecordListPtr& rows = m_list.Rows();
    if (rows == m_shown)
        return;
    m_base = rows;
    m_shown = rows;
    m_order.clear();
    m_sorted = false;
}

void PlanSort::Follow() {
    Adopt();
    if (m_col < 1 || m_sorted)
        return;
    try {
        if (!Sort())
            m_grid.SetSortIndicator(0, true); // not sorted now; the next rows read are
    } catch (const std::exception& e) {
        // The rows stay as they came; the sort is tried again after the next command.
        m_grid.SetSortIndicator(0, true);
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
}

bool PlanSort::Sort() {
    // Records that do not match the grid row for row cannot follow it; the grid is left alone.
    if (m_base && m_base->Count() != m_grid.MaxRows())
        return false;
    Move(m_grid.SortOrder(m_col, m_ascending));
    m_grid.SetSortIndicator(m_col, m_ascending);
    m_sorted = true;
    return true;
}

void PlanSort::Unsort() {
    m_sorted = false;
    if (m_order.empty() || int(m_order.size()) != m_grid.MaxRows())
        return;
    // Grid row j shows the row that came in at m_order[j]: it goes back there.
    QVector<int> back(int(m_order.size()));
    for (int j = 0; j < int(m_order.size()); ++j)
        back[m_order[std::size_t(j)] - 1] = j + 1;
    m_grid.MoveRows(back);
    m_order.clear();
    Publish(m_base);
}

void PlanSort::Move(const QVector<int>& order) {
    bool same = true;
    for (int i = 0; i < order.size() && same; ++i)
        same = order[i] == i + 1;
    if (same)
        return;
    m_grid.MoveRows(order);
    std::vector<int> composed(std::size_t(order.size()));
    for (int i = 0; i < order.size(); ++i)
        composed[std::size_t(i)] = m_order.empty() ? order[i] : m_order[std::size_t(order[i] - 1)];
    m_order = std::move(composed);
    if (m_base)
        Publish(RecordList::Over(std::make_shared<ReorderedRows>(m_base, m_order)));
}

void PlanSort::Publish(const RecordListPtr& rows) {
    const RecordListPtr was = m_list.Rows();
    m_list.SetFieldDataVct(rows);
    // The print's row provider reads the list's rows by place as well.
    if (const auto& preview = m_list.PreviewDetail(); preview && preview->FieldDataVct == was)
        preview->FieldDataVct = rows;
    m_shown = rows;
}

} // namespace zpp
