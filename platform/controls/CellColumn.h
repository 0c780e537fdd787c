#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace zpp::controls::detail {

// The texts of one grid column in a single UTF-16 arena. A QString per cell costs about
// 75 bytes with its heap block; here a cell costs 4 bytes, and its characters 8 more plus
// themselves unless it shares them with other cells of the column (a list's item names,
// dates and suppliers recur on row after row).
class CellColumn {
public:
    int Size() const { return static_cast<int>(m_cell.size()); }
    // New rows are empty; dropped rows leave garbage that the next compaction removes.
    void Resize(int rows);
    QStringView Get(int row) const {
        const Entry& e = m_entries[m_cell[row]];
        return QStringView(m_chars.data() + e.start, static_cast<qsizetype>(e.len));
    }
    bool IsEmpty(int row) const { return m_cell[row] == 0; }
    void Set(int row, QStringView text);
    // Gives row `to` the text of row `from` without a copy of its characters.
    void Share(int from, int to);
    // Drops garbage and spare capacity once a bulk fill is over.
    void Squeeze();
    std::size_t Garbage() const { return m_garbage; }
    // The entry a row's text is kept in, 0 for an empty cell: rows with one entry share one
    // text, so an ordering looks at each entry once.
    std::uint32_t EntryOf(int row) const { return m_cell[std::size_t(row)]; }
    std::size_t EntryCount() const { return m_entries.size(); }
    QStringView EntryText(std::uint32_t entry) const {
        const Entry& e = m_entries[entry];
        return QStringView(m_chars.data() + e.start, static_cast<qsizetype>(e.len));
    }
    // Row i takes the text row from[i] had (0-based); from must name every row once.
    void MoveRows(const std::vector<int>& from);
    // The first row in [from, to] (the last one when backward) whose text contains the needle,
    // or -1. Forward, a column whose texts lie in row order is searched as one run of characters.
    int FindRow(QStringView needle, int from, int to, bool forward, Qt::CaseSensitivity cs) const;

private:
    struct Entry {
        std::uint32_t start = 0;
        std::uint32_t len : 31 = 0;
        std::uint32_t shared : 1 = 0; // used by more than one cell at some time since the last compaction
    };

    void Compact();
    // The cell no longer uses its entry: an entry only it used is garbage.
    void Release(std::uint32_t entry);
    std::uint32_t Append(QStringView text);
    // Where the needle occurs whole at or after pos in the first `end` characters, or -1.
    qsizetype NextMatch(QStringView needle, qsizetype pos, qsizetype end, Qt::CaseSensitivity cs) const;
    int FindInRowOrder(QStringView needle, int from, int to, Qt::CaseSensitivity cs) const;

    std::vector<char16_t> m_chars;
    // Entry 0 is the empty text.
    std::vector<Entry> m_entries{Entry{}};
    std::vector<std::uint32_t> m_cell;
    // Whether no text is shared and texts lie in the arena in row order (garbage may sit between).
    bool m_rowOrdered = true;
    int m_lastAppended = -1;
    std::size_t m_garbage = 0;
    // Entries whose cells all let go of them; reused before the table grows.
    std::vector<std::uint32_t> m_freeEntries;
};

} // namespace zpp::controls::detail
