// Reading a workbook's parts: zip entries unpacked within limits and checked, and their XML scanned
// as tags. Apart from XlsxTable.cpp, which knows what a sheet's rows and cells are.

#include "XlsxParts.h"

#include "TableFile.h"
#include "platform/ui/Prompt.h"

#include <cstring>

namespace zpp::services::xlsx {

using namespace tablelimits;

namespace {

constexpr int kChunk = 64 * 1024;
// The raw XML of one cell's text: a character takes up to ten bytes as a character reference.
constexpr qsizetype kCellBytes = kCellChars * 10;
// A tag, comment or CDATA section longer than this is no spreadsheet's.
constexpr qsizetype kTagBytes = 4 * 1024 * 1024;

QString Megabytes(qint64 bytes) {
    return QString::number((bytes + (1 << 20) - 1) >> 20);
}

} // namespace

Part::Part(unzFile zip, const QString& book, const QString& name, qint64 limit)
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

int Part::Read(char* into, int size) {
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

void Part::Close() {
    m_open = false;
    if (unzCloseCurrentFile(m_zip) != UNZ_OK || m_read != m_size)
        throw Damaged();
}

Error Part::Damaged() const {
    return Error(ui::Tr("工作簿 %1 已损坏：其中的 %2 无法解压或校验和不符").arg(m_book, m_name));
}

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

bool TagScanner::Next(QByteArrayView& tag) {
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
            if (const auto* gt = static_cast<const char*>(std::memchr(lt + 1, '>', size_t(size - at - 1)))) {
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

QByteArrayView TagScanner::Name(QByteArrayView tag, bool& end, bool& empty) {
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

void TagScanner::More(qsizetype at) {
    if (m_buffer.size() - at > kTagBytes)
        throw Error(
            ui::Tr("工作簿 %1 的内容有误：%2").arg(m_book, m_name + QStringLiteral(": a tag too long")));
    if (!Fill())
        throw Error(
            ui::Tr("工作簿 %1 的内容有误：%2").arg(m_book, m_name + QStringLiteral(": unexpected end")));
}

bool TagScanner::Fill() {
    m_buffer.remove(0, m_pos);
    m_pos = 0;
    const qsizetype have = m_buffer.size();
    m_buffer.resize(have + kChunk);
    const int n = m_part.Read(m_buffer.data() + have, kChunk);
    m_buffer.truncate(have + n);
    return n > 0;
}

void TagScanner::Keep(QByteArrayView text) {
    if (!Collect || text.isEmpty() || TooLong)
        return;
    if (Text.size() + text.size() > kCellBytes) {
        TooLong = true;
        Text.clear();
        return;
    }
    Text.append(text);
}

} // namespace zpp::services::xlsx
