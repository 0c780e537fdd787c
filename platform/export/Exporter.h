#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class QWidget;

namespace zpp::exporting {

enum class Format { Xlsx, Csv };

// Data types of export columns: 7 a number, 10 text.
inline constexpr int kNumberType = 7;
inline constexpr int kTextType = 10;

// One row being exported: the caller fills it while handling LoadData.
class ExportRow {
public:
    // 1-based export column; values outside the columns are ignored.
    void SetValue(int col, const QString& text);
    const QStringList& Values() const { return m_values; }
    void Reset(int cols);

private:
    QStringList m_values;
};

// The export component: columns are announced, then RunExport shows its own dialog (file
// name and format), writes the file and asks for each row in turn through LoadData, never
// holding the whole sheet. The file is written under a temporary name and renamed at the end,
// so a cancelled or failed export leaves no half-written file and an existing file untouched.
class Exporter : public QObject {
    Q_OBJECT
public:
    explicit Exporter(QObject* parent = nullptr);

    void SetColumnCount(int cols);
    void SetColumnCaption(int col, const QString& caption);
    // Widest the column may be, in characters (XLSX); within it the caption and the first rows
    // decide. 0, or anything above 60, leaves the cap at 60.
    void SetColumnWidth(int col, int width);
    // Narrowest the column may be, in characters (XLSX): room for what is to be typed into an
    // empty sheet (a template's dates), which neither the caption nor any row shows.
    void SetColumnLeastWidth(int col, int width);
    void SetColumnDataType(int col, int type);
    void SetRowCount(int rows);
    // A document's heading (who, what, when): rows of texts above the caption row, from the
    // first column on; they take no part in the columns' widths.
    void SetHeadingRows(QVector<QStringList> rows) { m_heading = std::move(rows); }
    // Rows below the data rows (a document's totals), one value per column as data rows have.
    void SetClosingRows(QVector<QStringList> rows) { m_closing = std::move(rows); }

    // Asks for the file through the dialog (through the modal seam), writes it with a progress
    // window that can cancel, and says what went wrong (MsgBox) when it cannot be written.
    // result: true when the file was written; false when the user cancelled or it failed.
    void RunExport(const QString& title, bool& result);
    // How RunExport reports a file it could not write: a heading line above the reason, and the
    // message box's title (default: the reason alone, titled 引出).
    void SetFailureText(QString heading, QString title) {
        m_failureHeading = std::move(heading);
        m_failureTitle = std::move(title);
    }
    // The file RunExport wrote last; empty when it wrote none.
    const QString& WrittenPath() const { return m_written; }

    // The same without any window: writes path in the format. False with a reason in error
    // when it cannot be written. Used by RunExport, tests and benchmarks.
    bool Write(const QString& path, Format format, const QString& title, QString* error = nullptr);

    // The format a file name implies (".csv" is CSV, anything else XLSX).
    static Format FormatOf(const QString& path);

    // Stops the export under way (callable from a LoadData handler): Write returns false and
    // no file is left behind.
    void Cancel() { m_cancelled = true; }
    bool WasCancelled() const { return m_cancelled; }

Q_SIGNALS:
    // Row index counts data rows from 1; the handler fills row (connected directly).
    void LoadData(int rowIndex, zpp::exporting::ExportRow* row);

private:
    struct Column {
        QString Caption;
        int Width = 0, LeastWidth = 0;
        int Type = kTextType;
    };
    Column* ColumnAt(int col);
    bool FetchRow(int rowIndex, ExportRow& row);

    QVector<Column> m_columns;
    QVector<QStringList> m_heading, m_closing;
    int m_rows = 0;
    bool m_cancelled = false;
    QString m_written;
    QString m_failureHeading, m_failureTitle;
    // Set by RunExport while its progress window is up; called every few hundred rows.
    std::function<void(int rowIndex)> m_progress;
};

} // namespace zpp::exporting
