// The DWARF line table (.debug_line, versions 2 to 5, 32-bit format) read
// for one address: the file and line of the row that covers it.
#pragma once

#include <cstdint>
#include <string>

struct DwarfSections {
    std::string Line;     // .debug_line
    std::string LineStr;  // .debug_line_str (version 5 names)
    std::string Str;      // .debug_str
};

// False when no sequence of the table covers `address`.
bool FindLine(const DwarfSections& sections, std::uint64_t address, std::string& file, unsigned& line);
