// The memory this process has committed for itself (heaps, stacks, private
// mappings), read region by region: what Windows calls private bytes.
#pragma once

#include <cstdint>

namespace ovtest {

std::uint64_t PrivateCommittedBytes();

}  // namespace ovtest
