#pragma once

// Cells as spreadsheet programs put them on the clipboard and read them back from it.

#include <QString>
#include <QStringList>
#include <QVector>

namespace zpp::controls {

// Rows of cells from clipboard text: a tab ends a cell, a line end (LF, CRLF or CR) a row. A cell
// that starts with a quote runs to its closing quote and may hold tabs and line ends, "" standing
// for one quote; a quote never closed is taken as written. The line end after the last row ends
// that row (it starts no empty one). Rows keep the number of cells they have.
QVector<QStringList> ParseTabText(const QString& text);

// The text spreadsheet programs read as these rows: a cell that holds a tab, a line end or a
// quote is quoted, and every row ends with a line end. A single cell is its text alone when it
// needs no quotes, as a text field takes it.
QString FormatTabText(const QVector<QStringList>& rows);

} // namespace zpp::controls
