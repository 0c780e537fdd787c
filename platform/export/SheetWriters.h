#pragma once

#include "platform/export/Exporter.h"

#include <QStringList>
#include <QVector>
#include <memory>

// The two file formats behind Exporter::Write. Each writes under a temporary name in the
// target's folder and only Commit puts the file in place; destroying a sheet before Commit
// removes everything it wrote.
namespace zpp::exporting::detail {

struct SheetColumn {
    QString Caption;
    int Type = kTextType;
    double Width = 0; // characters; used by XLSX only
};

class SheetWriter {
public:
    virtual ~SheetWriter() = default;
    // Creates the temporary file; false with a reason (a directory that is missing or not
    // writable fails here, before any row is asked for).
    virtual bool Open(const QString& path, QString* reason) = 0;
    // heading: rows of texts above the caption row, written from the first column on.
    virtual bool Begin(const QString& title, const QVector<SheetColumn>& columns,
                       const QVector<QStringList>& heading, QString* reason) = 0;
    // values holds exactly one text per column.
    virtual bool WriteRow(const QStringList& values, QString* reason) = 0;
    virtual bool Commit(QString* reason) = 0;
};

std::unique_ptr<SheetWriter> MakeXlsxWriter();
std::unique_ptr<SheetWriter> MakeCsvWriter();

// Checks shared by both formats: the folder exists and the name is not a folder.
bool CheckTarget(const QString& path, QString* reason);

// A worksheet name Excel accepts: at most 31 characters, none of []:*?/\, not quoted.
QString SheetName(const QString& title);
// Columns a text takes on screen: East Asian wide characters count two; the longest line.
int DisplayWidth(const QString& text);
bool NeedsCsvQuotes(QStringView field);
// A spreadsheet opening a CSV file runs a cell that starts so as a formula; such text cells are
// written behind an apostrophe, which makes them plain text again.
bool LooksLikeFormula(QStringView field);
// Appends one CSV field, quoted when it holds a comma, quote, CR or LF.
void AppendCsvField(QString& line, QStringView field);

} // namespace zpp::exporting::detail
