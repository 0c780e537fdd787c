#include "XlsxTable.h"

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

constexpr int kChunk = 64 * 1024;
// The raw XML of one cell's text: a character takes up to ten bytes as a character reference.
constexpr qsizetype kCellBytes = kCellChars * 10;
// A tag, comment or CDATA section longer than this is no spreadsheet's.
constexpr qsizetype kTagBytes = 4 * 1024 * 1024;

// Whether a tag's name is this one: sizes first, the scan meets millions of names.
template <size_t N> bool Is(QByteArrayView name, const char (&wanted)[N]) {
    return name.size() == qsizetype(N - 1) && std::memcmp(name.data(), wanted, N - 1) == 0;
}

QString Megabytes(qint64 bytes) {
    return QString::number((bytes + (1 << 20) - 1) >> 20);
}

struct ZipCloser {
    void operator()(void* zip) const { unzClose(zip); }
};
using ZipHandle = std::unique_ptr<void, ZipCloser>;

// One part of the workbook being unpacked. Its unpacked size is held against a limit before a
// byte is inflated, and its length and CRC once it has been read to its end: a damaged part is
// refused by name rather than read as whatever the damage makes of it.
class Part {
public:
    Part(unzFile zip, const QString& book, const QString& name, qint64 limit)
        : m_zip(zip), m_book(book), m_name(name) {
        if (unzLocateFile(zip, name.toUtf8().constData(), 1) != UNZ_OK)
            return;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            throw Damaged();
        if (info.uncompressed_size > quint64(limit))
            throw Error(ui::Tr("工作簿 %1 中的 %2 解压后有 %3 MB，超过了 %4 MB 的上限，不能导入")
                            .arg(book, name,
                                 Megabytes(qint64(std::min<quint64>(info.uncompressed_size, 1ull << 60))),
                                 Megabytes(limit)));
        m_size = qint64(info.uncompressed_size);
        if (unzOpenCurrentFile(zip) != UNZ_OK)
            throw Damaged();
        m_found = m_open = true;
    }
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;
    ~Part() {
        if (m_open)
            unzCloseCurrentFile(m_zip);
    }

    bool Found() const { return m_found; }
    qint64 Size() const { return m_size; }
    qint64 Done() const { return m_read; }

    // Up to size bytes; 0 at the end, when the part has passed its checks.
    int Read(char* into, int size) {
        if (!m_open)
            return 0;
        const int n = unzReadCurrentFile(m_zip, into, unsigned(size));
        if (n < 0)
            throw Damaged();
        m_read += n;
        if (n == 0)
            Close();
        return n;
    }
    // Reads what is left unread, so that the part is checked whole.
    void Finish() {
        char rest[16 * 1024];
        while (Read(rest, sizeof rest) > 0) {
        }
    }

private:
    void Close() {
        m_open = false;
        if (unzCloseCurrentFile(m_zip) != UNZ_OK || m_read != m_size)
            throw Damaged();
    }
    Error Damaged() const {
        return Error(ui::Tr("工作簿 %1 已损坏：其中的 %2 无法解压或校验和不符").arg(m_book, m_name));
    }

    unzFile m_zip;
    QString m_book, m_name;
    qint64 m_size = 0, m_read = 0;
    bool m_found = false, m_open = false;
};

// The whole of a small part; empty when the workbook has none of that name.
QByteArray WholePart(unzFile zip, const QString& book, const QString& name) {
    Part part(zip, book, name, kPartBytes);
    QByteArray all;
    if (!part.Found())
        return all;
    all.resize(part.Size());
    qsizetype at = 0;
    for (int n; (n = part.Read(all.data() + at, int(std::min<qint64>(kChunk, all.size() - at)))) > 0;)
        at += n;
    part.Finish();
    return all;
}

// Text as XML keeps it back to text: the five named entities and character references.
void AppendUnescaped(QByteArray& out, QByteArrayView text) {
    if (!text.contains('&')) {
        out.append(text);
        return;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype semi = text[i] == '&' ? text.indexOf(';', i) : -1;
        if (semi < 0) {
            out += text[i];
            continue;
        }
        const QByteArrayView entity = text.sliced(i + 1, semi - i - 1);
        if (entity == "lt")
            out += '<';
        else if (entity == "gt")
            out += '>';
        else if (entity == "amp")
            out += '&';
        else if (entity == "quot")
            out += '"';
        else if (entity == "apos")
            out += '\'';
        else if (entity.startsWith('#')) {
            bool ok = false;
            const uint code =
                entity.startsWith("#x") ? entity.sliced(2).toUInt(&ok, 16) : entity.sliced(1).toUInt(&ok);
            if (ok)
                out += QStringView(QChar::fromUcs4(char32_t(code))).toUtf8();
        } else {
            out += text.sliced(i, semi - i + 1);
        }
        i = semi;
    }
}
QString Unescaped(QByteArrayView text) {
    if (!text.contains('&'))
        return QString::fromUtf8(text);
    QByteArray out;
    out.reserve(text.size());
    AppendUnescaped(out, text);
    return QString::fromUtf8(out);
}

// The value of name="..." (or '...') in a tag; empty when it has none.
QByteArrayView Attribute(QByteArrayView tag, const char* name) {
    const QByteArrayView wanted(name);
    for (qsizetype at = 0; (at = tag.indexOf(wanted, at)) >= 0; at += wanted.size()) {
        const qsizetype after = at + wanted.size();
        if (at == 0 ||
            (tag[at - 1] != ' ' && tag[at - 1] != '\t' && tag[at - 1] != '\n' && tag[at - 1] != '\r') ||
            after + 1 >= tag.size() || tag[after] != '=' || (tag[after + 1] != '"' && tag[after + 1] != '\''))
            continue;
        const qsizetype end = tag.indexOf(tag[after + 1], after + 2);
        return end < 0 ? QByteArrayView() : tag.sliced(after + 2, end - after - 2);
    }
    return {};
}

// A part's XML as a stream of tags, scanned over its bytes a piece at a time: the plain XML every
// spreadsheet program writes (rows of cells of values) reads several times quicker this way than
// through a general XML reader. While Collect is set the text between tags goes to Text, up to
// what one cell may hold (TooLong beyond).
class TagScanner {
public:
    TagScanner(Part& part, const QString& book, const QString& name)
        : m_part(part), m_book(book), m_name(name) {}

    bool Collect = false, TooLong = false;
    QByteArray Text;

    void StartText() {
        Text.clear();
        TooLong = false;
    }

    // The next tag's text between < and >; false at the part's end.
    bool Next(QByteArrayView& tag) {
        for (;;) {
            const char* data = m_buffer.constData();
            const qsizetype size = m_buffer.size();
            const auto* lt = static_cast<const char*>(std::memchr(data + m_pos, '<', size_t(size - m_pos)));
            if (!lt) {
                Keep(data + m_pos, size - m_pos);
                m_pos = size;
                if (!Fill())
                    return false;
                continue;
            }
            const qsizetype at = lt - data;
            Keep(data + m_pos, at - m_pos);
            m_pos = at;
            if (at + 1 < size && data[at + 1] != '!' && data[at + 1] != '?') { // an element's tag
                if (const auto* gt =
                        static_cast<const char*>(std::memchr(lt + 1, '>', size_t(size - at - 1)))) {
                    tag = QByteArrayView(lt + 1, gt - lt - 1);
                    m_pos = gt - data + 1;
                    return true;
                }
                More(at);
                continue;
            }
            // Comments, CDATA, the declaration: rare, so a slower search will do.
            // A start cut short by the end of the buffer has no closing after it, and is read again
            // with more.
            const QByteArrayView rest(lt, size - at);
            const bool comment = rest.startsWith("<!--"), cdata = rest.startsWith("<![CDATA[");
            const char* closing = comment ? "-->" : ">";
            qsizetype from = at + (comment ? 4 : 1);
            if (cdata) {
                closing = "]]>";
                from = at + 9;
            }
            const qsizetype close = m_buffer.indexOf(closing, from);
            if (close < 0) {
                More(at);
                continue;
            }
            if (comment || cdata) {
                // CDATA holds its text as it is; escaped here so the cell's text is unescaped once, whole.
                if (cdata && Collect)
                    Keep(QByteArray(m_buffer.constData() + at + 9, close - at - 9).replace('&', "&amp;"));
                m_pos = close + 3;
                continue;
            }
            m_pos = close + 1;
        }
    }

    // The tag's name without a namespace prefix; end: a closing tag, empty: one that closes itself.
    static QByteArrayView Name(QByteArrayView tag, bool& end, bool& empty) {
        end = tag.startsWith('/');
        empty = tag.endsWith('/');
        QByteArrayView name = tag.sliced(end ? 1 : 0);
        for (qsizetype i = 0; i < name.size(); ++i) {
            if (name[i] == ' ' || name[i] == '/' || name[i] == '\t' || name[i] == '\n' || name[i] == '\r') {
                name.truncate(i);
                break;
            }
        }
        if (const qsizetype colon = name.indexOf(':'); colon >= 0)
            name = name.sliced(colon + 1);
        return name;
    }

private:
    // More of the part for a tag that began at but did not end in the buffer.
    void More(qsizetype at) {
        if (m_buffer.size() - at > kTagBytes)
            throw Error(
                ui::Tr("工作簿 %1 的内容有误：%2").arg(m_book, m_name + QStringLiteral(": a tag too long")));
        if (!Fill())
            throw Error(
                ui::Tr("工作簿 %1 的内容有误：%2").arg(m_book, m_name + QStringLiteral(": unexpected end")));
    }
    // More of the part after what is left unread; false at its end.
    bool Fill() {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
        const qsizetype have = m_buffer.size();
        m_buffer.resize(have + kChunk);
        const int n = m_part.Read(m_buffer.data() + have, kChunk);
        m_buffer.truncate(have + n);
        return n > 0;
    }
    void Keep(QByteArrayView text) {
        if (!Collect || text.isEmpty() || TooLong)
            return;
        if (Text.size() + text.size() > kCellBytes) {
            TooLong = true;
            Text.clear();
            return;
        }
        Text.append(text);
    }
    void Keep(const char* data, qsizetype size) { Keep(QByteArrayView(data, size)); }

    Part& m_part;
    QString m_book, m_name;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
};

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
