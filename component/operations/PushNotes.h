#pragma once

// What a push leaves out of its own accord, and the words it uses when it pushes nothing.
#include <QString>

namespace zpp::controls {
class SpreadGrid;
}

namespace zpp::pushnotes {

// An open row with nothing left to order as the list shows it (its whole quantity ordered): a
// push leaves it out instead of refusing everything for it, so 全选 and 下推 push what is left.
bool NothingLeft(const controls::SpreadGrid& grid, int row);
// The first line of every push that ordered nothing, in the log-in language.
QString NothingPushed();
// One line counting the rows left out for having nothing left.
QString Skipped(int rows);
// A refusal's text headed by NothingPushed().
QString Refused(const QString& why);

} // namespace zpp::pushnotes
