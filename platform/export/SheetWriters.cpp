#include "platform/export/SheetWriters.h"

#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <array>
#include <filesystem>
#include <xlsxwriter.h>

namespace zpp::exporting::detail {

namespace {

// Excel keeps at most this many characters in a cell.
constexpr qsizetype kMaxCellChars = 32767;
constexpr qsizetype kFlushAt = 256 * 1024;

std::filesystem::path FsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

// Appends text as UTF-8 into buffer without a temporary per cell.
void AppendUtf8(QByteArray& buffer, QStringEncoder& encoder, QStringView text) {
    const qsizetype old = buffer.size();
    buffer.resize(old + encoder.requiredSpace(text.size()));
    char* end = encoder.appendToBuffer(buffer.data() + old, text);
    buffer.resize(end - buffer.constData());
}

bool IsXmlForbidden(char16_t ch) {
    return ch < 0x20 && ch != u'\t' && ch != u'\n' && ch != u'\r';
}

class XlsxWriter : public SheetWriter {
public:
    ~XlsxWriter() override {
        if (m_workbook) {
            // Freeing an unclosed workbook leaves the sheet's row file open; close it ourselves.
            if (m_sheet && m_sheet->optimize_tmpfile) {
                fclose(m_sheet->optimize_tmpfile);
                m_sheet->optimize_tmpfile = nullptr;
            }
            lxw_workbook_free(m_workbook);
        }
        if (!m_committed && !m_tempPath.isEmpty())
            QFile::remove(m_tempPath);
    }

    bool Open(const QString& path, QString* reason) override {
        if (!CheckTarget(path, reason))
            return false;
        const QFileInfo target(path);
        m_target = target.absoluteFilePath();
        // Reserve a unique name beside the target so the final rename stays on one file system.
        QTemporaryFile temp(target.absolutePath() + u"/." + target.fileName() + u".XXXXXX");
        temp.setAutoRemove(false);
        if (!temp.open()) {
            *reason = ui::Tr("无法在该文件夹中创建文件（%1）。").arg(temp.errorString());
            return false;
        }
        m_tempPath = temp.fileName();
        temp.close();
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;
        m_workbook = workbook_new_opt(QFile::encodeName(m_tempPath).constData(), &options);
        if (!m_workbook) {
            *reason = ui::Tr("无法创建 Excel 工作簿。");
            return false;
        }
        return true;
    }

    bool Begin(const QString& title, const QVector<SheetColumn>& columns, const QVector<QStringList>& heading,
               QString* reason) override {
        m_sheet = workbook_add_worksheet(m_workbook, SheetName(title).toUtf8().constData());
        if (!m_sheet)
            m_sheet = workbook_add_worksheet(m_workbook, nullptr);
        if (!m_sheet) {
            *reason = ui::Tr("无法创建工作表。");
            return false;
        }
        lxw_format* bold = workbook_add_format(m_workbook);
        format_set_bold(bold);
        m_numberColumn.clear();
        for (int c = 0; c < columns.size(); ++c) {
            worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), columns[c].Width, nullptr);
            m_numberColumn.push_back(columns[c].Type == kNumberType);
        }
        for (const QStringList& texts : heading) {
            for (int c = 0; c < texts.size(); ++c) {
                if (texts[c].isEmpty())
                    continue;
                if (const lxw_error err = WriteText(c, texts[c], c == 0 && m_row == 0 ? bold : nullptr))
                    return Failed(err, reason);
            }
            ++m_row;
        }
        worksheet_freeze_panes(m_sheet, m_row + 1, 0);
        for (int c = 0; c < columns.size(); ++c) {
            if (const lxw_error err = WriteText(c, columns[c].Caption, bold))
                return Failed(err, reason);
        }
        ++m_row;
        return true;
    }

    bool WriteRow(const QStringList& values, QString* reason) override {
        for (int c = 0; c < values.size(); ++c) {
            const QString& text = values[c];
            if (text.isEmpty())
                continue;
            lxw_error err;
            if (m_numberColumn[c] && values::IsNumber(text)) {
                err = worksheet_write_number(m_sheet, m_row, lxw_col_t(c),
                                             QStringView(text).trimmed().toDouble(), DecimalsFormat(text));
            } else {
                err = WriteText(c, text, nullptr);
            }
            if (err != LXW_NO_ERROR)
                return Failed(err, reason);
        }
        ++m_row;
        return true;
    }

    bool Commit(QString* reason) override {
        const lxw_error err = workbook_close(m_workbook);
        m_workbook = nullptr; // closed or not, the library has freed it
        if (err != LXW_NO_ERROR)
            return Failed(err, reason);
        // The temporary was made private to us; the file takes the target's permissions or the usual ones.
        QFile::setPermissions(m_tempPath, QFileInfo::exists(m_target)
                                              ? QFile::permissions(m_target)
                                              : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                                    QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
        std::error_code ec;
        std::filesystem::rename(FsPath(m_tempPath), FsPath(m_target), ec);
        if (ec) {
            *reason = QString::fromLocal8Bit(ec.message());
            return false;
        }
        m_committed = true;
        return true;
    }

private:
    lxw_error WriteText(int col, const QString& text, lxw_format* format) {
        QStringView view(text);
        QString cleaned;
        // Characters XML cannot carry would make the file unreadable; cells are limited in length.
        if (std::any_of(text.begin(), text.end(), [](QChar ch) { return IsXmlForbidden(ch.unicode()); })) {
            cleaned = text;
            for (QChar& ch : cleaned) {
                if (IsXmlForbidden(ch.unicode()))
                    ch = u' ';
            }
            view = cleaned;
        }
        if (view.size() > kMaxCellChars)
            view = view.first(view[kMaxCellChars - 1].isHighSurrogate() ? kMaxCellChars - 1 : kMaxCellChars);
        m_utf8.resize(0);
        AppendUtf8(m_utf8, m_encoder, view);
        return worksheet_write_string(m_sheet, m_row, lxw_col_t(col), m_utf8.constData(), format);
    }

    // Numbers keep the decimals they were shown with ("12.50" stays 12.50 in the sheet).
    lxw_format* DecimalsFormat(const QString& text) {
        const QStringView t = QStringView(text).trimmed();
        const qsizetype point = t.indexOf(u'.');
        if (point < 0 || t.contains(u'e', Qt::CaseInsensitive))
            return nullptr;
        const qsizetype decimals =
            std::min<qsizetype>(t.size() - point - 1, qsizetype(m_decimals.size() - 1));
        if (decimals <= 0)
            return nullptr;
        lxw_format*& format = m_decimals[decimals];
        if (!format) {
            format = workbook_add_format(m_workbook);
            const QByteArray pattern = "0." + QByteArray(decimals, '0');
            format_set_num_format(format, pattern.constData());
        }
        return format;
    }

    bool Failed(lxw_error err, QString* reason) {
        *reason = QString::fromUtf8(lxw_strerror(err));
        return false;
    }

    QString m_target;
    QString m_tempPath;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_row_t m_row = 0;
    QVector<bool> m_numberColumn;
    std::array<lxw_format*, 16> m_decimals = {};
    QStringEncoder m_encoder{QStringEncoder::Utf8};
    QByteArray m_utf8;
    bool m_committed = false;
};

class CsvWriter : public SheetWriter {
public:
    // QSaveFile discards its temporary unless committed.
    bool Open(const QString& path, QString* reason) override {
        if (!CheckTarget(path, reason))
            return false;
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly)) {
            *reason = ui::Tr("无法在该文件夹中创建文件（%1）。").arg(m_file.errorString());
            return false;
        }
        m_buffer.reserve(kFlushAt + 64 * 1024);
        m_buffer.append("\xEF\xBB\xBF"); // the BOM tells Excel the file is UTF-8
        return true;
    }

    bool Begin(const QString&, const QVector<SheetColumn>& columns, const QVector<QStringList>& heading,
               QString* reason) override {
        // Heading and captions are texts whatever the columns below them hold.
        for (const QStringList& texts : heading)
            if (!WriteRow(texts, reason))
                return false;
        QStringList captions;
        for (const SheetColumn& c : columns)
            captions.push_back(c.Caption);
        if (!WriteRow(captions, reason))
            return false;
        for (const SheetColumn& c : columns)
            m_numberColumn.push_back(c.Type == kNumberType);
        return true;
    }

    bool WriteRow(const QStringList& values, QString* reason) override {
        for (int c = 0; c < values.size(); ++c) {
            if (c > 0)
                m_buffer.append(',');
            QStringView field = values[c];
            const bool number = c < m_numberColumn.size() && m_numberColumn[c] && values::IsNumber(field);
            if (!number && LooksLikeFormula(field)) {
                m_guarded.resize(0);
                m_guarded += u'\'';
                m_guarded += field;
                field = m_guarded;
            }
            // Most fields need no quotes and go straight into the buffer.
            if (NeedsCsvQuotes(field)) {
                m_field.resize(0);
                AppendCsvField(m_field, field);
                AppendUtf8(m_buffer, m_encoder, m_field);
            } else {
                AppendUtf8(m_buffer, m_encoder, field);
            }
        }
        m_buffer.append("\r\n");
        return m_buffer.size() < kFlushAt || Flush(reason);
    }

    bool Commit(QString* reason) override {
        if (!Flush(reason))
            return false;
        if (!m_file.commit()) {
            *reason = m_file.errorString();
            return false;
        }
        return true;
    }

private:
    bool Flush(QString* reason) {
        if (m_file.write(m_buffer) != m_buffer.size()) {
            *reason = m_file.errorString();
            return false;
        }
        m_buffer.resize(0);
        return true;
    }

    QSaveFile m_file;
    QByteArray m_buffer;
    QVector<bool> m_numberColumn;
    QString m_field;
    QString m_guarded;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
};

} // namespace

std::unique_ptr<SheetWriter> MakeXlsxWriter() {
    return std::make_unique<XlsxWriter>();
}

std::unique_ptr<SheetWriter> MakeCsvWriter() {
    return std::make_unique<CsvWriter>();
}

bool CheckTarget(const QString& path, QString* reason) {
    const QFileInfo info(path);
    if (info.fileName().isEmpty()) {
        *reason = ui::Tr("没有文件名。");
        return false;
    }
    if (!info.absoluteDir().exists()) {
        *reason = ui::Tr("文件夹“%1”不存在。").arg(QDir::toNativeSeparators(info.absolutePath()));
        return false;
    }
    if (info.isDir()) {
        *reason = ui::Tr("已有同名的文件夹。");
        return false;
    }
    return true;
}

QString SheetName(const QString& title) {
    QString name = title;
    for (QChar& ch : name) {
        if (QStringView(u"[]:*?/\\").contains(ch))
            ch = u'_';
        else if (ch.unicode() < 0x20)
            ch = u' ';
    }
    name = name.trimmed();
    // Excel reads a leading or trailing apostrophe as quoting.
    while (name.startsWith(u'\''))
        name.remove(0, 1);
    while (name.endsWith(u'\''))
        name.chop(1);
    // 31 characters, counting a surrogate pair as one.
    qsizetype at = 0;
    for (int chars = 0; at < name.size() && chars < 31; ++chars)
        at += name[at].isHighSurrogate() && at + 1 < name.size() ? 2 : 1;
    name.truncate(at);
    return name.trimmed().isEmpty() ? QStringLiteral("Sheet1") : name;
}

int DisplayWidth(const QString& text) {
    int widest = 0;
    int width = 0;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == u'\n') {
            widest = std::max(widest, width);
            width = 0;
        } else if (ch.isLowSurrogate()) {
            continue; // counted with its high half
        } else if (ch.isHighSurrogate() || (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) ||
                   (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) ||
                   (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
                   (u >= 0xFFE0 && u <= 0xFFE6)) {
            width += 2;
        } else {
            ++width;
        }
    }
    return std::max(widest, width);
}

bool NeedsCsvQuotes(QStringView field) {
    return std::any_of(field.begin(), field.end(),
                       [](QChar ch) { return ch == u',' || ch == u'"' || ch == u'\r' || ch == u'\n'; });
}

bool LooksLikeFormula(QStringView field) {
    return !field.isEmpty() && QStringView(u"=+-@\t\r").contains(field.front());
}

void AppendCsvField(QString& line, QStringView field) {
    if (!NeedsCsvQuotes(field)) {
        line += field;
        return;
    }
    line += u'"';
    for (const QChar ch : field) {
        if (ch == u'"')
            line += u'"';
        line += ch;
    }
    line += u'"';
}

} // namespace zpp::exporting::detail
