#include "PdfText.h"

#include "platform/controls/LedgerGrid.h"

#include <QFile>
#include <QFont>
#include <QHash>
#include <QRawFont>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <map>
#include <optional>
#include <vector>

namespace zpp::services {

namespace {

// Every text the ledger draws, and the fonts it draws them in.
QString LedgerTexts(controls::LedgerGrid& ledger) {
    QString all;
    for (int r = 1; r <= ledger.MaxRows(); ++r)
        for (int c = 1; c <= ledger.MaxCols(); ++c)
            all += ledger.Text(r, c);
    for (const auto* lines : {&ledger.TitleLines(), &ledger.ClosingLines()})
        for (const controls::LedgerLine& line : *lines)
            all += line.Left.Text + line.Centre.Text + line.Right.Text;
    for (const auto* cells : {&ledger.HeadCells(), &ledger.FootCells()})
        for (const controls::LedgerCell& cell : *cells)
            all += cell.Text;
    return all;
}

QList<QFont> LedgerFonts(controls::LedgerGrid& ledger) {
    QFont bold = ledger.font();
    bold.setBold(true);
    QList<QFont> fonts{ledger.font(), bold};
    for (const auto* lines : {&ledger.TitleLines(), &ledger.ClosingLines()})
        for (const controls::LedgerLine& line : *lines)
            fonts << line.Left.Font << line.Centre.Font << line.Right.Font;
    for (const auto* cells : {&ledger.HeadCells(), &ledger.FootCells()})
        for (const controls::LedgerCell& cell : *cells)
            fonts << cell.Font;
    return fonts;
}

// The text map (ToUnicode CMap) of one font: code → the text it stands for.
struct TextMap {
    QByteArray Head, Tail; // the CMap around its bfchar and bfrange blocks, kept as they were
    std::map<uint, QString> Codes;
};

std::optional<QString> FromHex(QByteArrayView hex) {
    if (hex.isEmpty() || hex.size() % 4 != 0)
        return std::nullopt;
    QString text;
    for (qsizetype i = 0; i < hex.size(); i += 4) {
        bool ok = false;
        const ushort unit = hex.sliced(i, 4).toByteArray().toUShort(&ok, 16);
        if (!ok)
            return std::nullopt;
        text.append(QChar(unit));
    }
    return text;
}

QByteArray ToHex(const QString& text) {
    QByteArray hex;
    for (const QChar ch : text)
        hex += QByteArray::number(ch.unicode(), 16).rightJustified(4, '0').toUpper();
    return hex;
}

// Reads the bfchar and bfrange blocks Qt writes; nothing for any other shape.
std::optional<TextMap> ReadTextMap(const QByteArray& cmap) {
    TextMap map;
    const qsizetype chars = cmap.indexOf("beginbfchar"), ranges = cmap.indexOf("beginbfrange");
    const qsizetype first = chars < 0 ? ranges : ranges < 0 ? chars : std::min(chars, ranges);
    if (first < 0)
        return std::nullopt;
    const qsizetype headEnd = cmap.lastIndexOf('\n', first) + 1;
    map.Head = cmap.left(headEnd);
    // Tokens: <hex>, [, ], and words (block keywords, counts).
    enum class Mode { None, Char, Range } mode = Mode::None;
    QList<QByteArray> pending;
    qsizetype i = headEnd, tailStart = -1;
    while (i < cmap.size()) {
        const char ch = cmap[i];
        if (ch == ' ' || ch == '\n' || ch == '\r' || ch == '\t') {
            ++i;
            continue;
        }
        QByteArray token;
        if (ch == '<') {
            const qsizetype end = cmap.indexOf('>', i);
            if (end < 0)
                return std::nullopt;
            token = cmap.mid(i, end - i + 1);
            i = end + 1;
        } else if (ch == '[' || ch == ']') {
            token = QByteArray(1, ch);
            ++i;
        } else {
            qsizetype end = i;
            while (end < cmap.size() && !QByteArrayView(" \n\r\t<[]").contains(cmap[end]))
                ++end;
            token = cmap.mid(i, end - i);
            i = end;
        }
        if (token == "beginbfchar" || token == "beginbfrange") {
            mode = token == "beginbfchar" ? Mode::Char : Mode::Range;
            pending.clear();
            continue;
        }
        if (token == "endbfchar" || token == "endbfrange") {
            if (!pending.isEmpty())
                return std::nullopt;
            mode = Mode::None;
            tailStart = i;
            continue;
        }
        if (mode == Mode::None) {
            bool count = false;
            token.toUInt(&count);
            if (count)
                continue; // the number of entries of the block that follows
            break;        // the trailer: endcmap and what follows
        }
        pending << token;
        const auto code = [](const QByteArray& t) -> std::optional<uint> {
            bool ok = false;
            const uint v = t.mid(1, t.size() - 2).toUInt(&ok, 16);
            return ok && t.startsWith('<') ? std::optional<uint>(v) : std::nullopt;
        };
        if (mode == Mode::Char && pending.size() == 2) {
            const auto c = code(pending[0]);
            const auto text = FromHex(QByteArrayView(pending[1]).sliced(1, pending[1].size() - 2));
            if (!c || !text)
                return std::nullopt;
            map.Codes[*c] = *text;
            pending.clear();
        } else if (mode == Mode::Range && pending.size() >= 3) {
            const auto lo = code(pending[0]), hi = code(pending[1]);
            if (!lo || !hi || *hi < *lo || *hi - *lo > 0xFFFF)
                return std::nullopt;
            if (pending[2] == "[") {
                if (pending.last() != "]")
                    continue;
                // lo, hi, the brackets and one text a code
                if (pending.size() != qsizetype(*hi - *lo) + 5)
                    return std::nullopt;
                for (uint k = 0; k <= *hi - *lo; ++k) {
                    const QByteArray& t = pending[3 + k];
                    const auto text = FromHex(QByteArrayView(t).sliced(1, t.size() - 2));
                    if (!text)
                        return std::nullopt;
                    map.Codes[*lo + k] = *text;
                }
            } else {
                const auto text = FromHex(QByteArrayView(pending[2]).sliced(1, pending[2].size() - 2));
                if (!text)
                    return std::nullopt;
                for (uint k = 0; k <= *hi - *lo; ++k) {
                    QString t = *text;
                    t.back() = QChar(ushort(t.back().unicode() + k));
                    map.Codes[*lo + k] = t;
                }
            }
            pending.clear();
        }
    }
    if (tailStart < 0 || mode != Mode::None)
        return std::nullopt;
    map.Tail = cmap.mid(tailStart);
    while (map.Tail.startsWith('\n') || map.Tail.startsWith('\r') || map.Tail.startsWith(' '))
        map.Tail.remove(0, 1);
    return map;
}

QByteArray WriteTextMap(const TextMap& map) {
    QByteArray out = map.Head;
    constexpr std::size_t kBlock = 100; // entries a block may hold
    auto it = map.Codes.begin();
    while (it != map.Codes.end()) {
        QByteArray block;
        std::size_t n = 0;
        for (; it != map.Codes.end() && n < kBlock; ++it, ++n)
            block += '<' + QByteArray::number(it->first, 16).rightJustified(4, '0').toUpper() + "> <" +
                     ToHex(it->second) + ">\n";
        out += QByteArray::number(qulonglong(n)) + " beginbfchar\n" + block + "endbfchar\n";
    }
    return out + map.Tail;
}

// The character a glyph was drawn for: one of the drawn texts' characters that the font draws
// alike (the ideograph behind a radical, the space behind a tab), or the letters a
// compatibility form such as a ligature stands for.
class DrawnChars {
public:
    DrawnChars(const QString& drawn, const QList<QFont>& fonts) {
        for (char32_t c = 0x20; c < 0x7F; ++c)
            m_drawn.insert(c);
        for (const char32_t c : drawn.toUcs4())
            m_drawn.insert(c);
        QString bmp;
        for (const char32_t c : m_drawn)
            if (c < 0x10000)
                bmp += QChar(char16_t(c));
        QSet<QString> seen;
        for (const QFont& font : fonts) {
            const QString key = font.family() + (font.bold() ? u"|b" : u"|r");
            if (seen.contains(key))
                continue;
            seen.insert(key);
            Face face{QRawFont::fromFont(font), {}};
            if (!face.Raw.isValid())
                continue;
            const QList<quint32> glyphs = face.Raw.glyphIndexesForString(bmp);
            for (qsizetype i = 0; i < glyphs.size() && i < bmp.size(); ++i)
                if (glyphs[i] != 0 && !face.Drawn.contains(glyphs[i]))
                    face.Drawn.insert(glyphs[i], bmp[i]);
            m_faces.push_back(std::move(face));
        }
    }

    QString Mend(const QString& text) const {
        if (text.size() != 1 || m_drawn.contains(text[0].unicode()))
            return text;
        const QString compatible = text.normalized(QString::NormalizationForm_KC);
        if (compatible != text && std::all_of(compatible.begin(), compatible.end(),
                                              [&](QChar c) { return m_drawn.contains(c.unicode()); }))
            return compatible;
        for (const Face& face : m_faces) {
            const QList<quint32> glyph = face.Raw.glyphIndexesForString(text);
            if (!glyph.isEmpty() && glyph[0] != 0)
                if (const auto at = face.Drawn.constFind(glyph[0]); at != face.Drawn.constEnd())
                    return QString(*at);
        }
        return text;
    }

private:
    struct Face {
        QRawFont Raw;
        QHash<quint32, QChar> Drawn;
    };
    QSet<char32_t> m_drawn;
    std::vector<Face> m_faces;
};

} // namespace

bool MendPdfText(QByteArray& pdf, const QString& drawnTexts, const QList<QFont>& fonts) {
    // The cross-reference table: where each object starts.
    const qsizetype startxref = pdf.lastIndexOf("startxref");
    if (startxref < 0)
        return false;
    bool ok = false;
    const qsizetype xref =
        pdf.mid(startxref + 9, 24).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || xref <= 0 || xref >= startxref || !pdf.mid(xref).startsWith("xref"))
        return false;
    struct Entry {
        qsizetype At; // where its ten digits are
        qsizetype Offset;
    };
    std::map<int, Entry> objects;
    {
        qsizetype at = xref + 4;
        const auto line = [&]() {
            while (at < pdf.size() && (pdf[at] == '\n' || pdf[at] == '\r' || pdf[at] == ' '))
                ++at;
            const qsizetype end = pdf.indexOf('\n', at);
            const QByteArray text = pdf.mid(at, end - at);
            const qsizetype begin = at;
            at = end < 0 ? pdf.size() : end + 1;
            return std::pair{begin, text.trimmed()};
        };
        for (auto [begin, head] = line(); !head.startsWith("trailer"); std::tie(begin, head) = line()) {
            const QList<QByteArray> parts = head.split(' ');
            bool okFirst = false, okCount = false;
            const int firstObj = parts.value(0).toInt(&okFirst), count = parts.value(1).toInt(&okCount);
            if (parts.size() != 2 || !okFirst || !okCount || count < 0)
                return false;
            for (int k = 0; k < count; ++k) {
                const auto [entryAt, entry] = line();
                if (entry.size() < 18)
                    return false;
                if (entry.endsWith('n'))
                    objects[firstObj + k] = {entryAt, entry.left(10).toLongLong()};
            }
        }
    }

    const DrawnChars drawn(drawnTexts, fonts);
    struct Change {
        qsizetype From, To;
        QByteArray With;
    };
    std::vector<Change> changes;
    static const QRegularExpression toUnicode(QStringLiteral("/ToUnicode (\\d+) 0 R"));
    static const QRegularExpression length(
        QStringLiteral("^\\s*\\d+ 0 obj\\s*<<\\s*/Length (\\d+)\\s*>>\\s*$"));
    QSet<int> done;
    for (auto it = toUnicode.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
        const int obj = it.next().captured(1).toInt();
        const auto at = objects.find(obj);
        if (done.contains(obj) || at == objects.end())
            continue;
        done.insert(obj);
        const qsizetype start = at->second.Offset;
        const qsizetype keyword = pdf.indexOf("stream", start);
        if (keyword < 0 || !pdf.mid(start).startsWith(QByteArray(QByteArray::number(obj) + " 0 obj")))
            return false;
        const auto dict = length.match(QString::fromLatin1(pdf.mid(start, keyword - start)));
        if (!dict.hasMatch())
            continue; // compressed or otherwise not as Qt writes it: left alone
        qsizetype data = keyword + 6;
        if (pdf.mid(data, 2) == "\r\n")
            data += 2;
        else if (pdf[data] == '\n')
            ++data;
        const qsizetype size = dict.captured(1).toLongLong();
        if (data + size > pdf.size())
            return false;
        const auto map = ReadTextMap(pdf.mid(data, size));
        if (!map)
            continue;
        TextMap mended = *map;
        for (auto& [code, text] : mended.Codes)
            text = drawn.Mend(text);
        const QByteArray cmap = WriteTextMap(mended);
        changes.push_back({start, data + size,
                           QByteArray::number(obj) + " 0 obj\n<< /Length " + QByteArray::number(cmap.size()) +
                               " >>\nstream\n" + cmap});
    }
    if (changes.empty())
        return true;
    std::sort(changes.begin(), changes.end(),
              [](const Change& a, const Change& b) { return a.From < b.From; });
    if (changes.back().To > xref)
        return false;

    QByteArray out;
    out.reserve(pdf.size() + 4096);
    qsizetype copied = 0;
    for (const Change& c : changes) {
        out += QByteArrayView(pdf).sliced(copied, c.From - copied);
        out += c.With;
        copied = c.To;
    }
    out += QByteArrayView(pdf).sliced(copied);
    const auto moved = [&](qsizetype offset) {
        qsizetype shift = 0;
        for (const Change& c : changes)
            if (c.To <= offset)
                shift += c.With.size() - (c.To - c.From);
        return offset + shift;
    };
    const qsizetype shift = moved(xref) - xref;
    for (const auto& [obj, entry] : objects) {
        const QByteArray digits = QByteArray::number(moved(entry.Offset)).rightJustified(10, '0');
        if (digits.size() != 10)
            return false;
        out.replace(entry.At + shift, 10, digits);
    }
    const qsizetype newStartxref = startxref + shift;
    const qsizetype numberEnd = out.indexOf("%%EOF", newStartxref);
    if (numberEnd < 0)
        return false;
    out.replace(newStartxref, numberEnd - newStartxref,
                QByteArray("startxref\n" + QByteArray::number(moved(xref)) + '\n'));
    pdf = std::move(out);
    return true;
}

bool MendLedgerPdf(QByteArray& pdf, controls::LedgerGrid& ledger) {
    return MendPdfText(pdf, LedgerTexts(ledger), LedgerFonts(ledger));
}

bool MendLedgerPdfFile(const QString& path, controls::LedgerGrid& ledger) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray pdf = in.readAll();
    in.close();
    if (!MendPdfText(pdf, LedgerTexts(ledger), LedgerFonts(ledger)))
        return false;
    QSaveFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(pdf) == pdf.size() && out.commit();
}

} // namespace zpp::services
