// Find over the shown cells in reading order, wrapping past the end: where a search goes next is
// its own rule, apart from how cells are stored and shown.
#include "SpreadGridImpl.h"

#include <algorithm>

namespace zpp::controls {

std::optional<std::pair<int, int>> SpreadGrid::Find(const QString& text, int col, int row, bool forward,
                                                    bool matchCase) const {
    const int rows = MaxRows(), cols = MaxCols();
    if (text.isEmpty() || rows < 1 || cols < 1)
        return std::nullopt;
    QVector<int> shown;
    for (int c = 0; c < cols; ++c)
        if (!d->model->Col(c).hidden)
            shown << c;
    if (shown.isEmpty())
        return std::nullopt;
    // Text without letters of two cases matches itself in any case: the exact search is faster.
    const bool caseless = text.toLower() == text && text.toUpper() == text;
    const Qt::CaseSensitivity cs = matchCase || caseless ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const int startRow = std::clamp(row, 1, rows) - 1;
    const int startCol = std::clamp(col, 1, cols) - 1;
    const auto cell = [&](int c, int r) { return d->model->Col(c).cells.FindRow(text, r, r, true, cs) == r; };
    // Reading order over the shown columns. The start cell is the last one visited, so a
    // repeated find moves on and a lone match is found again.
    const auto inStartRow = [&](bool after) -> std::optional<std::pair<int, int>> {
        const int n = int(shown.size());
        for (int k = 0; k < n; ++k) {
            const int c = shown[forward ? k : n - 1 - k];
            const bool isAfter = forward ? c > startCol : c < startCol;
            if (isAfter == after && cell(c, startRow))
                return std::pair{c + 1, startRow + 1};
        }
        return std::nullopt;
    };
    // The nearest row of [from, to] holding the text in any shown column, the earlier column on a tie.
    const auto inRows = [&](int from, int to) -> std::optional<std::pair<int, int>> {
        int bestCol = -1, bestRow = -1;
        const int n = int(shown.size());
        for (int k = 0; k < n; ++k) {
            const int c = shown[forward ? k : n - 1 - k];
            // A later column must come strictly nearer to win.
            const int lo = bestRow >= 0 && !forward ? bestRow + 1 : from;
            const int hi = bestRow >= 0 && forward ? bestRow - 1 : to;
            const int r = d->model->Col(c).cells.FindRow(text, lo, hi, forward, cs);
            if (r >= 0) {
                bestCol = c;
                bestRow = r;
            }
        }
        return bestRow >= 0 ? std::optional(std::pair{bestCol + 1, bestRow + 1}) : std::nullopt;
    };
    if (auto hit = inStartRow(true))
        return hit;
    if (auto hit = forward ? inRows(startRow + 1, rows - 1) : inRows(0, startRow - 1))
        return hit;
    if (auto hit = forward ? inRows(0, startRow - 1) : inRows(startRow + 1, rows - 1))
        return hit;
    return inStartRow(false);
}

} // namespace zpp::controls
