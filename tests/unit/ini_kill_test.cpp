// Writers in other processes: one killed at random moments, many times over,
// must always leave a whole file holding a prefix of its keys, never a torn
// line; several at once must never lose a key whose flush reported success.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/ini/IniFile.h"
#include "platform/ini/IniFileIo.h"
#include "platform/ini/IniText.h"
#include "platform/runtime/Paths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchDir.h"

#ifdef _WIN32
#include <windows.h>

#include "tests/support/TestSystemFunctions_win32.h"
#else
#include <filesystem>
#endif

namespace {

const int KeyCount = 400;
const char* const WriterVariable = "OV_INI_KILL_WRITER";
const char* const SharerVariable = "OV_INI_SHARED_WRITER";  // "<id> <path>"
const char* const SleeperVariable = "OV_INI_SLEEPER";
#ifdef _WIN32
const int SharerCount = 3, SharedKeys = 100;  // starting a process under Wine is slow
#else
const int SharerCount = 4, SharedKeys = 200;
#endif

std::string KeyName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "k%04d", i);
    return name;
}

// Long enough that a torn write would be seen inside a line.
std::string ValueOf(int i) {
    return "value-" + std::to_string(i) + "-" + std::string(40 + i % 7, static_cast<char>('a' + i % 26));
}

// The child's whole life: write every key, flushing after each.
struct WriterMode {
    WriterMode() {
        const char* path = std::getenv(WriterVariable);
        if (!path) return;
        platform::TIniFile ini(path);
        for (int i = 0; i < KeyCount; ++i) {
            ini.AddString("kill", KeyName(i), ValueOf(i));
            if (!ini.UpdateFile()) std::_Exit(3);
        }
        std::_Exit(0);
    }
} writerMode;

// The number of keys the file holds, or -1 when it is anything but a prefix
// of the writer's lines.
int PrefixLength(const std::string& bytes) {
    std::string expected = "[kill]\r\n";
    if (bytes.empty()) return 0;
    if (bytes.compare(0, expected.size(), expected) != 0) return -1;
    int n = 0;
    while (expected.size() < bytes.size() && n < KeyCount) {
        expected += KeyName(n) + "=" + ValueOf(n) + "\r\n";
        ++n;
    }
    if (expected != bytes) return -1;
    platform::TIniText text(bytes);
    for (int i = 0; i < n; ++i) {
        std::string v;
        if (!text.Find("KILL", KeyName(i), &v) || v != ValueOf(i)) return -1;
    }
    return n;
}

bool WaitForFirstWrite(const std::string& path, const platform::TFileStamp& before) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (platform::QueryFileStamp(path) != before) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

std::string SharedKey(int writer, int i) { return "w" + std::to_string(writer) + "k" + std::to_string(i); }

// A child of the shared-file test: adds its keys one by one, flushing each as
// the translator does, and lists the keys whose flush failed beside the file.
struct SharerMode {
    SharerMode() {
        const char* arg = std::getenv(SharerVariable);
        if (!arg) return;
        const int id = std::atoi(arg);
        const std::string path = std::strchr(arg, ' ') + 1;
        std::string failed;
        {
            platform::TIniFile ini(path);
            for (int i = 0; i < SharedKeys; ++i) {
                ini.AddString("shared", SharedKey(id, i), ValueOf(i));
                if (!ini.UpdateFile()) failed += SharedKey(id, i) + "\n";
            }
        }
        ovtest::WriteBytes(path + ".failed" + std::to_string(id), failed);
        std::_Exit(0);
    }
} sharerMode;

// A child that only lives, standing in for a writer busy with its temporary.
struct SleeperMode {
    SleeperMode() {
        if (!std::getenv(SleeperVariable)) return;
        std::this_thread::sleep_for(std::chrono::seconds(120));
        std::_Exit(0);
    }
} sleeperMode;

// The same file through another spelling of its folder: under Wine the
// Unix root's drive (Z:) besides the prefix's C:; natively a link to the
// folder. Empty when there is none.
std::string OtherSpelling(const ovtest::ScratchDir& dir, const std::string& name) {
#ifdef _WIN32
    const auto unixName = ovtest::Dynwine_get_unix_file_name();
    const std::wstring folder(dir.Path().begin(), dir.Path().end());  // the scratch folder's name is ASCII
    char* unix = unixName ? unixName(folder.c_str()) : nullptr;
    if (!unix) return std::string();
    std::string spelled = std::string("Z:") + unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    for (char& c : spelled)
        if (c == '/') c = '\\';
    if (spelled.back() != '\\') spelled += '\\';
    return spelled + name;
#else
    std::error_code ec;
    std::filesystem::create_directory_symlink(dir.Path(), dir.File("alias"), ec);
    return ec ? std::string() : dir.File("alias/") + name;
#endif
}

}  // namespace

TEST(IniKill, AKilledWriterLeavesAWholeFileWithAPrefixOfItsKeys) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("killed.ini");
    std::mt19937 random(12345);
#ifdef _WIN32
    const int rounds = 40, maxDelayMs = 60;  // starting a process under Wine is slow
#else
    const int rounds = 120, maxDelayMs = 25;
#endif
    int partial = 0;
    const auto started = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        if (round % 3 == 0) std::remove(path.c_str());
        const platform::TFileStamp before = platform::QueryFileStamp(path);
        ovtest::ChildProcess writer(platform::ExecutablePath(), {std::string(WriterVariable) + "=" + path});
        ASSERT_TRUE(writer.Started());
        ASSERT_TRUE(WaitForFirstWrite(path, before)) << "round " << round;
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % (maxDelayMs + 1)));
        writer.Kill();
        const int n = PrefixLength(ovtest::ReadBytes(path));
        ASSERT_GE(n, 1) << "round " << round << ":\n" << ovtest::ReadBytes(path);
        if (n < KeyCount) ++partial;
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(40)) break;
    }
    // Every round that ended before the last key shows a kill mid-way.
    EXPECT_GT(partial, 0);
    std::printf("%d rounds ended mid-way\n", partial);
    // A writer that lives clears away what the killed ones left.
    ovtest::ChildProcess last(platform::ExecutablePath(), {std::string(WriterVariable) + "=" + path});
    ASSERT_TRUE(last.Started());
    EXPECT_EQ(last.Wait(120000), 0);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"killed.ini"});
}

TEST(IniKill, AWriterLeftAloneFinishesWithEveryKey) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("whole.ini");
    ovtest::ChildProcess writer(platform::ExecutablePath(), {std::string(WriterVariable) + "=" + path});
    ASSERT_TRUE(writer.Started());
    EXPECT_EQ(writer.Wait(120000), 0);
    EXPECT_EQ(PrefixLength(ovtest::ReadBytes(path)), KeyCount);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"whole.ini"});
}

// Every other writer names the file through another spelling of its folder
// (another drive letter, a link): the lock goes by the file, not its name.
TEST(IniShared, WritersInSeveralProcessesLoseNoKeyTheirFlushReported) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("shared.ini");
    const std::string other = OtherSpelling(dir, "shared.ini");
    ASSERT_FALSE(other.empty());
    std::vector<std::unique_ptr<ovtest::ChildProcess>> writers;
    for (int id = 0; id < SharerCount; ++id) {
        writers.push_back(std::make_unique<ovtest::ChildProcess>(
            platform::ExecutablePath(), std::vector<std::string>{std::string(SharerVariable) + "=" +
                                                         std::to_string(id) + " " + (id % 2 ? other : path)}));
        ASSERT_TRUE(writers.back()->Started());
    }
    for (auto& w : writers) ASSERT_EQ(w->Wait(300000), 0);
    const platform::TIniText text(ovtest::ReadBytes(path));
    int lost = 0, failed = 0;
    for (int id = 0; id < SharerCount; ++id) {
        const std::string failures = ovtest::ReadBytes(path + ".failed" + std::to_string(id));
        ASSERT_NE(failures, "<missing>");
        for (int i = 0; i < SharedKeys; ++i) {
            std::string v;
            if (failures.find(SharedKey(id, i) + "\n") != std::string::npos) {
                ++failed;
            } else if (!text.Find("shared", SharedKey(id, i), &v) || v != ValueOf(i)) {
                ++lost;
            }
        }
    }
    std::printf("%d processes, %d keys each, through %s and %s: %d flushes failed, %d keys lost\n", SharerCount,
                SharedKeys, path.c_str(), other.c_str(), failed, lost);
    EXPECT_EQ(lost, 0);
    EXPECT_LT(failed, SharerCount * SharedKeys / 10);
}

// A writer that still runs is still writing its temporary: a write leaves it
// alone, and once that writer has ended, the next write removes it.
TEST(IniTemporaries, ALiveWritersTemporarySurvivesUntilItHasEnded) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("lang.ini");
    ovtest::ChildProcess writer(platform::ExecutablePath(), {std::string(SleeperVariable) + "=1"});
    ASSERT_TRUE(writer.Started());
    const std::string temporary = "lang.ini." + std::to_string(writer.Id()) + ".tmp";
    ovtest::WriteBytes(dir.File(temporary), "[half");
    platform::TIniFile ini(path);
    ini.AddString("s", "a", "1");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"lang.ini", temporary}));
    writer.Kill();
    ini.AddString("s", "b", "2");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"lang.ini"});
    EXPECT_EQ(ovtest::ReadBytes(path), "[s]\r\na=1\r\nb=2\r\n");
}
