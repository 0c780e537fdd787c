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
