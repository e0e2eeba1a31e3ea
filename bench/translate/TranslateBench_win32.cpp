// Translating a synthetic form of 200 components, ours against the profile
// API making the same calls: once into an empty language file (every key
// written and flushed), once from the full file (every key read).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ProfileReplay_win32.h"
#include "SyntheticForm.h"
#include "ui/unitTranslate.h"

namespace {

const int ComponentCount = 200;
const int Runs = 5;

double NowMs() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string MakeWorkDirectory() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "ovbench-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

double TimeOurs(const std::string& dir, const std::string& lng) {
    TTranslator translator(dir);
    translator.LoadLanguageFile(lng);
    auto form = bench::MakeSyntheticForm(ComponentCount);
    const double start = NowMs();
    translator.TranslateForm(*form);
    return NowMs() - start;
}

struct TProfileTimes {
    std::vector<double> write, read;
};

// One write pass into an empty file and one read pass from the full file;
// false when the API's file differs from ours.
bool TimeProfile(const std::vector<bench::TKeyVisit>& visits, const std::string& file,
                 bench::TExistsTest test, const std::string& expected, TProfileTimes& times) {
    WriteAll(file, "");
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    double start = NowMs();
    bench::ReplayThroughProfileApi(visits, file, test);
    times.write.push_back(NowMs() - start);
    start = NowMs();
    bench::ReplayThroughProfileApi(visits, file, test);
    times.read.push_back(NowMs() - start);
    return ReadAll(file) == expected;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void PrintRow(const char* what, const std::vector<double>& ours, const std::vector<double>& listed,
              const std::vector<double>& sentinel) {
    const double o = Median(ours), l = Median(listed), s = Median(sentinel);
    std::printf("%-26s %9.1f %11.1f %6.2f %11.1f %6.2f\n", what, o, l, o / l, s, o / s);
}

}  // namespace

int main() {
    const std::string dir = MakeWorkDirectory();
    const std::string lng = dir + "Orvale7.lng", api = dir + "profile.lng";
    WriteAll(dir + "kdwusr70.ini", "[语言设置]\r\n系统语言=EN\r\n");

    std::vector<double> oursWrite, oursRead;
    TProfileTimes listed, sentinel;
    std::vector<bench::TKeyVisit> visits;
    bool same = true, readsWrote = false;
    for (int run = 0; run < Runs; ++run) {
        WriteAll(lng, "");
        oursWrite.push_back(TimeOurs(dir, lng));
        const std::string full = ReadAll(lng);
        oursRead.push_back(TimeOurs(dir, lng));
        readsWrote = readsWrote || ReadAll(lng) != full;
        if (visits.empty()) visits = bench::VisitsFromFile(lng);
        same = TimeProfile(visits, api, bench::TExistsTest::ListSection, full, listed) && same;
        same = TimeProfile(visits, api, bench::TExistsTest::Sentinel, full, sentinel) && same;
    }

    std::printf("translating a form of %d components: %zu keys, %zu-byte language file; median of %d runs\n",
                ComponentCount, visits.size(), ReadAll(lng).size(), Runs);
    std::printf("profile API with the key test made as the framework's INI class made it (list the\n"
                "section's keys), and with one sentinel read; ratio = ours / profile API\n\n");
    std::printf("%-26s %9s %11s %6s %11s %6s\n", "", "ours ms", "listed ms", "ratio", "sentinel ms", "ratio");
    PrintRow("empty file, keys written", oursWrite, listed.write, sentinel.write);
    PrintRow("full file, keys read", oursRead, listed.read, sentinel.read);
    std::printf("\nfiles written through the API identical to ours: %s; reading wrote nothing: %s\n",
                same ? "yes" : "NO", readsWrote ? "NO" : "yes");

    DeleteFileA(lng.c_str());
    DeleteFileA(api.c_str());
    DeleteFileA((dir + "kdwusr70.ini").c_str());
    RemoveDirectoryA(dir.c_str());
    return same && !readsWrote ? 0 : 1;
}
