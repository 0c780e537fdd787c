#pragma once

// SpreadGrid's private part, for the grid's own files that reach past its public API: the model,
// the views and their shared cursor.
#include "GridModel.h"
#include "GridView.h"
#include "SpreadGrid.h"

namespace zpp::controls {

struct SpreadGrid::Impl {
    detail::GridModel* model = nullptr;
    detail::GridView* view = nullptr;
    detail::Cursor cursor;
    bool applyingWidths = false;
    // The active cell across a model reset, which forgets it (0-based; -1 when none).
    int keepCol = -1;
    int keepRow = -1;
    bool keepSet = false;

    bool HasCol(int col) const { return col >= 1 && col <= model->Cols(); }
    bool HasCell(int col, int row) const { return HasCol(col) && row >= 1 && row <= model->Rows(); }

    double CharWidth() const;
    static constexpr int kPadding = 6;

    void ApplyColumn(int c, bool layOut = true);
    void ApplyColumns();
    // A width dragged in one view's header goes to the other and is remembered in the
    // grid's own unit.
    void SectionResized(int c, int size);
    static void SetUpView(QTableView* view, QHeaderView* rows);
    void MakeFrozenView(SpreadGrid* grid);
};

} // namespace zpp::controls
