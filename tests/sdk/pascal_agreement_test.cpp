// The Pascal unit and the C header describe one DLL: the same exported
// functions with the same parameters, the same callback, constants and event
// names. Both are read as text, and the import library's definition file
// names each function's export and the bytes its arguments take.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ScratchDir.h"

namespace {

std::string Read(const std::string& relative) { return ovtest::ReadBytes(std::string(OV_SOURCE_DIR) + "/" + relative); }

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// What a parameter or result is, whatever the language calls it; each kind
// is 4 bytes on the 32-bit DLL's stack (the data value's own type, which is
// wider in a 64-bit host, is compared by DataTypes). Unknown names fail the
// test.
std::string CKind(std::string type) {
    type = std::regex_replace(Trim(type), std::regex(R"(([\s*])[A-Za-z_]\w*$)"), "$1");  // drop the name
    type = Trim(std::regex_replace(type, std::regex(R"(\s+)"), " "));
    static const std::map<std::string, std::string> kinds = {
        {"OV_BOOL32", "bool32"}, {"OV_DATA", "data"}, {"const char *", "text"}, {"const char*", "text"},
        {"void *", "handle"},    {"void*", "handle"}, {"TDeviceCallback", "callback"}, {"void", ""}};
    const auto found = kinds.find(type);
    return found == kinds.end() ? "unknown C type '" + type + "'" : found->second;
}

// Integer is not among them: its size follows the compiler's mode (16 bits
// under Turbo Pascal's).
std::string PascalKind(const std::string& type) {
    static const std::map<std::string, std::string> kinds = {
        {"TOvBool32", "bool32"}, {"LongBool", "bool32"}, {"TOvData", "data"},
        {"PAnsiChar", "text"},   {"HWND", "handle"},     {"TDeviceCallback", "callback"}};
    const auto found = kinds.find(Trim(type));
    return found == kinds.end() ? "unknown Pascal type '" + Trim(type) + "'" : found->second;
}

std::vector<std::string> CParameters(const std::string& list) {
    std::vector<std::string> kinds;
    std::stringstream items(list);
    for (std::string item; std::getline(items, item, ',');)
        if (!CKind(item).empty()) kinds.push_back(CKind(item));
    return kinds;
}

// "Data: Integer; Text, Event: PAnsiChar" as one kind per name.
std::vector<std::string> PascalParameters(const std::string& list) {
    std::vector<std::string> kinds;
    std::stringstream groups(list);
    for (std::string group; std::getline(groups, group, ';');) {
        const auto colon = group.find(':');
        if (colon == std::string::npos) continue;
        std::stringstream names(group.substr(0, colon));
        for (std::string name; std::getline(names, name, ',');) kinds.push_back(PascalKind(group.substr(colon + 1)));
    }
    return kinds;
}

struct Function {
    std::string Result;
    std::vector<std::string> Parameters;
};

// Functions by the name the DLL exports them under.
using Api = std::map<std::string, Function>;

Api CFunctions(const std::string& header, const std::map<std::string, std::string>& exportOf) {
    Api api;
    const std::regex declaration(R"(\n([A-Za-z_][\w ]*?\*?)\s*(?:__stdcall|OV_STDCALL)\s+(\w+)\(([^)]*)\);)");
    for (std::sregex_iterator m(header.begin(), header.end(), declaration), end; m != end; ++m) {
        const auto name = exportOf.find((*m)[2]);
        const std::string exported = name == exportOf.end() ? "(not in the .def) " + (*m)[2].str() : name->second;
        api[exported] = {CKind((*m)[1]), CParameters((*m)[3])};
    }
    return api;
}

// Pascal name -> DLL export, from the implementation's external clauses.
std::map<std::string, std::string> PascalExports(const std::string& unit) {
    std::map<std::string, std::string> exportOf;
    const std::regex external(R"(function (\w+); external \w+ name '(\w+)';)");
    for (std::sregex_iterator m(unit.begin(), unit.end(), external), end; m != end; ++m) exportOf[(*m)[1]] = (*m)[2];
    return exportOf;
}

// What `pattern` (name, parameters, result type) matches in `text`, by the
// export the name is for; a name that is for none is listed after `unknown`.
Api PascalDeclarations(const std::string& unit, const std::string& text, const char* pattern, const char* unknown) {
    const std::map<std::string, std::string> exportOf = PascalExports(unit);
    Api api;
    const std::regex declaration(pattern);
    for (std::sregex_iterator m(text.begin(), text.end(), declaration), end; m != end; ++m) {
        const auto name = exportOf.find((*m)[1]);
        const std::string exported = name == exportOf.end() ? unknown + (*m)[1].str() : name->second;
        api[exported] = {PascalKind((*m)[3]), PascalParameters((*m)[2])};
    }
    return api;
}

Api PascalFunctions(const std::string& unit) {
    return PascalDeclarations(unit, unit.substr(0, unit.find("\nimplementation")),
                              R"(\nfunction (\w+)(?:\(([^)]*)\))?: (\w+); stdcall;)", "(no external) ");
}

// The procedural types for loading the DLL at run time, "T" and the
// function's Pascal name, by the export they are for.
Api PascalProceduralTypes(const std::string& unit) {
    return PascalDeclarations(unit, unit, R"(\n  T(\w+) = function(?:\(([^)]*)\))?: (\w+); stdcall;)",
                              "(no such function) T");
}

// From "Name@8 @2" and "Alias@0 @5 == Export": C name -> export, export -> bytes.
void ReadDef(const std::string& def, std::map<std::string, std::string>& exportOf, std::map<std::string, int>& bytes) {
    const std::regex line(R"(\n(\w+)@(\d+) @\d+(?: == (\w+))?)");
    for (std::sregex_iterator m(def.begin(), def.end(), line), end; m != end; ++m) {
        const std::string exported = (*m)[3].matched ? (*m)[3].str() : (*m)[1].str();
        exportOf[(*m)[1]] = exported;
        bytes[exported] = std::stoi((*m)[2]);
    }
}

std::map<std::string, std::string> Constants(const std::string& text, const std::regex& shape) {
    std::map<std::string, std::string> constants;
    for (std::sregex_iterator m(text.begin(), text.end(), shape), end; m != end; ++m) constants[(*m)[1]] = (*m)[2];
    return constants;
}

// The functions a host links to, and the procedural types a host that loads
// the DLL at run time casts GetProcAddress's result to: a wrong one corrupts
// its stack on the first call.
TEST(PascalUnit, DeclaresWhatTheHeaderDeclaresForLinkingAndForRunTimeLoading) {
    const std::string header = Read("include/Orvale8.h"), unit = Read("include/Orvale8.pas");
    ASSERT_FALSE(header.empty());
    ASSERT_FALSE(unit.empty());
    std::map<std::string, std::string> exportOf;
    std::map<std::string, int> bytes;
    ReadDef(Read("sdk/Orvale8.imp.def"), exportOf, bytes);
    ASSERT_EQ(bytes.size(), 5u);

    const Api c = CFunctions(header, exportOf);
    ASSERT_EQ(c.size(), 5u);
    for (const auto& [kind, pascal] : {std::make_pair("function", PascalFunctions(unit)),
                                       std::make_pair("procedural type", PascalProceduralTypes(unit))}) {
        ASSERT_EQ(pascal.size(), c.size()) << kind;
        for (const auto& [name, function] : c) {
            SCOPED_TRACE(std::string(kind) + " " + name);
            const auto other = pascal.find(name);
            ASSERT_NE(other, pascal.end());
            EXPECT_EQ(other->second.Result, function.Result);
            EXPECT_EQ(other->second.Parameters, function.Parameters);
            EXPECT_EQ(bytes[name], 4 * static_cast<int>(function.Parameters.size())) << "the .def's stack bytes";
        }
    }
}

TEST(PascalUnit, CallbackConstantsAndEventNamesMatchTheHeader) {
    const std::string header = Read("include/Orvale8.h"), unit = Read("include/Orvale8.pas");
    std::smatch c, pascal;
    ASSERT_TRUE(std::regex_search(header, c, std::regex(R"(typedef void\((?:__stdcall|OV_STDCALL) \*TDeviceCallback\)\(([^)]*)\);)")));
    ASSERT_TRUE(std::regex_search(unit, pascal, std::regex(R"(TDeviceCallback = procedure\(([^)]*)\); stdcall;)")));
    EXPECT_EQ(PascalParameters(pascal[1]), CParameters(c[1]));
    EXPECT_EQ(CParameters(c[1]), (std::vector<std::string>{"data", "text", "text"}));

    const auto cConstants = Constants(header, std::regex(R"(#define (OV_\w+) \(?(?:\(OV_BOOL32\))?("[^"]*"|-?\d+)\)?)"));
    auto pascalConstants = Constants(unit, std::regex(R"(\n  (OV_\w+) = (?:TOvBool32\()?('[^']*'|-?\d+)\)?;)"));
    for (auto& [name, value] : pascalConstants)
        if (value[0] == '\'') value = '"' + value.substr(1, value.size() - 2) + '"';
    EXPECT_EQ(cConstants.size(), 5u);
    EXPECT_EQ(pascalConstants, cConstants);
    EXPECT_EQ(cConstants.at("OV_TRUE"), "-1");
    EXPECT_EQ(cConstants.at("OV_EVENT_RING"), "\"ue_ring\"");
}

// The lines `text` keeps for a compiler that defines `defined`, following
// #if defined(X)/#ifdef/#ifndef/#else/#endif/#define in C and
// {$IFDEF}/{$IFNDEF}/{$ELSE}/{$ENDIF}/{$DEFINE} in Pascal; any other
// condition fails the test rather than be guessed.
std::vector<std::string> ActiveLines(const std::string& text, std::set<std::string> defined, bool pascal) {
    const std::regex c(R"(^\s*#\s*(if defined|ifdef|ifndef|else|endif|define|if)\b\s*\(?(\w*)\)?(.*))");
    const std::regex p(R"(^\s*\{\$(IFDEF|IFNDEF|ELSE|ENDIF|DEFINE|IF)\b\s*(\w*)\}?(.*))");
    std::vector<std::string> lines;
    std::vector<bool> taken;  // per open condition: is its branch kept
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        const bool live = std::find(taken.begin(), taken.end(), false) == taken.end();
        if (!std::regex_search(line, m, pascal ? p : c)) {
            if (live) lines.push_back(line);
            continue;
        }
        std::string word = m[1];
        std::transform(word.begin(), word.end(), word.begin(), ::tolower);
        const bool isDefined = defined.count(m[2]) > 0;
        if (word == "if" || (word == "if defined" && !Trim(m[3]).empty()))
            ADD_FAILURE() << "a condition the test does not follow: " << line;
        else if (word == "if defined" || word == "ifdef") taken.push_back(isDefined);
        else if (word == "ifndef") taken.push_back(!isDefined);
        else if (word == "else" && !taken.empty()) taken.back() = !taken.back();
        else if (word == "endif" && !taken.empty()) taken.pop_back();
        else if (word == "define" && live) defined.insert(m[2]);
    }
    EXPECT_TRUE(taken.empty()) << "a condition left open";
    return lines;
}

// The type each compiler gives the data value's name, by its size.
std::vector<std::string> DataTypes(const std::string& text, const std::set<std::string>& defined, bool pascal,
                                   int bits) {
    const std::regex declaration(pascal ? R"(^\s*TOvData = (\w+);)" : R"(^\s*typedef ([\w ]+) OV_DATA;)");
    const std::map<std::string, std::string> sizes = {
        {"int", "32 bits"}, {"long long", "64 bits"}, {"__int64", "64 bits"}, {"LongInt", "32 bits"},
        {"NativeInt", bits == 64 ? "64 bits" : "NativeInt (8 bytes in Delphi 2007)"}};
    std::vector<std::string> types;
    for (const std::string& line : ActiveLines(text, defined, pascal)) {
        std::smatch m;
        if (!std::regex_search(line, m, declaration)) continue;
        const auto size = sizes.find(m[1]);
        types.push_back(size == sizes.end() ? "unknown type " + m[1].str() : size->second);
    }
    return types;
}

// Each compiler by the symbols it defines: a 32-bit host's data value is the
// 32-bit int it always was, a 64-bit host's is pointer-sized.
TEST(PascalUnit, DataValueIs32BitsIn32BitHostsAndPointerSizedIn64BitOnes) {
    const std::string header = Read("include/Orvale8.h"), unit = Read("include/Orvale8.pas");
    const struct { const char* compiler; bool pascal; std::set<std::string> defined; int bits; } compilers[] = {
        {"MinGW i686", false, {"_WIN32", "__GNUC__"}, 32},
        {"MinGW x86_64", false, {"_WIN32", "_WIN64", "__GNUC__"}, 64},
        {"Visual C++ x64", false, {"_WIN32", "_WIN64", "_MSC_VER"}, 64},
        {"Free Pascal i386-win32", true, {"FPC", "MSWINDOWS", "CPU32", "CPU386"}, 32},
        {"Delphi XE2 Win32", true, {"MSWINDOWS", "WIN32", "UNICODE", "CPUX86"}, 32},
        {"Free Pascal x86_64-win64", true, {"FPC", "MSWINDOWS", "WIN64", "CPU64", "CPUX86_64"}, 64},
        {"Delphi XE2 Win64", true, {"MSWINDOWS", "WIN64", "UNICODE", "CPUX64"}, 64},
    };
    for (const auto& compiler : compilers) {
        const auto types = DataTypes(compiler.pascal ? unit : header, compiler.defined, compiler.pascal, compiler.bits);
        EXPECT_EQ(types, std::vector<std::string>{compiler.bits == 64 ? "64 bits" : "32 bits"}) << compiler.compiler;
    }
}

}  // namespace
