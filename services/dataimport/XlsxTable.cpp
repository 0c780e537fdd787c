#include "XlsxTable.h"

#include "XlsxParts.h"

#include "platform/records/Error.h"
#include "platform/ui/Prompt.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QXmlStreamReader>
#include <cstring>
#include <minizip/unzip.h>
#include <optional>
#include <vector>

namespace zpp::services {

using namespace tablelimits;

namespace {

using namespace xlsx;

// Whether a tag's name is this one: sizes first, the scan meets millions of names.
template <size_t N> bool Is(QByteArrayView name, const char (&wanted)[N]) {
    return name.size() == qsizetype(N - 1) && std::memcmp(name.data(), wanted, N - 1) == 0;
}

struct ZipCloser {
    void operator()(void* zip) const { unzClose(zip); }
};
using ZipHandle = std::unique_ptr<void, ZipCloser>;

// How a number format shows a number: 'p' as a percentage, 'd' as a date, 0 as a number. Times
// of day stay numbers: no import column holds one.
char FormatKind(QStringView code) {
    bool percent = false, date = false, month = false, time = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar ch = code[i];
        if (ch == u';') // the positive numbers' section is the one that counts
            break;
        if (ch == u'"') {
            const qsizetype close = code.indexOf(u'"', i + 1);
            i = close < 0 ? code.size() : close;
        } else if (ch == u'\\' || ch == u'_' || ch == u'*') {
            ++i; // a character shown as it is, or one that pads
        } else if (ch == u'[') {
            const qsizetype close = code.indexOf(u']', i + 1);
            const QStringView inside = code.mid(i + 1, (close < 0 ? code.size() : close) - i - 1);
            time = time || (!inside.isEmpty() && QStringView(u"hHmMsS").contains(inside[0])); // [h]:mm
            i = close < 0 ? code.size() : close;
        } else if (ch == u'%') {
            percent = true;
        } else {
            const char16_t lower = ch.toLower().unicode();
            date = date || lower == u'y' || lower == u'd';
            month = month || lower == u'm';
            time = time || lower == u'h' || lower == u's';
        }
    }
    return percent ? 'p' : date || (month && !time) ? 'd' : 0;
}
char BuiltInFormatKind(int id) {
    if (id == 9 || id == 10)
        return 'p';
    // 14 to 17 and 22 everywhere; 27 to 31, 36, 50 to 54, 57 and 58 in East Asian workbooks.
    if ((id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 54) ||
        id == 57 || id == 58)
        return 'd';
    return 0;
}

class XlsxReader final : public TableReader {
public:
    explicit XlsxReader(const QString& path) : TableReader(QFileInfo(path).fileName()) {
        m_zip.reset(unzOpen64(QFile::encodeName(path).constData()));
        if (!m_zip)
            throw Error(ui::Tr("无法读取文件 %1：它不是 XLSX 工作簿").arg(FileName()));
        const QString sheet = ReadWorkbook();
        m_sheet.emplace(Zip(), FileName(), sheet, kSheetBytes);
        if (!m_sheet->Found())
            throw Error(ui::Tr("工作簿 %1 中没有工作表").arg(FileName()));
        m_scan.emplace(*m_sheet, FileName(), sheet);
    }

    double Progress() const override {
        return double(m_sheet->Done()) / double(std::max<qint64>(1, m_sheet->Size()));
    }

protected:
    bool ReadRow(QStringList& cells, qint64& rowNo) override {
        if (m_ended)
            return false;
        TagScanner& scan = *m_scan;
        QByteArrayView tag;
        bool end = false, empty = false;
        while (scan.Next(tag)) {
            const QByteArrayView name = TagScanner::Name(tag, end, empty);
            if (!end) {
                if (Is(name, "row")) {
                    ++m_rowNo;
                    if (const QByteArrayView r = Attribute(tag, "r"); !r.isEmpty())
                        m_rowNo = r.toLongLong();
                    m_cells.clear();
                    m_nextCol = 0;
                    m_rowChars = 0;
                    m_rowTooLong = false;
                    if (empty)
                        continue;
                } else if (Is(name, "c")) {
                    m_col = ColumnOf(Attribute(tag, "r"));
                    if (m_col < 0)
                        m_col = m_nextCol;
                    m_nextCol = m_col + 1;
                    const QByteArrayView t = Attribute(tag, "t");
                    m_type = t.isEmpty() || t == "n" ? 'n'
                             : t == "s"              ? 's'
                             : t == "b"              ? 'b'
                             : t == "d"              ? 'd'
                                                     : 't';
                    m_style = 0;
                    if (m_type == 'n')
                        if (const QByteArrayView s = Attribute(tag, "s"); !s.isEmpty())
                            m_style = s.toInt();
                    scan.StartText();
                    if (empty)
                        StoreCell();
                } else if ((Is(name, "v") || Is(name, "t")) && !empty) {
                    scan.Collect = !m_inPhonetic;
                } else if (Is(name, "rPh") && !empty) {
                    m_inPhonetic = true;
                }
                continue;
            }
            if (Is(name, "v") || Is(name, "t")) {
                scan.Collect = false;
            } else if (Is(name, "rPh")) {
                m_inPhonetic = false;
            } else if (Is(name, "c")) {
                StoreCell();
            } else if (Is(name, "row") && !std::all_of(m_cells.begin(), m_cells.end(), [](const QString& c) {
                           return std::all_of(c.begin(), c.end(), [](QChar ch) { return ch.isSpace(); });
                       })) {
                cells = std::move(m_cells);
                m_cells = QStringList();
                rowNo = m_rowNo;
                return true;
            } else if (Is(name, "sheetData")) {
                break;
            }
        }
        m_ended = true;
        m_sheet->Finish();
        return false;
    }

private:
    unzFile Zip() const { return m_zip.get(); }

    // The 0-based column of a cell reference such as "AB12"; -1 when there is none.
    static int ColumnOf(QByteArrayView ref) {
        int col = 0, letters = 0;
        for (char ch : ref) {
            if (ch < 'A' || ch > 'Z')
                break;
            col = col * 26 + (ch - 'A' + 1);
            ++letters;
        }
        return letters == 0 || letters > 3 ? -1 : col - 1;
    }

    void StoreCell() {
        TagScanner& scan = *m_scan;
        QString value;
        if (scan.TooLong) {
            Problem(m_rowNo, m_col, ui::Tr("文字太长：一个单元格最多 %1 个字符").arg(kCellChars));
        } else {
            switch (m_type) {
            case 's':
                value = SharedString(scan.Text);
                break;
            case 'b':
                value = scan.Text.trimmed() == "1" ? QStringLiteral("1") : QStringLiteral("0");
                break;
            case 'n':
                value = NumberText(Unescaped(scan.Text).trimmed());
                break;
            case 'd': // a date cell of the ISO form: "2022-11-30T00:00:00"
                value = Unescaped(scan.Text).trimmed();
                if (value.size() > 10 && value[10] == u'T')
                    value.truncate(10);
                break;
            default:
                value = Unescaped(scan.Text);
                break;
            }
            if (value.size() > kCellChars) {
                Problem(m_rowNo, m_col, ui::Tr("文字太长：一个单元格最多 %1 个字符").arg(kCellChars));
                value.clear();
            }
        }
        scan.StartText();
        if (m_col >= kColumns)
            return;
        m_rowChars += value.size();
        if (m_rowChars > kRowChars) {
            if (!m_rowTooLong)
                Problem(m_rowNo, -1, ui::Tr("此行太长：一行最多 %1 个字符").arg(kRowChars));
            m_rowTooLong = true;
            return;
        }
        while (m_cells.size() <= m_col)
            m_cells << QString();
        m_cells[m_col] = std::move(value);
    }

    // A number as its cell shows it: a percentage as the percent a user typed (0.13 as "13%"), a
    // date as a date. A bare day number in a date column is a date too, counted in this workbook's
    // date system.
    QString NumberText(const QString& number) const {
        const char kind = m_style >= 0 && m_style < qsizetype(m_styles.size()) ? m_styles[m_style] : 0;
        if (kind == 'p') {
            bool ok = false;
            const double value = number.toDouble(&ok);
            // Fifteen digits, as a spreadsheet shows them: 0.13 is 13, not 13.000000000000002.
            if (ok)
                return QString::number(value * 100, 'g', 15) + u'%';
        } else if (kind == 'd' || RoleOf(m_col) == Role::Date) {
            if (const QString date = SerialDateText(number, m_date1904); !date.isEmpty())
                return date;
        }
        return number;
    }

    QString SharedString(const QByteArray& reference) {
        bool ok = false;
        const int index = reference.trimmed().toInt(&ok);
        if (!ok || index < 0 || index + 1 >= qsizetype(m_sharedAt.size()))
            return {};
        if (m_longShared.contains(index)) {
            Problem(m_rowNo, m_col, ui::Tr("文字太长：一个单元格最多 %1 个字符").arg(kCellChars));
            return {};
        }
        return QString::fromUtf8(m_sharedText.constData() + m_sharedAt[index],
                                 m_sharedAt[index + 1] - m_sharedAt[index]);
    }

    // The first sheet's part, and on the way the date system, the styles and the shared strings.
    QString ReadWorkbook() {
        QString relId;
        QXmlStreamReader book(WholePart(Zip(), FileName(), QStringLiteral("xl/workbook.xml")));
        while (!book.atEnd() && relId.isEmpty()) {
            if (book.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (book.name() == u"workbookPr") {
                const QXmlStreamAttributes a = book.attributes();
                const QStringView system = a.value(QStringLiteral("date1904"));
                m_date1904 = system == u"1" || system == u"true";
            } else if (book.name() == u"sheet") {
                for (const QXmlStreamAttribute& a : book.attributes())
                    if (a.name() == u"id")
                        relId = a.value().toString();
            }
        }
        QString target, shared, styles;
        QXmlStreamReader rels(WholePart(Zip(), FileName(), QStringLiteral("xl/_rels/workbook.xml.rels")));
        while (!rels.atEnd()) {
            if (rels.readNext() != QXmlStreamReader::StartElement || rels.name() != u"Relationship")
                continue;
            const QXmlStreamAttributes a = rels.attributes();
            const QString t = a.value(QStringLiteral("Target")).toString();
            const QStringView type = a.value(QStringLiteral("Type"));
            const QString path = t.startsWith(u'/') ? t.mid(1) : QStringLiteral("xl/") + t;
            if (a.value(QStringLiteral("Id")) == relId)
                target = path;
            else if (type.endsWith(u"/sharedStrings") || t.endsWith(QStringLiteral("sharedStrings.xml")))
                shared = path;
            else if (type.endsWith(u"/styles"))
                styles = path;
        }
        ReadStyles(styles.isEmpty() ? QStringLiteral("xl/styles.xml") : styles);
        if (!shared.isEmpty())
            ReadSharedStrings(shared);
        return target.isEmpty() ? QStringLiteral("xl/worksheets/sheet1.xml") : target;
    }

    // How each cell style shows numbers: cells name their style by its place in cellXfs, styles
    // name a number format, built in or one of the workbook's own.
    void ReadStyles(const QString& part) {
        QXmlStreamReader xml(WholePart(Zip(), FileName(), part));
        QHash<int, char> own;
        bool cellStyles = false;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement && xml.name() == u"cellXfs")
                cellStyles = false;
            if (token != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes a = xml.attributes();
            if (xml.name() == u"numFmt") {
                own.insert(a.value(QStringLiteral("numFmtId")).toInt(),
                           FormatKind(a.value(QStringLiteral("formatCode"))));
            } else if (xml.name() == u"cellXfs") {
                cellStyles = true;
            } else if (cellStyles && xml.name() == u"xf") {
                const int id = a.value(QStringLiteral("numFmtId")).toInt();
                m_styles.push_back(own.contains(id) ? own.value(id) : BuiltInFormatKind(id));
            }
        }
    }

    // Read as they come and kept as UTF-8 one after the other: a part of a hundred megabytes takes
    // about that much memory, not the many times more a list of strings built from a whole copy of
    // the part took.
    void ReadSharedStrings(const QString& name) {
        Part part(Zip(), FileName(), name, kSharedStringsBytes);
        if (!part.Found())
            return;
        TagScanner scan(part, FileName(), name);
        bool inString = false, inPhonetic = false, end = false, empty = false;
        QByteArrayView tag;
        m_sharedAt.assign(1, 0);
        while (scan.Next(tag)) {
            const QByteArrayView tagName = TagScanner::Name(tag, end, empty);
            if (!end) {
                if (Is(tagName, "si")) {
                    scan.StartText();
                    inString = !empty;
                    if (empty)
                        AddShared(scan);
                } else if (Is(tagName, "t") && !empty) {
                    scan.Collect = inString && !inPhonetic;
                } else if (Is(tagName, "rPh") && !empty) {
                    inPhonetic = true;
                }
            } else if (Is(tagName, "t")) {
                scan.Collect = false;
            } else if (Is(tagName, "rPh")) {
                inPhonetic = false;
            } else if (Is(tagName, "si")) {
                AddShared(scan);
                inString = false;
            }
        }
    }
    void AddShared(TagScanner& scan) {
        const qsizetype start = m_sharedText.size();
        if (!scan.TooLong)
            AppendUnescaped(m_sharedText, scan.Text);
        const qsizetype bytes = m_sharedText.size() - start;
        // UTF-8 takes one to three bytes for each UTF-16 unit: only a text in between is counted.
        if (scan.TooLong ||
            (bytes > kCellChars &&
             (bytes > 3 * kCellChars ||
              QString::fromUtf8(m_sharedText.constData() + start, bytes).size() > kCellChars))) {
            m_longShared.insert(qsizetype(m_sharedAt.size()) - 1);
            m_sharedText.truncate(start);
        }
        m_sharedAt.push_back(quint32(m_sharedText.size()));
        scan.StartText();
    }

    ZipHandle m_zip;
    std::optional<Part> m_sheet;
    std::optional<TagScanner> m_scan;
    bool m_ended = false, m_date1904 = false, m_inPhonetic = false, m_rowTooLong = false;
    std::vector<char> m_styles;
    QByteArray m_sharedText;
    std::vector<quint32> m_sharedAt; // where each shared string starts in m_sharedText, and the end
    QSet<qsizetype> m_longShared;
    QStringList m_cells;
    char m_type = 'n';
    int m_col = 0, m_nextCol = 0, m_style = 0;
    qint64 m_rowNo = 0;
    qsizetype m_rowChars = 0;
};

} // namespace

std::unique_ptr<TableReader> OpenXlsxTable(const QString& path) {
    return std::make_unique<XlsxReader>(path);
}

} // namespace zpp::services
