#pragma once

#include <QString>

namespace zpp {

// A text as both stores can hold it. A NUL cuts a PostgreSQL value short (the statement then
// fails) and an unpaired UTF-16 surrogate is no character at all (SQLite merges it with its
// neighbour); each becomes U+FFFD, so the text keeps its length and shows where it was damaged.
inline QString StorableText(const QString& text) {
    if (!text.contains(QChar(0)) && QStringView(text).isValidUtf16())
        return text;
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out.at(i);
        if (c.isHighSurrogate() && i + 1 < out.size() && out.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isNull() || c.isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

} // namespace zpp
