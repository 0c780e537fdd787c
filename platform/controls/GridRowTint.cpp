// Rows tinted for what the program learned about them (another user changed their entry), apart
// from what their cells hold.
#include "GridModel.h"
#include "SpreadGrid.h"

#include <QTableView>

namespace zpp::controls {

void SpreadGrid::SetRowTints(const QHash<int, std::pair<QColor, QString>>& tints) {
    QHash<int, detail::GridModel::RowTint> rows;
    rows.reserve(tints.size());
    for (auto it = tints.cbegin(); it != tints.cend(); ++it)
        rows.insert(it.key() - 1, {it->first, it->second});
    static_cast<detail::GridModel*>(View()->model())->SetRowTints(rows);
}

void SpreadGrid::ClearRowTints() {
    static_cast<detail::GridModel*>(View()->model())->ClearRowTints();
}

QString SpreadGrid::RowTintTip(int row) const {
    const auto* tint = static_cast<const detail::GridModel*>(View()->model())->Tint(row - 1);
    return tint ? tint->Tip : QString();
}

} // namespace zpp::controls
