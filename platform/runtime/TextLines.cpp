#include "platform/runtime/TextLines.h"

namespace platform {

TLine LineAt(std::string_view text, std::size_t start) {
    const std::size_t brk = text.find_first_of("\r\n", start);
    if (brk == std::string_view::npos) return TLine{start, text.size(), text.size()};
    std::size_t next = brk + 1;
    if (text[brk] == '\r' && next < text.size() && text[next] == '\n') ++next;
    return TLine{start, brk, next};
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const TLine line = LineAt(text, at);
        lines.emplace_back(text.substr(line.begin, line.end - line.begin));
        at = line.next;
    }
    return lines;
}

}  // namespace platform
