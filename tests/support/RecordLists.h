#pragma once

#include "platform/records/KeyedRecord.h"

#include <initializer_list>

namespace zpp::test {

// A record list of the given records, in order: how the tests build what a window sends.
inline RecordListPtr ListOf(std::initializer_list<RecordPtr> records) {
    auto list = RecordList::Create();
    for (const RecordPtr& r : records)
        list->Add(r);
    return list;
}

// The same records as a list over a row source, as the list window hands over a large selection:
// a row is made when read and becomes a record only when asked for as one. Object values (merged
// members) are shared.
inline RecordListPtr SourceListOf(const RecordListPtr& records) {
    class Values : public RowSource {
    public:
        explicit Values(const RecordList& records) {
            auto keys = std::make_shared<KeySet>();
            for (int p = 1; p <= records.Count(); ++p)
                for (const QString& key : records.Item(p)->Keys())
                    if (keys->IndexOf(key) < 0)
                        keys->Append(key);
            for (int p = 1; p <= records.Count(); ++p)
                for (int f = 0; f < keys->Count(); ++f)
                    m_values << records.Item(p)->Get(keys->At(f), QVariant());
            m_keys = std::move(keys);
        }
        int Rows() const override { return m_keys->Count() ? int(m_values.size()) / m_keys->Count() : 0; }
        const std::shared_ptr<const KeySet>& Keys() const override { return m_keys; }
        QVariant Value(int row, int field) const override { return m_values[row * m_keys->Count() + field]; }

    private:
        std::shared_ptr<const KeySet> m_keys;
        QVariantList m_values;
    };
    return RecordList::Over(std::make_shared<Values>(*records));
}

// True when every row of a list over a source is still there, none made a record: reading a row
// builds it afresh each time.
inline bool RowsStayInSource(const RecordList& list) {
    for (int p = 1; p <= list.Count(); ++p)
        if (list.Peek(p) == list.Peek(p))
            return false;
    return true;
}

} // namespace zpp::test
