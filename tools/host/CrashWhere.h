// Where a crash report's fault offset in Orvale8.dll lies in the source,
// read from the DLL's debug file (a PE image holding the symbol table and
// the DWARF sections): the function from the symbol table, the file and line
// from the line table. What addr2line and c++filt give, for a vendor without
// MinGW's tools.
#pragma once

#include <cstdint>
#include <string>

struct SourcePlace {
    std::uint32_t Address = 0;  // the preferred base plus the offset
    std::string Function;       // in source form; empty when no symbol covers it
    std::string File;           // as the debug information names it
    unsigned Line = 0;          // 0 when the line table has no row for it
};

// `image` holds the debug file's bytes. False with `error` set when they are
// not a 32-bit PE image, or the offset lies outside the DLL's code.
bool FindSourcePlace(const std::string& image, std::uint32_t offset, SourcePlace& place, std::string& error);

// "ovhost --where OFFSET[,OFFSET...]": the debug file beside the bench or one
// folder up (the kit's layout); prints the function and FILE:LINE of each,
// as addr2line -f does. The exit code: 1 when an offset has no line.
int RunWhere(const std::string& offsetText);
