#include "bench/perf/PeSize.h"

#include <cstdint>
#include <cstdlib>

namespace perf {
namespace {

// Little-endian reads that fail instead of running off the end.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool U16(std::size_t at, std::uint32_t& v) const { return Read(at, 2, v); }
    bool U32(std::size_t at, std::uint32_t& v) const { return Read(at, 4, v); }
    bool Has(std::size_t at, std::size_t n) const { return at <= bytes_.size() && n <= bytes_.size() - at; }
    const std::string& Bytes() const { return bytes_; }

private:
    bool Read(std::size_t at, std::size_t n, std::uint32_t& v) const {
        if (!Has(at, n)) return false;
        v = 0;
        for (std::size_t i = n; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes_[at + i]);
        return true;
    }
    const std::string& bytes_;
};

// The section's name, from its header or from the string table.
bool SectionName(const Reader& r, std::size_t header, std::size_t strings, std::string& name) {
    if (!r.Has(header, 8)) return false;
    std::string raw = r.Bytes().substr(header, 8);
    raw = raw.substr(0, raw.find('\0'));
    if (raw.size() < 2 || raw[0] != '/') {
        name = raw;
        return true;
    }
    const std::size_t at = strings + std::strtoul(raw.c_str() + 1, nullptr, 10);
    if (!strings || !r.Has(at, 1)) return false;
    const std::size_t end = r.Bytes().find('\0', at);
    name = r.Bytes().substr(at, end == std::string::npos ? std::string::npos : end - at);
    return true;
}

}  // namespace

std::size_t SizeWithoutDebugInfo(const std::string& image) {
    const Reader r(image);
    std::uint32_t pe = 0, sections = 0, symbols = 0, symbolCount = 0, optionalSize = 0, headers = 0;
    if (image.compare(0, 2, "MZ") != 0 || !r.U32(0x3C, pe) || !r.Has(pe, 4) || image.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return 0;
    const std::size_t coff = pe + 4;
    if (!r.U16(coff + 2, sections) || !r.U32(coff + 8, symbols) || !r.U32(coff + 12, symbolCount) ||
        !r.U16(coff + 16, optionalSize) || !r.U32(coff + 20 + 60, headers))
        return 0;
    const std::size_t strings = symbols ? symbols + std::size_t(symbolCount) * 18 : 0;
    std::size_t total = headers;
    for (std::uint32_t i = 0; i < sections; ++i) {
        const std::size_t header = coff + 20 + optionalSize + std::size_t(i) * 40;
        std::string name;
        std::uint32_t rawSize = 0;
        if (!SectionName(r, header, strings, name) || !r.U32(header + 16, rawSize)) return 0;
        if (name.compare(0, 6, ".debug") != 0) total += rawSize;
    }
    return total;
}

}  // namespace perf
