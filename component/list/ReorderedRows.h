#pragma once

// The rows of a list in another order, read through in place: a sorted list of a million rows
// needs no second copy of them.
#include "platform/records/KeyedRecord.h"

#include <vector>

namespace zpp {

class ReorderedRows : public RowSource {
public:
    // Row i (from 0) is the list's row at position order[i] (1-based).
    ReorderedRows(RecordListPtr rows, std::vector<int> order);
    int Rows() const override { return int(m_order.size()); }
    // The keys of the list's first row; a row of other keys is read by name.
    const std::shared_ptr<const KeySet>& Keys() const override { return m_keys; }
    QVariant Value(int row, int field) const override;
    int SharedValueId(int row, int field) const override;

private:
    RecordListPtr m_rows;
    std::vector<int> m_order;
    std::shared_ptr<const KeySet> m_keys;
};

} // namespace zpp
