// libFuzzer target for the INI reader: any bytes must parse, print back byte
// for byte, read the same when fed in pieces, and take a write that reads
// back as written without disturbing the other keys. The same bytes as a
// file go through the decoders: read in blocks they give the text read whole,
// and a marked file that the plug-in would write keeps its encoding and its
// text through a write. Input: three short strings (section, key, value) in
// FuzzedDataProvider's form, then the file's bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/ini/IniText.h"
#include "platform/ini/TextEncoding.h"

using platform::TIniText;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// The section and key names the file's own lines would give.
std::vector<std::pair<std::string, std::string>> NamesIn(const std::string& bytes) {
    std::vector<std::pair<std::string, std::string>> names;
    std::string section, line;
    for (std::size_t i = 0; i <= bytes.size() && names.size() < 64; ++i) {
        if (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n') {
            line += bytes[i];
            continue;
        }
        if (!line.empty() && line[0] == '[') section = line.substr(1, line.find(']') - 1);
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) names.emplace_back(section, line.substr(0, eq));
        line.clear();
    }
    return names;
}

std::string Trimmed(const std::string& s) {
    const std::size_t b = s.find_first_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool SameName(const std::string& a, const std::string& b) {
    return TIniText::FoldCase(Trimmed(a)) == TIniText::FoldCase(Trimmed(b));
}

std::string Lookup(const TIniText& text, const std::string& section, const std::string& key) {
    std::string value;
    return text.Find(section, key, &value) ? "=" + value : "<none>";
}

// The lookup fed in three pieces, as the settings are read in blocks.
std::string LookupInPieces(const std::string& bytes, std::size_t first, std::size_t second,
                           const std::pair<std::string, std::string>& name) {
    platform::TIniLookup lookup(name.first, name.second);
    lookup.Feed(bytes.data(), first);
    lookup.Feed(bytes.data() + first, second - first);
    lookup.Feed(bytes.data() + second, bytes.size() - second);
    lookup.Finish();
    return lookup.Found() ? "=" + lookup.Value() : "<none>";
}

bool IsPlainAscii(const std::string& s) {
    for (char c : s)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

// Two cuts chosen from the names' lengths, so each input is one run.
void CheckDecoding(const std::string& bytes, const std::string& section, const std::string& key,
                   const std::string& value) {
    const platform::TDecodedText whole = platform::DecodeText(bytes);
    const std::size_t first = bytes.empty() ? 0 : (section.size() * 7919 + key.size()) % (bytes.size() + 1);
    const std::size_t second = first + (bytes.size() - first) * value.size() / 257;
    platform::TTextDecoder blocks;
    std::string read = blocks.Feed(bytes.data(), first);
    read += blocks.Feed(bytes.data() + first, second - first);
    read += blocks.Feed(bytes.data() + second, bytes.size() - second);
    read += blocks.Finish();
    Check(read == whole.text);
    if (!whole.lossless || !IsPlainAscii(section + key + value)) return;
    TIniText text(whole.text);
    if (!text.Set(section, key, value)) return;
    const platform::TDecodedText again = platform::DecodeText(platform::EncodeText(whole.encoding, text.Bytes()));
    Check(again.encoding == whole.encoding && again.lossless && again.text == text.Bytes());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(64);
    const std::string key = input.ConsumeRandomLengthString(64);
    const std::string value = input.ConsumeRandomLengthString(256);
    const std::string bytes = input.ConsumeRemainingBytesAsString();

    CheckDecoding(bytes, section, key, value);
    TIniText text(bytes);
    Check(text.Bytes() == bytes);

    const auto names = NamesIn(bytes);
    std::vector<std::string> before;
    const std::size_t first = bytes.size() * key.size() / 65, second = first + (bytes.size() - first) / 2;
    for (const auto& n : names) {
        before.push_back(Lookup(text, n.first, n.second));
        Check(LookupInPieces(bytes, first, second, n) == before.back());
    }

    const bool stored = text.Set(section, key, value);
    Check(stored == (TIniText::CanStoreSection(section) && TIniText::CanStoreKey(key)));
    if (!stored) {
        Check(text.Bytes() == bytes);
        return 0;
    }
    // Values without line breaks or NULs read back exactly, from memory and
    // from the bytes written.
    const TIniText reread(text.Bytes());
    if (value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos) {
        Check(Lookup(text, section, key) == "=" + value);
        Check(Lookup(reread, section, key) == "=" + value);
    }
    Check(Lookup(reread, section, key) == Lookup(text, section, key));
    // Every other key reads as before: the write took only its own line.
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto& n = names[i];
        if (SameName(n.first, section) && SameName(n.second, key)) continue;
        Check(Lookup(reread, n.first, n.second) == before[i]);
    }
    return 0;
}
