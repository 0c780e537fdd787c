#include "ReorderedRows.h"

namespace zpp {

ReorderedRows::ReorderedRows(RecordListPtr rows, std::vector<int> order)
    : m_rows(std::move(rows)), m_order(std::move(order)) {
    m_keys = m_rows && m_rows->Count() > 0 ? m_rows->Peek(1)->SharedKeys() : std::make_shared<const KeySet>();
}

QVariant ReorderedRows::Value(int row, int field) const {
    const int p = m_order[std::size_t(row)];
    const KeySet& keys = m_rows->KeysAt(p);
    if (&keys == m_keys.get())
        return m_rows->ValueAt(p, field);
    return m_rows->ValueAt(p, keys.IndexOf(m_keys->At(field)));
}

int ReorderedRows::SharedValueId(int row, int field) const {
    const int p = m_order[std::size_t(row)];
    return &m_rows->KeysAt(p) == m_keys.get() ? m_rows->SharedIdAt(p, field) : -1;
}

} // namespace zpp
