#include "platform/export/Exporter.h"

#include "platform/export/ExportDialog.h"
#include "platform/export/SheetWriters.h"
#include "platform/ui/Prompt.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <algorithm>

namespace zpp::exporting {

namespace {
// Rows asked for before the XLSX columns are sized (widths must precede the rows).
constexpr int kSampleRows = 100;
constexpr double kMaxWidth = 60;
// How often the progress window is updated and events are processed.
constexpr int kProgressEvery = 256;
// Data rows an XLSX sheet holds below its caption row.
constexpr int kMaxXlsxRows = 1048576 - 1;

QString FileNameFor(const QString& title) {
    QString name = title.trimmed();
    for (QChar& ch : name) {
        if (QStringView(u"\\/:*?\"<>|").contains(ch) || ch.unicode() < 0x20)
            ch = u'_';
    }
    return name.isEmpty() ? ui::Tr("引出") : name;
}
} // namespace

void ExportRow::SetValue(int col, const QString& text) {
    if (col >= 1 && col <= m_values.size())
        m_values[col - 1] = text;
}

void ExportRow::Reset(int cols) {
    if (m_values.size() != cols) {
        m_values = QStringList(cols);
        return;
    }
    for (QString& v : m_values)
        v = QString();
}

Exporter::Exporter(QObject* parent) : QObject(parent) {}

void Exporter::SetColumnCount(int cols) {
    m_columns.resize(std::max(cols, 0));
}

Exporter::Column* Exporter::ColumnAt(int col) {
    return col >= 1 && col <= m_columns.size() ? &m_columns[col - 1] : nullptr;
}

void Exporter::SetColumnCaption(int col, const QString& caption) {
    if (Column* c = ColumnAt(col))
        c->Caption = caption;
}

void Exporter::SetColumnWidth(int col, int width) {
    if (Column* c = ColumnAt(col))
        c->Width = width;
}

void Exporter::SetColumnLeastWidth(int col, int width) {
    if (Column* c = ColumnAt(col))
        c->LeastWidth = width;
}

void Exporter::SetColumnDataType(int col, int type) {
    if (Column* c = ColumnAt(col))
        c->Type = type;
}

void Exporter::SetRowCount(int rows) {
    m_rows = std::max(rows, 0);
}

Format Exporter::FormatOf(const QString& path) {
    return QFileInfo(path).suffix().compare(u"csv", Qt::CaseInsensitive) == 0 ? Format::Csv : Format::Xlsx;
}

bool Exporter::FetchRow(int rowIndex, ExportRow& row) {
    row.Reset(int(m_columns.size()));
    Q_EMIT LoadData(rowIndex, &row);
    if (m_progress && rowIndex % kProgressEvery == 0)
        m_progress(rowIndex);
    return !m_cancelled;
}

bool Exporter::Write(const QString& path, Format format, const QString& title, QString* error) {
    m_cancelled = false;
    QString reason;
    auto failed = [&](const QString& why) {
        if (error)
            *error = ui::Tr("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(path), why);
        return false;
    };
    auto cancelled = [&] {
        if (error)
            *error = ui::Tr("引出已取消。");
        return false;
    };
    if (m_columns.isEmpty())
        return failed(ui::Tr("没有要引出的列。"));
    const qsizetype extra = m_heading.size() + m_closing.size();
    if (format == Format::Xlsx && m_rows + extra > kMaxXlsxRows)
        return failed(ui::Tr("Excel 工作表最多容纳 %1 行数据，要引出的有 %2 行。")
                          .arg(kMaxXlsxRows)
                          .arg(m_rows + extra));

    std::unique_ptr<detail::SheetWriter> sheet =
        format == Format::Xlsx ? detail::MakeXlsxWriter() : detail::MakeCsvWriter();
    if (!sheet->Open(path, &reason))
        return failed(reason);

    QVector<detail::SheetColumn> columns;
    for (const Column& c : m_columns)
        columns.push_back({c.Caption, c.Type, 0});

    ExportRow row;
    int next = 1;
    // Only XLSX needs its widths before the rows; the first rows are held just long enough to measure.
    QVector<QStringList> sample;
    if (format == Format::Xlsx) {
        for (; next <= std::min(m_rows, kSampleRows); ++next) {
            if (!FetchRow(next, row))
                return cancelled();
            sample.push_back(row.Values());
        }
        for (int c = 0; c < columns.size(); ++c) {
            int content = 0;
            for (const QStringList& values : sample)
                content = std::max(content, detail::DisplayWidth(values[c]));
            // Captions are bold, hence the extra tenth.
            const double fit = std::max(detail::DisplayWidth(columns[c].Caption) * 1.1, double(content)) + 2;
            const int bound = m_columns[c].Width;
            columns[c].Width =
                std::max(std::min(fit, bound > 0 ? std::min(kMaxWidth, double(bound)) : kMaxWidth),
                         std::min(kMaxWidth, double(m_columns[c].LeastWidth)));
        }
    }

    if (!sheet->Begin(title, columns, m_heading, &reason))
        return failed(reason);
    for (const QStringList& values : std::as_const(sample)) {
        if (!sheet->WriteRow(values, &reason))
            return failed(reason);
    }
    sample.clear();
    for (; next <= m_rows; ++next) {
        if (!FetchRow(next, row))
            return cancelled();
        if (!sheet->WriteRow(row.Values(), &reason))
            return failed(reason);
    }
    if (m_cancelled)
        return cancelled();
    for (QStringList values : std::as_const(m_closing)) {
        values.resize(columns.size());
        if (!sheet->WriteRow(values, &reason))
            return failed(reason);
    }
    if (!sheet->Commit(&reason))
        return failed(reason);
    return true;
}

void Exporter::RunExport(const QString& title, bool& result) {
    result = false;
    m_written.clear();
    QWidget* owner = QApplication::activeWindow();
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    ExportDialog dialog(QDir(folder).absoluteFilePath(FileNameFor(title) + u".xlsx"), owner);
    if (ui::ExecModal(dialog) != QDialog::Accepted || (!dialog.IsConfirmed() && !dialog.Confirm()))
        return;

    QProgressDialog progress(ui::Tr("正在引出“%1”...").arg(title), ui::Tr("取消"), 0, std::max(m_rows, 1),
                             owner);
    progress.setObjectName(QStringLiteral("prgExport"));
    progress.setWindowTitle(ui::Tr("引出"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500); // a short export shows nothing
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    m_progress = [this, &progress](int rowIndex) {
        progress.setValue(rowIndex);
        QCoreApplication::processEvents();
        if (progress.wasCanceled())
            m_cancelled = true;
    };
    struct ProgressGuard {
        Exporter* self;
        ~ProgressGuard() { self->m_progress = nullptr; }
    } guard{this};

    QString error;
    const bool written = Write(dialog.Path(), dialog.SelectedFormat(), title, &error);
    progress.close();
    if (written) {
        result = true;
        m_written = dialog.Path();
    } else if (!m_cancelled) {
        ui::MsgBox(m_failureHeading.isEmpty() ? error : m_failureHeading + u'\n' + error,
                   ui::OkOnly | ui::Information, m_failureTitle.isEmpty() ? ui::Tr("引出") : m_failureTitle);
    }
}

} // namespace zpp::exporting
