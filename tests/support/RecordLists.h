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

} // namespace zpp::test
