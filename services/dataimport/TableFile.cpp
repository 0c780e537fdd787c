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
int ColumnOf(QStringView ref) {
    int col = 0, letters = 0;
    for (QChar ch : ref) {
        if (ch >= u'A' && ch <= u'Z') {
            col = col * 26 + (ch.unicode() - u'A' + 1);
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

    // The sheet is fed to the XML reader a piece at a time, so only a piece is ever in memory.
    bool Next(QStringList& cells, qint64& rowNo) override {
        for (;;) {
            const QXmlStreamReader::TokenType token = m_xml.readNext();
            if (token == QXmlStreamReader::Invalid) {
                if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && Feed())
                    continue;
                if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && m_sheetDone)
                    return false;
                throw Error(ui::Tr("工作簿 %1 的内容有误：%2").arg(m_name, m_xml.errorString()));
            }
            if (token == QXmlStreamReader::EndDocument)
                return false;
            if (token == QXmlStreamReader::Characters) {
                if (m_inText && !m_inPhonetic)
                    m_value += m_xml.text();
                continue;
            }
            const QStringView name = m_xml.name();
            if (token == QXmlStreamReader::StartElement) {
                if (name == u"row") {
                    ++m_rowNo;
                    const QStringView r = m_xml.attributes().value(QStringLiteral("r"));
                    if (!r.isEmpty())
                        m_rowNo = r.toLongLong();
                    m_cells.clear();
                    m_nextCol = 0;
                } else if (name == u"c") {
                    const QXmlStreamAttributes a = m_xml.attributes();
                    m_col = ColumnOf(a.value(QStringLiteral("r")));
                    if (m_col < 0)
                        m_col = m_nextCol;
                    m_nextCol = m_col + 1;
                    m_type = a.value(QStringLiteral("t")).toString();
                    m_value.clear();
                } else if (name == u"v" || name == u"t") {
                    m_inText = true;
                } else if (name == u"rPh") {
                    m_inPhonetic = true; // a reading aid, not the cell's text
                } else if (name == u"sheetData") {
                    m_inData = true;
                }
            } else if (token == QXmlStreamReader::EndElement) {
                if (name == u"v" || name == u"t") {
                    m_inText = false;
                } else if (name == u"rPh") {
                    m_inPhonetic = false;
                } else if (name == u"c") {
                    StoreCell();
                } else if (name == u"row" && !AllEmpty(m_cells)) {
                    cells = m_cells;
                    rowNo = m_rowNo;
                    return true;
                } else if (name == u"sheetData") {
                    m_sheetDone = true;
                }
            }
        }
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

    bool Feed() {
        if (m_sheetDone)
            return false;
        QByteArray chunk(64 * 1024, Qt::Uninitialized);
        const int n = unzReadCurrentFile(m_zip, chunk.data(), int(chunk.size()));
        if (n < 0)
            throw Error(ui::Tr("工作簿 %1 已损坏，无法解压").arg(m_name));
        if (n == 0) {
            m_sheetDone = true;
            return false;
        }
        chunk.truncate(n);
        m_read += n;
        m_xml.addData(chunk);
        return true;
    }

    void StoreCell() {
        QString value = m_value;
        if (m_type == u"s") {
            bool ok = false;
            const int index = value.toInt(&ok);
            value = ok && index >= 0 && index < m_shared.size() ? m_shared[index] : QString();
        } else if (m_type == u"b") {
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
    QXmlStreamReader m_xml;
    QStringList m_shared, m_cells;
    QString m_type, m_value;
    int m_col = 0, m_nextCol = 0;
    bool m_inText = false, m_inPhonetic = false, m_inData = false, m_sheetDone = false;
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
