#include "TabText.h"

namespace zpp::controls {

namespace {
bool IsLineEnd(QChar c) {
    return c == u'\n' || c == u'\r';
}

bool NeedsQuotes(const QString& cell) {
    for (QChar c : cell)
        if (c == u'\t' || c == u'"' || IsLineEnd(c))
            return true;
    return false;
}
} // namespace

QVector<QStringList> ParseTabText(const QString& text) {
    QVector<QStringList> rows;
    if (text.isEmpty())
        return rows;
    QStringList row;
    QString cell;
    const qsizetype n = text.size();
    qsizetype i = 0;
    bool lineEnded = false; // the last thing read was a line end
    while (i < n) {
        lineEnded = false;
        if (cell.isEmpty() && text[i] == u'"') {
            // A quoted cell, when its quote closes: up to the quote that is not doubled.
            QString quoted;
            qsizetype j = i + 1;
            bool closed = false;
            while (j < n) {
                if (text[j] == u'"') {
                    if (j + 1 < n && text[j + 1] == u'"') {
                        quoted += u'"';
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                quoted += text[j++];
            }
            if (closed) {
                cell = quoted;
                i = j + 1;
                // Anything between the closing quote and the cell's end belongs to the cell.
                while (i < n && text[i] != u'\t' && !IsLineEnd(text[i]))
                    cell += text[i++];
                continue;
            }
            // Never closed: the quote was part of the text.
        }
        const QChar c = text[i];
        if (c == u'\t') {
            row << cell;
            cell.clear();
            ++i;
        } else if (IsLineEnd(c)) {
            row << cell;
            cell.clear();
            rows << row;
            row.clear();
            i += c == u'\r' && i + 1 < n && text[i + 1] == u'\n' ? 2 : 1;
            lineEnded = true;
        } else {
            cell += c;
            ++i;
        }
    }
    if (!lineEnded) {
        row << cell;
        rows << row;
    }
    return rows;
}

QString FormatTabText(const QVector<QStringList>& rows) {
    if (rows.size() == 1 && rows[0].size() == 1 && !NeedsQuotes(rows[0][0]))
        return rows[0][0];
    QString text;
    for (const QStringList& row : rows) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                text += u'\t';
            const QString& cell = row[c];
            if (NeedsQuotes(cell)) {
                QString doubled = cell;
                doubled.replace(QStringLiteral("\""), QStringLiteral("\"\""));
                text += u'"';
                text += doubled;
                text += u'"';
            } else {
                text += cell;
            }
        }
        text += u'\n';
    }
    return text;
}

} // namespace zpp::controls
