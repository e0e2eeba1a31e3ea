// Text cut into lines, the one way every reader of line-based text here
// cuts it: CR LF, LF and CR alone each end a line, and the break after the
// last line adds no empty line of its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One line of a text: its bytes [begin, end), without the break, and the
// start of the next line (the text's size after the last).
struct TLine {
    std::size_t begin, end, next;
};

// The line that starts at `start`, found without copying the text, for
// readers of texts too large to hold twice.
TLine LineAt(std::string_view text, std::size_t start);

std::vector<std::string> SplitLines(std::string_view text);

}  // namespace platform
