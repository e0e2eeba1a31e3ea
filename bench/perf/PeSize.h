// The size of a DLL without its debug information, read from its PE headers:
// what a stripped release of the same build would weigh.
#pragma once

#include <cstddef>
#include <string>

namespace perf {

// The headers plus the file data of every section whose name does not start
// with ".debug" (long names, "/N", are looked up in the COFF string table).
// 0 when `image` is not a well-formed PE file.
std::size_t SizeWithoutDebugInfo(const std::string& image);

}  // namespace perf
