#include "CellColumn.h"

#include "platform/records/Error.h"

#include <algorithm>
#include <limits>

namespace zpp::controls::detail {

namespace {
constexpr std::size_t kMaxChars = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kMaxText = (std::size_t(1) << 31) - 1;
} // namespace

void CellColumn::Resize(int rows) {
    const int old = Size();
    for (int r = rows; r < old; ++r)
        Release(m_cell[std::size_t(r)]);
    m_cell.resize(std::size_t(std::max(rows, 0)), 0);
    m_lastAppended = std::min(m_lastAppended, rows - 1);
    if (rows <= 0) {
        m_chars.clear();
        m_entries.assign(1, Entry{});
        m_freeEntries.clear();
        m_garbage = 0;
        m_rowOrdered = true;
    }
}

void CellColumn::Release(std::uint32_t entry) {
    if (entry == 0)
        return;
    Entry& e = m_entries[entry];
    if (e.shared)
        return; // other cells may still use it; the next compaction finds out
    m_garbage += e.len;
    e = Entry{};
    m_freeEntries.push_back(entry);
}

std::uint32_t CellColumn::Append(QStringView text) {
    const auto n = static_cast<std::size_t>(text.size());
    if (m_chars.size() + n > kMaxChars || n > kMaxText) {
        Compact();
        if (m_chars.size() + n > kMaxChars || n > kMaxText)
            throw Error(QStringLiteral("表格列的文字超出容量"));
    }
    std::uint32_t e;
    if (!m_freeEntries.empty()) {
        e = m_freeEntries.back();
        m_freeEntries.pop_back();
    } else {
        if (m_entries.size() >= kMaxChars)
            throw Error(QStringLiteral("表格列的文字超出容量"));
        e = static_cast<std::uint32_t>(m_entries.size());
        m_entries.emplace_back();
    }
    Entry& en = m_entries[e];
    en.start = static_cast<std::uint32_t>(m_chars.size());
    en.len = static_cast<std::uint32_t>(n);
    en.shared = 0;
    m_chars.insert(m_chars.end(), text.utf16(), text.utf16() + n);
    return e;
}

void CellColumn::Set(int row, QStringView text) {
    const std::uint32_t e = m_cell[std::size_t(row)];
    const auto n = static_cast<std::size_t>(text.size());
    if (n == 0) {
        Release(e);
        m_cell[std::size_t(row)] = 0;
        return;
    }
    if (e != 0 && !m_entries[e].shared) {
        Entry& en = m_entries[e];
        if (n <= en.len) {
            std::copy(text.utf16(), text.utf16() + n, m_chars.begin() + en.start);
            m_garbage += en.len - n;
            en.len = static_cast<std::uint32_t>(n);
            return;
        }
        if (std::size_t(en.start) + en.len == m_chars.size() && en.start + n <= kMaxChars && n <= kMaxText) {
            // The cell is the arena's tail: grow it where it is.
            m_chars.resize(en.start);
            m_chars.insert(m_chars.end(), text.utf16(), text.utf16() + n);
            en.len = static_cast<std::uint32_t>(n);
            return;
        }
    }
    Release(e);
    m_cell[std::size_t(row)] = 0; // a compaction made room for the new text walks the cells
    m_cell[std::size_t(row)] = Append(text);
    if (row < m_lastAppended)
        m_rowOrdered = false;
    m_lastAppended = std::max(m_lastAppended, row);
    // Rewriting cells over and over must not grow the arena without bound.
    if (m_garbage > 4096 && m_garbage > m_chars.size() / 2)
        Compact();
}

void CellColumn::Share(int from, int to) {
    const std::uint32_t e = m_cell[std::size_t(from)];
    std::uint32_t& cell = m_cell[std::size_t(to)];
    if (cell == e)
        return;
    Release(cell);
    cell = e;
    if (e != 0) {
        m_entries[e].shared = 1;
        m_rowOrdered = false;
    }
}

void CellColumn::MoveRows(const std::vector<int>& from) {
    std::vector<std::uint32_t> cells(m_cell.size());
    bool moved = false;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i] = m_cell[std::size_t(from[i])];
        moved = moved || from[i] != int(i);
    }
    m_cell.swap(cells);
    // The texts no longer lie in row order; the next compaction lays them out so again.
    if (moved)
        m_rowOrdered = false;
}

void CellColumn::Compact() {
    std::vector<char16_t> chars;
    chars.reserve(m_chars.size() - std::min(m_garbage, m_chars.size()));
    std::vector<Entry> entries(1);
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> moved(m_entries.size(), kNone);
    bool shared = false;
    for (std::uint32_t& cell : m_cell) {
        if (cell == 0)
            continue;
        std::uint32_t& to = moved[cell];
        if (to == kNone) {
            const Entry& old = m_entries[cell];
            to = static_cast<std::uint32_t>(entries.size());
            Entry e;
            e.start = static_cast<std::uint32_t>(chars.size());
            e.len = old.len;
            entries.push_back(e);
            chars.insert(chars.end(), m_chars.begin() + old.start, m_chars.begin() + old.start + old.len);
        } else {
            entries[to].shared = 1;
            shared = true;
        }
        cell = to;
    }
    m_chars.swap(chars);
    m_entries.swap(entries);
    m_freeEntries.clear();
    m_garbage = 0;
    m_rowOrdered = !shared;
    m_lastAppended = Size() - 1;
}

qsizetype CellColumn::NextMatch(QStringView needle, qsizetype pos, qsizetype end,
                                Qt::CaseSensitivity cs) const {
    const QStringView hay(m_chars.data(), end);
    const qsizetype n = needle.size();
    // The first character is looked for with the vectorised single-character search, in each
    // case it can take; only there is the whole needle compared.
    const QChar first = needle.front();
    QChar variants[2] = {first, first};
    if (cs == Qt::CaseInsensitive) {
        variants[0] = first.toLower();
        variants[1] = first.toUpper();
    }
    // A quick look at each character before the exact comparison: many candidates fail at once.
    // Characters beyond ASCII can fold in ways the two cases do not show; they go to the comparison.
    QString lower = needle.toString(), upper = lower;
    if (cs == Qt::CaseInsensitive) {
        lower = lower.toLower();
        upper = upper.toUpper();
    }
    const bool sameLength = lower.size() == n && upper.size() == n;
    const auto mayMatch = [&](qsizetype p) {
        if (!sameLength)
            return true;
        for (qsizetype i = 1; i < n; ++i) {
            const char16_t ch = m_chars[std::size_t(p + i)];
            if (ch != lower[i].unicode() && ch != upper[i].unicode() && ch < 128)
                return false;
        }
        return true;
    };
    qsizetype next[2] = {-2, -2};
    while (pos + n <= end) {
        qsizetype p = -1;
        for (int v = 0; v < (variants[0] == variants[1] ? 1 : 2); ++v) {
            if (next[v] != -1 && next[v] < pos)
                next[v] = hay.indexOf(variants[v], pos);
            if (next[v] >= 0 && (p < 0 || next[v] < p))
                p = next[v];
        }
        if (p < 0 || p + n > end)
            return -1;
        if (mayMatch(p) && hay.sliced(p, n).compare(needle, cs) == 0)
            return p;
        pos = p + 1;
    }
    return -1;
}

int CellColumn::FindInRowOrder(QStringView needle, int from, int to, Qt::CaseSensitivity cs) const {
    const auto start = [&](int r) { return qsizetype(m_entries[m_cell[std::size_t(r)]].start); };
    const auto end = [&](int r) { return start(r) + qsizetype(m_entries[m_cell[std::size_t(r)]].len); };
    int r = from;
    while (r <= to && IsEmpty(r))
        ++r;
    int last = to;
    while (last >= r && IsEmpty(last))
        --last;
    if (r > last)
        return -1;
    const qsizetype stop = end(last);
    for (qsizetype pos = start(r);;) {
        const qsizetype p = NextMatch(needle, pos, stop, cs);
        if (p < 0)
            return -1;
        // Rows whose cells end before the match cannot hold it; texts lie in row order.
        while (r <= last && (IsEmpty(r) || end(r) <= p))
            ++r;
        if (r > last)
            return -1;
        if (start(r) <= p && p + needle.size() <= end(r))
            return r;
        pos = p + 1; // in garbage, or across two cells
    }
}

int CellColumn::FindRow(QStringView needle, int from, int to, bool forward, Qt::CaseSensitivity cs) const {
    from = std::max(from, 0);
    to = std::min(to, Size() - 1);
    if (needle.isEmpty() || from > to)
        return -1;
    if (from == to)
        return Get(from).contains(needle, cs) ? from : -1;
    if (forward && m_rowOrdered)
        return FindInRowOrder(needle, from, to, cs);
    // Texts shared or out of row order. One pass over the arena finds where the needle occurs;
    // no occurrence answers at once. A few occurrences tell which texts hold it, so the rows are
    // then only looked up; many mean a match is likely near, so each text is tested when met.
    constexpr std::size_t kFewHits = 4096;
    std::vector<qsizetype> hits;
    for (qsizetype pos = 0; hits.size() <= kFewHits;) {
        const qsizetype p = NextMatch(needle, pos, qsizetype(m_chars.size()), cs);
        if (p < 0)
            break;
        hits.push_back(p);
        pos = p + 1;
    }
    if (hits.empty())
        return -1;
    enum : char { Unknown, Holds, Lacks };
    std::vector<char> state(m_entries.size(), Unknown);
    state[0] = Lacks;
    if (hits.size() <= kFewHits) {
        for (std::size_t e = 1; e < m_entries.size(); ++e) {
            const Entry& en = m_entries[e];
            const auto at = std::lower_bound(hits.begin(), hits.end(), qsizetype(en.start));
            state[e] =
                at != hits.end() && *at + needle.size() <= qsizetype(en.start) + en.len ? Holds : Lacks;
        }
    }
    for (int r = forward ? from : to; forward ? r <= to : r >= from; r += forward ? 1 : -1) {
        const std::uint32_t e = m_cell[std::size_t(r)];
        if (state[e] == Unknown)
            state[e] = Get(r).contains(needle, cs) ? Holds : Lacks;
        if (state[e] == Holds)
            return r;
    }
    return -1;
}

void CellColumn::Squeeze() {
    // Only worth a copy when a good part of the arena is garbage or spare room.
    const std::size_t used = m_chars.size() - std::min(m_garbage, m_chars.size());
    if (m_garbage > used / 8 + 1024)
        Compact();
    else if (m_chars.capacity() > used + used / 4 + 4096)
        m_chars.shrink_to_fit();
    m_cell.shrink_to_fit();
    m_entries.shrink_to_fit();
}

} // namespace zpp::controls::detail
