#pragma once

#include <QHash>
#include <QString>
#include <QVector>

namespace zpp {

// Texts kept once however often they come, each named by a number from 0: a million rows of a
// few thousand plan numbers, dates or notes hold each text once and a number a row.
class TextTable {
public:
    quint32 Add(const QString& text) {
        // Neighbouring rows mostly repeat the last text (a plan's entries, empty notes).
        if (m_last < m_texts.size() && m_texts[m_last] == text)
            return quint32(m_last);
        auto it = m_index.constFind(text);
        if (it == m_index.cend()) {
            it = m_index.insert(text, quint32(m_texts.size()));
            m_texts.append(text);
        }
        m_last = *it;
        return *it;
    }
    const QString& At(quint32 i) const { return m_texts[qsizetype(i)]; }
    // Frees the lookup once no more texts come; At still answers.
    void Settle() { m_index = {}; }

private:
    QVector<QString> m_texts;
    QHash<QString, quint32> m_index;
    qsizetype m_last = 0;
};

} // namespace zpp
