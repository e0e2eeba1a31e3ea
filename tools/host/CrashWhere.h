// Where a crash report's fault offset in Orvale8.dll lies in the source,
// read from the DLL's debug file (a PE image holding the symbol table and
// the DWARF sections): the function from the symbol table, the file and line
// from the line table. What addr2line and c++filt give, for a vendor without
// MinGW's tools.
#pragma once

#include <cstdint>
#include <string>

struct SourcePlace {
    std::uint64_t Base = 0;     // the DLL's preferred base
    std::uint64_t Address = 0;  // the preferred base plus the offset
    bool WasAddress = false;    // what was given was the address, not the offset
    std::string Function;       // in source form; empty when no symbol covers it
    std::string File;           // as the debug information names it
    unsigned Line = 0;          // 0 when the line table has no row for it
};

// `image` holds the debug file's bytes. An offset is taken as an address
// when only that reading lies in the DLL's code. False with `error` set when
// they are not a 32-bit or 64-bit PE image, or the offset lies outside the
// DLL's code.
bool FindSourcePlace(const std::string& image, std::uint64_t offset, SourcePlace& place, std::string& error);

// "ovhost --where OFFSET[,OFFSET...]": the debug file beside the bench or one
// folder up (the kit's layout); prints the function and FILE:LINE of each,
// as addr2line -f does, or "no line information". The exit code: 1 when an
// offset is not in the code or no function covers it.
int RunWhere(const std::string& offsetText);
