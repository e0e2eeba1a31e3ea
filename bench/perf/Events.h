// The ring events the benchmark queues: numbered texts, so every arrival can
// be matched with the poll that handed it out.
#pragma once

#include <cstddef>
#include <string>

namespace perf {

constexpr int kRingCode = 30;

std::string EventText(int index);  // "PERF00042"

// The number in an event text read from a field of `size` bytes that need not
// end in a NUL; -1 for any other text.
int EventIndex(const char* text, std::size_t size);

}  // namespace perf
