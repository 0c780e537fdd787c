#include "TableFile.h"

#include "DataImport.h"
#include "XlsxTable.h"
#include "platform/records/Error.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"
#include "services/platform/PlatformServices.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

namespace zpp::services {

using namespace tablelimits;

namespace {

bool Blank(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}
bool AllEmpty(const QStringList& cells) {
    return std::all_of(cells.begin(), cells.end(), [](const QString& c) { return Blank(c); });
}

// "A", "Z", "AA": how a spreadsheet names the 0-based column.
QString ColumnLetters(qsizetype column) {
    QString letters;
    for (qsizetype n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(char16_t(u'A' + (n - 1) % 26)));
    return letters;
}

// The column captions of every import kind, in Chinese and in English, with how their cells are
// read.
QHash<QString, char> CaptionRoles() {
    ResLoaderService english;
    english.SetResFileBaseName(QStringLiteral("DeZodirorazez"));
    english.SetLanguageID(QStringLiteral("en"));
    QHash<QString, char> roles;
    for (const ImportKindInfo& kind : ImportKinds()) {
        for (const ImportField& field : kind.Fields) {
            const QString caption = QString::fromUtf8(field.Caption);
            char role = 'T';
            if (field.Type == FieldType::Date)
                role = 'D';
            else if (field.Type == FieldType::Number || field.Type == FieldType::Integer)
                role = caption.endsWith(QStringLiteral("(%)")) ? 'R' : 'N';
            roles.insert(CaptionKey(caption), role);
            roles.insert(CaptionKey(english.LoadString(caption)), role);
        }
    }
    return roles;
}

enum class Comma { Plain, Read, Doubtful };

// A number as a region that writes decimal commas writes it: ',' is the decimal mark, and '.' or a
// space separates thousands, only between groups of three digits ("1.000,5", "1 000 000",
// "-6,5"). Plain: the text is not written that way and is left as it is (a "6.5" stays a point).
// Doubtful: "1.000" or "12.500", a thousands point or a decimal point, nobody can say which.
Comma DecimalCommaNumber(QStringView text, QString& number) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    QString digits;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        digits += text[i++];
    const qsizetype first = i;
    QVector<qsizetype> groups; // the length of each run of digits before the comma
    QChar separator;
    for (;;) {
        const qsizetype start = i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128)
            digits += text[i++];
        groups << i - start;
        if (i < n &&
            (text[i] == u'.' || text[i] == u' ' || text[i] == QChar(0xA0) || text[i] == QChar(0x202F))) {
            if (!separator.isNull() && text[i] != separator)
                return Comma::Plain;
            separator = text[i++];
            continue;
        }
        break;
    }
    QString fraction;
    const bool comma = i < n && text[i] == u',';
    if (comma) {
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128)
            fraction += text[i++];
        if (fraction.isEmpty())
            return Comma::Plain;
    }
    if (i != n || (groups.first() == 0 && !(groups.size() == 1 && comma)))
        return Comma::Plain;
    bool grouped = groups.size() > 1 && groups.first() <= 3 && text[first] != u'0';
    for (qsizetype g = 1; g < groups.size(); ++g)
        grouped = grouped && groups[g] == 3;
    if (groups.size() > 1 && !grouped)
        return Comma::Plain;
    if (!comma) {
        if (groups.size() == 1)
            return Comma::Plain;
        if (separator == u'.' && groups.size() == 2)
            return Comma::Doubtful;
    }
    number = digits.isEmpty() || digits == u"-" || digits == u"+" ? digits + u'0' : digits;
    if (comma)
        number += u'.' + fraction;
    return Comma::Read;
}

// CSV as spreadsheets write it: fields separated by commas (semicolons where the region writes
// decimal commas), a field in quotes may hold the separator, line breaks and doubled quotes.
class CsvReader final : public TableReader {
public:
    explicit CsvReader(const QString& path)
        : TableReader(QFileInfo(path).fileName()), m_file(path), m_decoder(QStringConverter::Utf8) {
        if (!m_file.open(QIODevice::ReadOnly))
            throw Error(ui::Tr("无法打开文件 %1：%2").arg(path, m_file.errorString()));
        m_size = std::max<qint64>(1, m_file.size());
    }

    double Progress() const override { return double(m_file.pos()) / double(m_size); }

protected:
    bool ReadRow(QStringList& cells, qint64& rowNo) override {
        for (;;) {
            cells.clear();
            if (!ReadRecord(cells))
                return false;
            rowNo = m_rowNo;
            if (AllEmpty(cells) && !m_textBeyond)
                continue;
            if (HasCaptions())
                CheckFieldCount(cells);
            return true;
        }
    }

private:
    enum class Quoted { Closed, Broken };

    // More text into the buffer; false at the end of the file. Text from m_keep on stays: a quote
    // that turns out broken is read again from there.
    bool Fill() {
        const QByteArray bytes = m_file.read(64 * 1024);
        if (bytes.isEmpty())
            return false;
        const qsizetype drop = m_keep >= 0 ? m_keep : m_at;
        m_buffer.remove(0, drop);
        m_at -= drop;
        if (m_keep >= 0)
            m_keep = 0;
        m_buffer += m_decoder.decode(bytes);
        if (m_decoder.hasError())
            throw Error(ui::Tr("文件 %1 不是 UTF-8 编码的 CSV 文件，请在电子表格中另存为“CSV UTF-8”后再导入")
                            .arg(FileName()));
        if (m_delimiter.isNull())
            GuessDelimiter();
        return true;
    }
    bool Available() { return m_at < m_buffer.size() || Fill(); }

    // Semicolons where the region writes decimal commas; the first row, the captions, tells.
    void GuessDelimiter() {
        int commas = 0, semicolons = 0;
        bool quoted = false;
        for (QChar ch : QStringView(m_buffer)) {
            if (ch == u'"')
                quoted = !quoted;
            else if (!quoted && (ch == u'\n' || ch == u'\r'))
                break;
            else if (!quoted && ch == u',')
                ++commas;
            else if (!quoted && ch == u';')
                ++semicolons;
        }
        m_delimiter = semicolons > commas ? u';' : u',';
        m_decimalComma = m_delimiter == u';';
    }

    // One record, which may span lines inside quotes; false at the end of the file.
    bool ReadRecord(QStringList& cells) {
        if (!Available())
            return false;
        ++m_rowNo;
        m_fields = 0;
        m_rowChars = 0;
        m_textBeyond = m_rowTooLong = false;
        bool asWritten = false; // after a broken quote the rest of its line is read as written
        for (;;) {
            QString text;
            bool quoted = false;
            if (!asWritten && Available() && m_buffer[m_at] == u'"') {
                quoted = ReadQuoted(text) == Quoted::Closed;
                asWritten = !quoted;
            }
            if (!quoted) {
                text.clear();
                ReadPlain(text);
            }
            AddField(cells, text);
            if (!Available())
                return true;
            const QChar ch = m_buffer[m_at++];
            if (ch == m_delimiter)
                continue;
            if (ch == u'\r' && Available() && m_buffer[m_at] == u'\n')
                ++m_at;
            return true;
        }
    }

    // A field in quotes, from its opening quote. Closed: it ends in a quote followed by the
    // separator, a line break or the file's end. Broken: the quote stays open to the end of the
    // file, or closes and more text follows (a quote opened by mistake swallows the rows after it
    // until the next quote), or holds more than a cell can; the row it began on is named, and
    // reading goes on after the opening quote, so the rows after it are read as written.
    Quoted ReadQuoted(QString& text) {
        const qint64 row = m_rowNo;
        const qsizetype column = m_fields;
        m_keep = m_at++;
        for (;;) {
            if (!Available())
                return Broken(row, column, ui::Tr("从此行开始的引号到文件末尾都没有结束"));
            const qsizetype quote = m_buffer.indexOf(u'"', m_at);
            const qsizetype end = quote < 0 ? m_buffer.size() : quote;
            if (text.size() + (end - m_at) > kCellChars)
                return Broken(row, column,
                              ui::Tr("引号不成对：以引号开始的字段要以引号结束，字段中的引号要写成两个"));
            text.append(QStringView(m_buffer).mid(m_at, end - m_at));
            m_at = end;
            if (quote < 0)
                continue;
            ++m_at;
            if (!Available())
                break;
            const QChar next = m_buffer[m_at];
            if (next == u'"') {
                text += u'"';
                ++m_at;
            } else if (next == m_delimiter || next == u'\r' || next == u'\n') {
                break;
            } else {
                return Broken(row, column,
                              ui::Tr("引号不成对：以引号开始的字段要以引号结束，字段中的引号要写成两个"));
            }
        }
        m_keep = -1;
        return Quoted::Closed;
    }
    Quoted Broken(qint64 row, qsizetype column, const QString& problem) {
        Problem(row, column, problem);
        m_at = m_keep + 1;
        m_keep = -1;
        return Quoted::Broken;
    }

    // A field without quotes, up to the separator or the line's end. Text beyond what a cell can
    // hold is not kept.
    void ReadPlain(QString& text) {
        for (;;) {
            const QChar* data = m_buffer.constData();
            const qsizetype n = m_buffer.size();
            qsizetype i = m_at;
            while (i < n && data[i] != m_delimiter && data[i] != u'\n' && data[i] != u'\r')
                ++i;
            const qsizetype take = std::min(i - m_at, std::max<qsizetype>(0, kCellChars + 1 - text.size()));
            if (text.isEmpty())
                text = QString(data + m_at, take);
            else
                text.append(data + m_at, take);
            m_at = i;
            if (i < n || !Fill())
                return;
        }
    }

    void AddField(QStringList& cells, QString& text) {
        const qsizetype column = m_fields++;
        if (text.size() > kCellChars) {
            Problem(m_rowNo, column, ui::Tr("文字太长：一个单元格最多 %1 个字符").arg(kCellChars));
            text.clear();
        }
        m_rowChars += text.size();
        if (m_rowChars > kRowChars) {
            if (!m_rowTooLong)
                Problem(m_rowNo, -1, ui::Tr("此行太长：一行最多 %1 个字符").arg(kRowChars));
            m_rowTooLong = true;
            text.clear();
        }
        if (column >= kColumns) {
            m_textBeyond = m_textBeyond || !Blank(text);
            return;
        }
        // A text our own export wrote behind an apostrophe, so a spreadsheet would not run it as a
        // formula, comes back as it was.
        if (text.size() >= 2 && text[0] == u'\'' && QStringView(u"=+-@\t\r").contains(text[1]))
            text.remove(0, 1);
        cells << std::move(text);
    }

    // Text in a field beyond the last caption is a value that slipped out of its column: an
    // unquoted "1,000" read as 1 and 000 moves every field after it one to the right.
    void CheckFieldCount(const QStringList& cells) {
        qsizetype fields = m_textBeyond ? m_fields : cells.size();
        while (fields > CaptionCount() && fields <= cells.size() && Blank(cells[fields - 1]))
            --fields;
        if (fields > CaptionCount())
            Problem(
                m_rowNo, -1,
                ui::Tr(
                    "此行有 %1 个字段，而标题只有 %2 个：多出的字段不属于任何列（含有“%3”的值要放在引号中）")
                    .arg(fields)
                    .arg(CaptionCount())
                    .arg(m_delimiter));
    }

    QFile m_file;
    QStringDecoder m_decoder;
    QString m_buffer;
    qsizetype m_at = 0, m_keep = -1;
    qint64 m_size = 1, m_rowNo = 0;
    QChar m_delimiter;
    qsizetype m_fields = 0, m_rowChars = 0;
    bool m_textBeyond = false, m_rowTooLong = false;
};

} // namespace

bool TableReader::Next(QStringList& cells, qint64& rowNo) {
    if (!ReadRow(cells, rowNo)) {
        if (m_problems.isEmpty() || m_problemsTaken)
            return false;
        QStringList lines{ui::Tr("文件 %1 有以下问题，未写入任何数据：").arg(m_fileName)};
        constexpr qsizetype kListed = 20;
        for (qsizetype i = 0; i < m_problems.size() && i < kListed; ++i) {
            const TableProblem& p = m_problems[i];
            lines << (p.Column.isEmpty() ? ui::Tr("第 %1 行：%2").arg(p.Row).arg(p.Text)
                                         : ui::Tr("第 %1 行，%2：%3").arg(p.Row).arg(p.Column, p.Text));
        }
        if (const qint64 more = std::max<qint64>(0, m_problems.size() - kListed) + m_unlisted; more > 0)
            lines << ui::Tr("……另有 %1 个问题未列出").arg(more);
        m_problems.clear();
        m_unlisted = 0;
        throw Error(lines.join(u'\n'));
    }
    if (!m_hasCaptions) {
        static const QHash<QString, char> roles = CaptionRoles();
        m_hasCaptions = true;
        for (const QString& cell : cells) {
            m_captions << cell.trimmed();
            if (!m_captions.last().isEmpty())
                m_captionCount = m_captions.size();
            const char role = roles.value(CaptionKey(cell), 'T');
            m_roles << (role == 'N'   ? Role::Number
                        : role == 'R' ? Role::Rate
                        : role == 'D' ? Role::Date
                                      : Role::Text);
        }
        return true;
    }
    ReadNumbers(cells, rowNo);
    return true;
}

// Numbers of number columns as the import reads them: a rate's percent sign says what its caption
// says already, and a semicolon file's decimal commas become points. Anything else is left as
// written, for the import to name as it stands.
void TableReader::ReadNumbers(QStringList& cells, qint64 row) {
    for (qsizetype c = 0; c < cells.size() && c < m_roles.size(); ++c) {
        const Role role = m_roles[c];
        if ((role != Role::Number && role != Role::Rate) || cells[c].isEmpty())
            continue;
        const QStringView text = QStringView(cells[c]).trimmed();
        const bool percent = role == Role::Rate && text.endsWith(u'%');
        if (!percent && !m_decimalComma) {
            if (text.size() != cells[c].size())
                cells[c] = text.toString();
            continue;
        }
        QString number = (percent ? text.chopped(1).trimmed() : text).toString();
        if (m_decimalComma) {
            QString read;
            switch (DecimalCommaNumber(number, read)) {
            case Comma::Read:
                number = read;
                break;
            case Comma::Doubtful:
                Problem(
                    row, c,
                    ui::Tr(
                        "“%1”不明确：分号分隔的文件中小数点要写成逗号（如 1,5），一千写作 1000 或 1.000,00")
                        .arg(number));
                continue;
            case Comma::Plain:
                break;
            }
        }
        if (number != cells[c] && (!percent || values::IsNumber(number)))
            cells[c] = number;
    }
}

QVector<TableProblem> TableReader::TakeProblems() {
    m_problemsTaken = true;
    QVector<TableProblem> problems;
    problems.swap(m_problems);
    m_unlisted = 0;
    return problems;
}

void TableReader::Problem(qint64 row, qsizetype column, const QString& text) {
    // A damaged file can hold millions of them; those beyond what a person reads are counted.
    constexpr qsizetype kKept = 1000;
    if (m_problems.size() >= kKept) {
        ++m_unlisted;
        return;
    }
    QString name;
    if (column >= 0)
        name = column < m_captions.size() && !m_captions[column].isEmpty() ? m_captions[column]
                                                                           : ColumnLetters(column);
    m_problems.push_back({row, name, text});
}

QString CaptionKey(const QString& caption) {
    QString key;
    for (const QChar c : caption.normalized(QString::NormalizationForm_KC))
        if (!c.isSpace() && c.category() != QChar::Other_Format)
            key += c;
    return key.toCaseFolded();
}

std::unique_ptr<TableReader> OpenTable(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw Error(ui::Tr("文件 %1 不存在").arg(path));
    if (!info.isFile() || !info.isReadable())
        throw Error(ui::Tr("无法读取文件 %1").arg(path));
    const QString suffix = info.suffix().toLower();
    if (suffix == u"csv" || suffix == u"txt")
        return std::make_unique<CsvReader>(path);
    if (suffix == u"xlsx")
        return OpenXlsxTable(path);
    throw Error(ui::Tr("只能导入 XLSX 或 CSV 文件：%1").arg(info.fileName()));
}

QString SerialDateText(const QString& text, bool date1904) {
    bool ok = false;
    const double serial = text.trimmed().toDouble(&ok);
    if (!ok || !(serial >= 0 && serial < 2958466))
        return {};
    if (!date1904 && serial < 1)
        return {};
    const QDate date = (date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30)).addDays(qint64(serial));
    return date.year() <= 9999 ? date.toString(Qt::ISODate) : QString();
}

} // namespace zpp::services
