// How an import file's first row is read: which field each caption names, in either language, and
// which unknown caption looks like a known one. Apart from the rows' rules, which never see captions.

#include "Importer.h"
#include "TableFile.h"
#include "services/platform/PlatformServices.h"

#include <algorithm>
#include <cstdlib>

namespace zpp::services::importing {

QString EnglishCaption(const char* caption) {
    static ResLoaderService* english = [] {
        auto* loader = new ResLoaderService;
        loader->SetResFileBaseName(QStringLiteral("DeZodirorazez"));
        loader->SetLanguageID(QStringLiteral("en"));
        return loader;
    }();
    return english->LoadString(QString::fromUtf8(caption));
}

namespace {

// Only the letters and digits of a caption: "税率%" and 税率(%) are alike.
QString LetterKey(const QString& caption) {
    QString key;
    for (const QChar c : CaptionKey(caption))
        if (c.isLetterOrNumber())
            key += c;
    return key;
}

// Edits that turn a into b (insertions, deletions, replacements).
qsizetype EditDistance(const QString& a, const QString& b) {
    QVector<qsizetype> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Whether an unknown caption looks like a known one: the same letters and digits, or a slip of a
// character (two in a long English caption). Two-character captions differ too much at one.
bool LooksLike(const QString& caption, const QString& known) {
    const QString letters = LetterKey(known);
    if (!letters.isEmpty() && LetterKey(caption) == letters)
        return true;
    const QString k = CaptionKey(known);
    const qsizetype slips = k.size() >= 8 ? 2 : k.size() >= 3 ? 1 : 0;
    return slips > 0 && std::abs(CaptionKey(caption).size() - k.size()) <= slips &&
           EditDistance(CaptionKey(caption), k) <= slips;
}

} // namespace

ImportNotices Importer::CaptionNotices(const QString& path) {
    auto reader = OpenTable(path);
    QStringList cells;
    qint64 rowNo = 0;
    if (reader->Next(cells, rowNo))
        ReadCaptions(cells, rowNo);
    return m_result.Notices;
}

bool Importer::ReadCaptions(const QStringList& cells, qint64 rowNo) {
    m_columnOf = QVector<int>(m_kind.Fields.size(), -1);
    QVector<int> unknown;
    for (int c = 0; c < cells.size(); ++c) {
        const QString key = CaptionKey(cells[c]);
        if (key.isEmpty())
            continue;
        bool known = false;
        for (int f = 0; f < m_kind.Fields.size(); ++f) {
            if (key != m_captionKeys[f].first && key != m_captionKeys[f].second)
                continue;
            known = true;
            if (m_columnOf[f] >= 0)
                Problem(rowNo, Caption(f), Tr("该列出现了两次"));
            m_columnOf[f] = c;
        }
        if (!known)
            unknown << c;
    }
    // Other columns are ignored (an exported list carries many), but one that looks like a
    // column the file lacks was most likely meant as it: its values would be lost unseen.
    for (const int c : unknown) {
        const QString caption = cells[c].trimmed();
        for (int f = 0; f < m_kind.Fields.size(); ++f) {
            const char* builtIn = m_kind.Fields[f].Caption;
            if (m_columnOf[f] >= 0 || (!LooksLike(caption, QString::fromUtf8(builtIn)) &&
                                       !LooksLike(caption, EnglishCaption(builtIn))))
                continue;
            m_result.Notices.push_back(
                {rowNo, caption, Tr("不是已知的列标题，该列不会导入；是否应为“%1”？").arg(Caption(f))});
            break;
        }
    }
    bool complete = true;
    for (int f = 0; f < m_kind.Fields.size(); ++f) {
        const ImportField& field = m_kind.Fields[f];
        if (field.Required && (!m_updating || field.Key) && m_columnOf[f] < 0) {
            Problem(rowNo, Caption(f), Tr("缺少此列"));
            complete = false;
        }
    }
    return complete && m_result.Problems.isEmpty();
}

} // namespace zpp::services::importing
