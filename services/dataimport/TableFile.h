#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace zpp::services {

// A spreadsheet read a row at a time, so a file of any length takes the memory of one row:
// CSV (UTF-8 with or without a byte order mark, comma or semicolon) and XLSX (the first sheet).
class TableReader {
public:
    virtual ~TableReader() = default;
    // The next row that holds any text, with its number in the file (1 is the first row);
    // false at the end. Fails with an Error when the file turns out unreadable half-way.
    virtual bool Next(QStringList& cells, qint64& rowNo) = 0;
    // How far the reading has come, from 0 to 1.
    virtual double Progress() const = 0;
};

// Opens a table by its name's ending (".csv" is CSV, ".xlsx" XLSX); fails with an Error that says
// why a file cannot be read.
std::unique_ptr<TableReader> OpenTable(const QString& path);

// A spreadsheet's day number (days since 1899-12-30) as a date text, or empty when text is no
// such number; files filled in a spreadsheet keep dates that way.
QString SerialDateText(const QString& text);

} // namespace zpp::services
