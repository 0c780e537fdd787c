#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

namespace zpp::services {

// The most a table file may hold. A file beyond them is no spreadsheet a person filled in but a
// damaged or hostile one (a few hundred kilobytes of zip can unpack to gigabytes), and reading on
// would only spend memory and time.
namespace tablelimits {
// A workbook's sheet, unpacked. It is read a piece at a time, so this bounds the time a read
// takes, not its memory: some two million rows of eight columns.
inline constexpr qint64 kSheetBytes = qint64(1) << 30;
// A workbook's shared strings, unpacked: every cell may refer to any of them, so they stay in
// memory (as UTF-8) for the whole read.
inline constexpr qint64 kSharedStringsBytes = qint64(128) << 20;
// Any other part of a workbook that is read (workbook, relationships, styles), read whole.
inline constexpr qint64 kPartBytes = qint64(16) << 20;
// The longest text of one cell, a spreadsheet's own limit, and of one row's cells together.
inline constexpr qsizetype kCellChars = 32767;
inline constexpr qsizetype kRowChars = qsizetype(1) << 20;
// The columns a row may have: XFD, a spreadsheet's last column.
inline constexpr int kColumns = 16384;
} // namespace tablelimits

// A problem of one row found while reading it: a quote left open, more fields than captions, a
// number that could mean two things, a text too long.
struct TableProblem {
    qint64 Row = 0;
    QString Column; // the column's caption in the file (its letters when it has none); empty: the row
    QString Text;
};

// A spreadsheet read a row at a time, so a file of any length takes the memory of one row:
// CSV (UTF-8 with or without a byte order mark, comma or semicolon) and XLSX (the first sheet).
//
// The first row is the captions. Columns captioned as an import's number, rate or date column are
// read the way the import reads them: a rate column's "13%" is 13; in a semicolon file numbers
// have a decimal comma; a workbook's percent cell reads as the user sees it (0.13 as "13%"), its
// date cells and the day numbers of date columns as dates in the workbook's own date system.
class TableReader {
public:
    virtual ~TableReader() = default;
    // The next row that holds any text, with its number in the file (1 is the first row); false
    // at the end. Fails with an Error when the file turns out unreadable half-way, and at the end
    // when problems of rows were found and TakeProblems was never called: a file read wrong is
    // never taken as read. A caller that takes problems takes them after the last call too.
    bool Next(QStringList& cells, qint64& rowNo);
    // How far the reading has come, from 0 to 1.
    virtual double Progress() const = 0;
    // The problems of the rows read so far, each handed over once. The rows themselves are
    // returned all the same, read as far as they can be.
    QVector<TableProblem> TakeProblems();

protected:
    enum class Role : char { Text, Number, Rate, Date };

    explicit TableReader(QString fileName) : m_fileName(std::move(fileName)) {}
    virtual bool ReadRow(QStringList& cells, qint64& rowNo) = 0;

    const QString& FileName() const { return m_fileName; }
    bool HasCaptions() const { return m_hasCaptions; }
    // The columns up to the last one that has a caption.
    qsizetype CaptionCount() const { return m_captionCount; }
    Role RoleOf(qsizetype column) const { return column < m_roles.size() ? m_roles[column] : Role::Text; }
    // column -1: the whole row.
    void Problem(qint64 row, qsizetype column, const QString& text);
    // Set by a semicolon file: a comma is its decimal mark.
    bool m_decimalComma = false;

private:
    void ReadNumbers(QStringList& cells, qint64 row);

    QString m_fileName;
    bool m_hasCaptions = false;
    QStringList m_captions;
    qsizetype m_captionCount = 0;
    QVector<Role> m_roles;
    QVector<TableProblem> m_problems;
    qint64 m_unlisted = 0;
    bool m_problemsTaken = false; // a caller lists them with its own
};

// A caption as the import compares it: full-width forms, spaces and case do not count, so
// "税率（%）" and "税率 (%)" are 税率(%).
QString CaptionKey(const QString& caption);

// Opens a table by its name's ending (".csv" or ".txt" is CSV, ".xlsx" XLSX); fails with an Error
// that says why a file cannot be read.
std::unique_ptr<TableReader> OpenTable(const QString& path);

// A spreadsheet's day number as a date text ("2022-11-30"), or empty when text is no such number;
// files filled in a spreadsheet keep dates that way. Days count from 1899-12-30 (so from March
// 1900 on as spreadsheets count them) or, in a workbook of the 1904 date system, from 1904-01-01.
QString SerialDateText(const QString& text, bool date1904 = false);

} // namespace zpp::services
