#pragma once

#include <cstddef>

namespace zpp::bench {

// A figure of /proc/self/status in kB, for example "VmHWM:" (peak resident) or "VmRSS:"; -1
// when it cannot be read.
long ProcStatusKb(const char* key);

// Bytes the heap hands out now (small blocks plus mapped ones).
std::size_t HeapInUse();

} // namespace zpp::bench
