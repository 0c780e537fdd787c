#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace zpp::controls::detail {

// The texts of one grid column in a single UTF-16 arena. A QString per cell costs about
// 75 bytes with its heap block; here a cell costs 8 bytes plus its characters.
class CellColumn {
public:
    int Size() const { return static_cast<int>(m_start.size()); }
    // New rows are empty; dropped rows leave garbage that the next compaction removes.
    void Resize(int rows);
    QStringView Get(int row) const {
        return QStringView(m_chars.data() + m_start[row], static_cast<qsizetype>(m_len[row]));
    }
    bool IsEmpty(int row) const { return m_len[row] == 0; }
    void Set(int row, QStringView text);
    // Makes room for the text of rows like the first sampleRows ones: a bulk fill then writes
    // its arena once instead of copying it at every doubling.
    void ReserveLike(int sampleRows);
    // Drops garbage and spare capacity once a bulk fill is over.
    void Squeeze();
    std::size_t Garbage() const { return m_garbage; }
    // The first row in [from, to] (the last one when backward) whose text contains the needle,
    // or -1. Forward, a column whose texts lie in row order is searched as one run of characters.
    int FindRow(QStringView needle, int from, int to, bool forward, Qt::CaseSensitivity cs) const;

private:
    void Compact();

    // Where the needle occurs whole at or after pos in the first `end` characters, or -1.
    qsizetype NextMatch(QStringView needle, qsizetype pos, qsizetype end, Qt::CaseSensitivity cs) const;

    std::vector<char16_t> m_chars;
    // Whether non-empty cells lie in the arena in row order (garbage may sit between them).
    bool m_rowOrdered = true;
    int m_lastAppended = -1;
    std::vector<std::uint32_t> m_start;
    std::vector<std::uint32_t> m_len;
    std::size_t m_garbage = 0;
};

} // namespace zpp::controls::detail
