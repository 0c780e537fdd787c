#include "CellColumn.h"

#include "platform/records/Error.h"

#include <algorithm>
#include <limits>

namespace zpp::controls::detail {

void CellColumn::Resize(int rows) {
    const int old = Size();
    for (int r = rows; r < old; ++r)
        m_garbage += m_len[r];
    m_start.resize(rows, 0);
    m_len.resize(rows, 0);
    if (rows == 0) {
        m_chars.clear();
        m_garbage = 0;
        m_rowOrdered = true;
        m_lastAppended = -1;
    }
}

void CellColumn::Set(int row, QStringView text) {
    const auto n = static_cast<std::size_t>(text.size());
    const std::uint32_t start = m_start[row];
    const std::uint32_t len = m_len[row];
    if (n <= len) {
        std::copy(text.utf16(), text.utf16() + n, m_chars.begin() + start);
        m_garbage += len - n;
        m_len[row] = static_cast<std::uint32_t>(n);
        if (n == 0)
            m_start[row] = 0;
        return;
    }
    if (m_chars.size() + n > std::numeric_limits<std::uint32_t>::max()) {
        Compact();
        if (m_chars.size() + n > std::numeric_limits<std::uint32_t>::max())
            throw Error(QStringLiteral("表格列的文字超出容量"));
    }
    if (len > 0 && start + len == m_chars.size()) {
        // The cell is the arena's tail: grow it where it is.
        m_chars.resize(start);
    } else {
        m_garbage += len;
    }
    const auto at = static_cast<std::uint32_t>(m_chars.size());
    if (row < m_lastAppended)
        m_rowOrdered = false;
    m_lastAppended = std::max(m_lastAppended, row);
    m_chars.insert(m_chars.end(), text.utf16(), text.utf16() + n);
    m_start[row] = at;
    m_len[row] = static_cast<std::uint32_t>(n);
    // Rewriting cells over and over must not grow the arena without bound.
    if (m_garbage > 4096 && m_garbage > m_chars.size() / 2)
        Compact();
}

void CellColumn::Compact() {
    std::vector<char16_t> chars;
    chars.reserve(m_chars.size() - m_garbage);
    for (std::size_t r = 0; r < m_start.size(); ++r) {
        const auto at = static_cast<std::uint32_t>(chars.size());
        chars.insert(chars.end(), m_chars.begin() + m_start[r], m_chars.begin() + m_start[r] + m_len[r]);
        m_start[r] = m_len[r] ? at : 0;
    }
    m_chars.swap(chars);
    m_garbage = 0;
    m_rowOrdered = true;
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

int CellColumn::FindRow(QStringView needle, int from, int to, bool forward, Qt::CaseSensitivity cs) const {
    from = std::max(from, 0);
    to = std::min(to, Size() - 1);
    if (needle.isEmpty() || from > to)
        return -1;
    if (!forward || !m_rowOrdered) {
        for (int r = forward ? from : to; forward ? r <= to : r >= from; r += forward ? 1 : -1)
            if (m_len[r] >= needle.size() && Get(r).contains(needle, cs))
                return r;
        return -1;
    }
    int r = from;
    while (r <= to && m_len[r] == 0)
        ++r;
    int last = to;
    while (last >= r && m_len[last] == 0)
        --last;
    if (r > last)
        return -1;
    const qsizetype end = qsizetype(m_start[last]) + m_len[last];
    for (qsizetype pos = m_start[r];;) {
        const qsizetype p = NextMatch(needle, pos, end, cs);
        if (p < 0)
            return -1;
        // Rows whose cells end before the match cannot hold it; texts lie in row order.
        while (r <= last && (m_len[r] == 0 || qsizetype(m_start[r]) + m_len[r] <= p))
            ++r;
        if (r > last)
            return -1;
        if (qsizetype(m_start[r]) <= p && p + needle.size() <= qsizetype(m_start[r]) + m_len[r])
            return r;
        pos = p + 1; // in garbage, or across two cells
    }
}

void CellColumn::ReserveLike(int sampleRows) {
    if (sampleRows < 1 || sampleRows >= Size())
        return;
    const double perRow = double(m_chars.size() - m_garbage) / sampleRows;
    const double want = perRow * Size() * 1.02 + 64;
    if (want > double(m_chars.capacity()) && want < double(std::numeric_limits<std::uint32_t>::max()))
        m_chars.reserve(static_cast<std::size_t>(want));
}

void CellColumn::Squeeze() {
    // Only worth a copy when a good part of the arena is garbage or spare room.
    const std::size_t used = m_chars.size() - m_garbage;
    if (m_garbage > used / 8 + 1024)
        Compact();
    else if (m_chars.capacity() > used + used / 4 + 4096)
        m_chars.shrink_to_fit();
    m_start.shrink_to_fit();
    m_len.shrink_to_fit();
}

} // namespace zpp::controls::detail
