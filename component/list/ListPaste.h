#pragma once

// Pasting a block of spreadsheet cells into the plan list, each cell checked as a typed one is.

#include <QString>
#include <QStringList>
#include <QVector>

namespace zpp {

class ClsPurchasePlanUI;
namespace controls {
class SpreadGrid;
}

// Pastes rows of cell texts over the list's shown columns, the first at (col, row): each cell
// goes through the checks a typed cell goes through as it is left (a supplier code looked up,
// named and priced or refused; a date read as typed or refused; a quantity to push within what
// is left). A refused cell keeps its value; a read-only cell is skipped. What was not pasted is
// listed by row and column in one message. Returns how many cells changed.
int PasteIntoList(controls::SpreadGrid& grid, ClsPurchasePlanUI& ui, const QVector<QStringList>& rows,
                  int col, int row);

} // namespace zpp
