#include "TableFile.h"

#include "platform/records/Error.h"
#include "platform/ui/Prompt.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <minizip/unzip.h>

namespace zpp::services {

namespace {

bool AllEmpty(const QStringList& cells) {
    return std::all_of(cells.begin(), cells.end(), [](const QString& c) { return c.trimmed().isEmpty(); });
}

class CsvReader : public TableReader {
public:
    explicit CsvReader(const QString& path) : m_file(path), m_decoder(QStringConverter::Utf8) {
        if (!m_file.open(QIODevice::ReadOnly))
            throw Error(ui::Tr("无法打开文件 %1：%2").arg(path, m_file.errorString()));
        m_size = std::max<qint64>(1, m_file.size());
    }

    bool Next(QStringList& cells, qint64& rowNo) override {
        for (;;) {
            cells.clear();
            if (!ReadRecord(cells))
                return false;
            rowNo = ++m_rowNo;
            if (!AllEmpty(cells))
                return true;
        }
    }

    double Progress() const override { return double(m_file.pos()) / double(m_size); }

private:
    // More text into the buffer; false at the end of the file.
    bool Fill() {
        const QByteArray bytes = m_file.read(64 * 1024);
        if (bytes.isEmpty())
            return false;
        m_buffer.remove(0, m_at);
        m_at = 0;
        m_buffer += m_decoder.decode(bytes);
        if (m_decoder.hasError())
            throw Error(ui::Tr("文件 %1 不是 UTF-8 编码的 CSV 文件，请在电子表格中另存为“CSV UTF-8”后再导入")
                            .arg(QFileInfo(m_file.fileName()).fileName()));
        if (m_delimiter.isNull())
            GuessDelimiter();
        return true;
    }

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
    }

    bool ReadRecord(QStringList& cells) {
        if (m_at >= m_buffer.size() && !Fill())
            return false;
        QString field;
        bool quoted = false, wasQuoted = false;
        for (;;) {
            if (m_at >= m_buffer.size() && !Fill()) {
                cells << Finished(field, wasQuoted);
                return true;
            }
            const QChar ch = m_buffer[m_at++];
            if (quoted) {
                if (ch != u'"') {
                    field += ch;
                } else {
                    if (m_at >= m_buffer.size())
                        Fill();
                    if (m_at < m_buffer.size() && m_buffer[m_at] == u'"') {
                        field += u'"';
                        ++m_at;
                    } else {
                        quoted = false;
                    }
                }
            } else if (ch == u'"' && field.isEmpty() && !wasQuoted) {
                quoted = wasQuoted = true;
            } else if (ch == m_delimiter) {
                cells << Finished(field, wasQuoted);
                field.clear();
                wasQuoted = false;
            } else if (ch == u'\r' || ch == u'\n') {
                if (ch == u'\r') {
                    if (m_at >= m_buffer.size())
                        Fill();
                    if (m_at < m_buffer.size() && m_buffer[m_at] == u'\n')
                        ++m_at;
                }
                cells << Finished(field, wasQuoted);
                return true;
            } else {
                field += ch;
            }
        }
    }

    // A text our own export wrote behind an apostrophe, so a spreadsheet would not run it as a
    // formula, comes back as it was.
    static QString Finished(const QString& field, bool) {
        if (field.size() >= 2 && field[0] == u'\'' && QStringView(u"=+-@\t\r").contains(field[1]))
            return field.mid(1);
        return field;
    }

    QFile m_file;
    QStringDecoder m_decoder;
    QString m_buffer;
    qsizetype m_at = 0;
    qint64 m_size = 1, m_rowNo = 0;
    QChar m_delimiter;
};

// The 0-based column of a cell reference such as "AB12"; -1 when there is none.
int ColumnOf(QByteArrayView ref) {
    int col = 0, letters = 0;
    for (char ch : ref) {
        if (ch >= 'A' && ch <= 'Z') {
            col = col * 26 + (ch - 'A' + 1);
            ++letters;
        } else {
            break;
        }
    }
    return letters == 0 || letters > 3 ? -1 : col - 1;
}

class XlsxReader : public TableReader {
public:
    explicit XlsxReader(const QString& path) : m_name(QFileInfo(path).fileName()) {
        m_zip = unzOpen64(QFile::encodeName(path).constData());
        if (!m_zip)
            throw Error(ui::Tr("无法读取文件 %1：它不是 XLSX 工作簿").arg(m_name));
        const QString sheet = FirstSheet();
        unz_file_info64 info{};
        if (!Open(sheet) ||
            unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            throw Error(ui::Tr("工作簿 %1 中没有工作表").arg(m_name));
        m_size = std::max<qint64>(1, qint64(info.uncompressed_size));
    }
    ~XlsxReader() override {
        unzCloseCurrentFile(m_zip);
        unzClose(m_zip);
    }

    // The sheet is read a piece at a time, so only a piece is ever in memory. Its XML is the plain
    // grid every spreadsheet program writes (rows of cells of values), which a scan of the bytes
    // reads at several times the speed of a general XML reader.
    bool Next(QStringList& cells, qint64& rowNo) override {
        QByteArrayView tag;
        while (ReadTag(tag)) {
            const bool end = tag.startsWith('/');
            QByteArrayView name = tag.sliced(end ? 1 : 0);
            for (qsizetype i = 0; i < name.size(); ++i) {
                if (name[i] == ' ' || name[i] == '/' || name[i] == '\t' || name[i] == '\n' ||
                    name[i] == '\r') {
                    name.truncate(i);
                    break;
                }
            }
            if (const qsizetype colon = name.indexOf(':'); colon >= 0)
                name = name.sliced(colon + 1); // a namespace prefix
            const bool empty = tag.endsWith('/');
            if (!end) {
                if (name == "row") {
                    ++m_rowNo;
                    if (const QByteArrayView r = Attribute(tag, "r"); !r.isEmpty())
                        m_rowNo = r.toLongLong();
                    m_cells.clear();
                    m_nextCol = 0;
                    if (empty)
                        continue;
                } else if (name == "c") {
                    m_col = ColumnOf(Attribute(tag, "r"));
                    if (m_col < 0)
                        m_col = m_nextCol;
                    m_nextCol = m_col + 1;
                    const QByteArrayView t = Attribute(tag, "t");
                    m_type = t == "s" ? 's' : t == "b" ? 'b' : 'n';
                    m_text.clear();
                    if (empty)
                        StoreCell();
                } else if ((name == "v" || name == "t") && !empty) {
                    m_collect = !m_inPhonetic;
                } else if (name == "rPh" && !empty) {
                    m_inPhonetic = true;
                }
                continue;
            }
            if (name == "v" || name == "t") {
                m_collect = false;
            } else if (name == "rPh") {
                m_inPhonetic = false;
            } else if (name == "c") {
                StoreCell();
            } else if (name == "row" && !AllEmpty(m_cells)) {
                cells = std::move(m_cells);
                m_cells = QStringList();
                rowNo = m_rowNo;
                return true;
            } else if (name == "sheetData") {
                return false;
            }
        }
        return false;
    }

    double Progress() const override { return double(m_read) / double(m_size); }

private:
    bool Open(const QString& entry) {
        unzCloseCurrentFile(m_zip);
        return unzLocateFile(m_zip, entry.toUtf8().constData(), 1) == UNZ_OK &&
               unzOpenCurrentFile(m_zip) == UNZ_OK;
    }

    // A small part of the workbook, whole.
    QByteArray Entry(const QString& entry) {
        QByteArray all;
        if (!Open(entry))
            return all;
        char buffer[64 * 1024];
        int n;
        while ((n = unzReadCurrentFile(m_zip, buffer, sizeof buffer)) > 0)
            all.append(buffer, n);
        unzCloseCurrentFile(m_zip);
        if (n < 0)
            throw Error(ui::Tr("工作簿 %1 已损坏，无法解压").arg(m_name));
        return all;
    }

    // More of the sheet after what is left unread; false at its end.
    bool Fill() {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
        const qsizetype have = m_buffer.size();
        m_buffer.resize(have + 64 * 1024);
        const int n = unzReadCurrentFile(m_zip, m_buffer.data() + have, 64 * 1024);
        if (n < 0)
            throw Error(ui::Tr("工作簿 %1 已损坏，无法解压").arg(m_name));
        m_buffer.truncate(have + n);
        m_read += n;
        return n > 0;
    }

    // The next tag's text between < and >; the text before it goes to the cell when one is read.
    bool ReadTag(QByteArrayView& tag) {
        for (;;) {
            const qsizetype lt = m_buffer.indexOf('<', m_pos);
            if (lt < 0) {
                if (m_collect)
                    m_text.append(m_buffer.constData() + m_pos, m_buffer.size() - m_pos);
                m_pos = m_buffer.size();
                if (!Fill())
                    return false;
                continue;
            }
            if (m_collect)
                m_text.append(m_buffer.constData() + m_pos, lt - m_pos);
            m_pos = lt;
            QByteArrayView rest(m_buffer.constData() + lt, m_buffer.size() - lt);
            const bool comment = rest.startsWith("<!--"), cdata = rest.startsWith("<![CDATA[");
            const qsizetype close = m_buffer.indexOf(comment ? "-->"
                                                     : cdata ? "]]>"
                                                             : ">",
                                                     lt + (comment ? 4
                                                           : cdata ? 9
                                                                   : 1));
            if (close < 0) {
                if (!Fill())
                    throw Error(
                        ui::Tr("工作簿 %1 的内容有误：%2").arg(m_name, QStringLiteral("unexpected end")));
                continue;
            }
            if (comment || cdata) {
                if (cdata && m_collect)
                    m_text.append(Escaped(QByteArrayView(m_buffer.constData() + lt + 9, close - lt - 9)));
                m_pos = close + 3;
                continue;
            }
            if (rest.startsWith("<?") || rest.startsWith("<!")) {
                m_pos = close + 1;
                continue;
            }
            tag = QByteArrayView(m_buffer.constData() + lt + 1, close - lt - 1);
            m_pos = close + 1;
            return true;
        }
    }

    // The value of name="..." (or '...') in a tag; empty when it has none.
    static QByteArrayView Attribute(QByteArrayView tag, const char* name) {
        const QByteArrayView wanted(name);
        for (qsizetype at = 0; (at = tag.indexOf(wanted, at)) >= 0; at += wanted.size()) {
            const qsizetype after = at + wanted.size();
            if (at == 0 ||
                (tag[at - 1] != ' ' && tag[at - 1] != '\t' && tag[at - 1] != '\n' && tag[at - 1] != '\r') ||
                after + 1 >= tag.size() || tag[after] != '=' ||
                (tag[after + 1] != '"' && tag[after + 1] != '\''))
                continue;
            const qsizetype end = tag.indexOf(tag[after + 1], after + 2);
            return end < 0 ? QByteArrayView() : tag.sliced(after + 2, end - after - 2);
        }
        return {};
    }

    // Text as XML keeps it back to text: the five named entities and character references.
    static QString Unescaped(QByteArrayView text) {
        if (!text.contains('&'))
            return QString::fromUtf8(text);
        QByteArray out;
        out.reserve(text.size());
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
                if (!ok)
                    continue;
                out += QStringView(QChar::fromUcs4(char32_t(code))).toUtf8();
            } else {
                out += text.sliced(i, semi - i + 1);
            }
            i = semi;
        }
        return QString::fromUtf8(out);
    }
    // CDATA holds its text as it is; escaped here so the cell's text is unescaped once, whole.
    static QByteArray Escaped(QByteArrayView raw) {
        return QByteArray(raw.data(), raw.size()).replace('&', "&amp;");
    }

    void StoreCell() {
        QString value = Unescaped(m_text);
        m_text.clear();
        if (m_type == 's') {
            bool ok = false;
            const int index = value.toInt(&ok);
            value = ok && index >= 0 && index < m_shared.size() ? m_shared[index] : QString();
        } else if (m_type == 'b') {
            value = value == u"1" ? QStringLiteral("1") : QStringLiteral("0");
        }
        if (m_col > 16383)
            return;
        while (m_cells.size() <= m_col)
            m_cells << QString();
        m_cells[m_col] = value;
    }

    // The first sheet of the workbook and, on the way, its shared strings.
    QString FirstSheet() {
        QString relId;
        QXmlStreamReader book(Entry(QStringLiteral("xl/workbook.xml")));
        while (!book.atEnd() && relId.isEmpty()) {
            if (book.readNext() == QXmlStreamReader::StartElement && book.name() == u"sheet") {
                for (const QXmlStreamAttribute& a : book.attributes())
                    if (a.name() == u"id")
                        relId = a.value().toString();
            }
        }
        QString target, shared;
        QXmlStreamReader rels(Entry(QStringLiteral("xl/_rels/workbook.xml.rels")));
        while (!rels.atEnd()) {
            if (rels.readNext() == QXmlStreamReader::StartElement && rels.name() == u"Relationship") {
                const QXmlStreamAttributes a = rels.attributes();
                const QString t = a.value(QStringLiteral("Target")).toString();
                const QString path = t.startsWith(u'/') ? t.mid(1) : QStringLiteral("xl/") + t;
                if (a.value(QStringLiteral("Id")) == relId)
                    target = path;
                else if (t.endsWith(QStringLiteral("sharedStrings.xml")))
                    shared = path;
            }
        }
        if (!shared.isEmpty())
            ReadSharedStrings(Entry(shared));
        return target.isEmpty() ? QStringLiteral("xl/worksheets/sheet1.xml") : target;
    }

    void ReadSharedStrings(const QByteArray& xmlText) {
        QXmlStreamReader xml(xmlText);
        bool inText = false, inPhonetic = false;
        QString text;
        while (!xml.atEnd()) {
            switch (xml.readNext()) {
            case QXmlStreamReader::StartElement:
                if (xml.name() == u"si")
                    text.clear();
                else if (xml.name() == u"t")
                    inText = true;
                else if (xml.name() == u"rPh")
                    inPhonetic = true;
                break;
            case QXmlStreamReader::EndElement:
                if (xml.name() == u"si")
                    m_shared << text;
                else if (xml.name() == u"t")
                    inText = false;
                else if (xml.name() == u"rPh")
                    inPhonetic = false;
                break;
            case QXmlStreamReader::Characters:
                if (inText && !inPhonetic)
                    text += xml.text();
                break;
            default:
                break;
            }
        }
    }

    unzFile m_zip = nullptr;
    QString m_name;
    QByteArray m_buffer, m_text;
    qsizetype m_pos = 0;
    QStringList m_shared, m_cells;
    char m_type = 'n';
    int m_col = 0, m_nextCol = 0;
    bool m_collect = false, m_inPhonetic = false;
    qint64 m_size = 1, m_read = 0, m_rowNo = 0;
};

} // namespace

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
        return std::make_unique<XlsxReader>(path);
    throw Error(ui::Tr("只能导入 XLSX 或 CSV 文件：%1").arg(info.fileName()));
}

QString SerialDateText(const QString& text) {
    bool ok = false;
    const double serial = text.trimmed().toDouble(&ok);
    if (!ok || serial < 1 || serial > 2958465)
        return {};
    return QDate(1899, 12, 30).addDays(qint64(serial)).toString(Qt::ISODate);
}

} // namespace zpp::services
