#include "bench/perf/Events.h"

#include <cstdio>
#include <cstring>

namespace perf {
namespace {

const char kPrefix[] = "PERF";
constexpr std::size_t kDigits = 5;

}  // namespace

std::string EventText(int index) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%05d", kPrefix, index);
    return text;
}

int EventIndex(const char* text, std::size_t size) {
    const std::size_t prefix = sizeof kPrefix - 1;
    if (!text || size < prefix + kDigits || std::memcmp(text, kPrefix, prefix) != 0) return -1;
    int index = 0;
    for (std::size_t i = prefix; i < prefix + kDigits; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        index = index * 10 + (text[i] - '0');
    }
    // The text ends after the digits, at a NUL or at the end of the field.
    return size == prefix + kDigits || text[prefix + kDigits] == '\0' ? index : -1;
}

}  // namespace perf
