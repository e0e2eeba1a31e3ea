#include "ProfileReplay_win32.h"

#include <windows.h>

#include <vector>


namespace bench {

namespace {

bool ListedInSection(const std::string& section, const std::string& key, const std::string& path) {
    std::vector<char> names(16384);
    const DWORD n = GetPrivateProfileStringA(section.c_str(), nullptr, nullptr, names.data(),
                                             static_cast<DWORD>(names.size()), path.c_str());
    for (const char* p = names.data(); p < names.data() + n && *p; p += lstrlenA(p) + 1) {
        if (lstrcmpiA(p, key.c_str()) == 0) return true;
    }
    return false;
}

bool ReadsOtherThanSentinel(const std::string& section, const std::string& key, const std::string& path) {
    const char sentinel[] = "\x01\x02" "absent\x03";
    char value[2048];
    GetPrivateProfileStringA(section.c_str(), key.c_str(), sentinel, value, sizeof value, path.c_str());
    return lstrcmpA(value, sentinel) != 0;
}

std::string ProfileRead(const std::string& section, const std::string& key, const std::string& path) {
    char value[2048];
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, sizeof value,
                                             path.c_str());
    return std::string(value, n);
}

}  // namespace

std::vector<TKeyVisit> VisitsFromFile(const std::string& path) {
    std::vector<TKeyVisit> visits;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return visits;
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    std::string section;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        start = end + 2;
        if (!line.empty() && line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
        } else if (line.find('=') != std::string::npos) {
            const std::string key = line.substr(0, line.find('='));
            visits.push_back({section, key, line.substr(key.size() + 1)});
        }
    }
    return visits;
}

void ReplayThroughProfileApi(const std::vector<TKeyVisit>& visits, const std::string& path,
                             TExistsTest test) {
    for (const TKeyVisit& v : visits) {
        const bool exists = test == TExistsTest::ListSection ? ListedInSection(v.section, v.key, path)
                                                             : ReadsOtherThanSentinel(v.section, v.key, path);
        if (exists) {
            ProfileRead(v.section, v.key, path);
        } else {
            WritePrivateProfileStringA(v.section.c_str(), v.key.c_str(), v.value.c_str(), path.c_str());
            WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
        }
    }
}

}  // namespace bench
