// A writer killed at random moments, many times over: the file it was writing
// must always be a whole file holding a prefix of its keys, never a torn line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "platform/IniFile.h"
#include "platform/IniFileIo.h"
#include "platform/IniText.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchDir.h"

namespace {

const int KeyCount = 400;
const char* const WriterVariable = "OV_INI_KILL_WRITER";

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
            ini.WriteString("kill", KeyName(i), ValueOf(i));
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
        ovtest::ChildProcess writer(ovtest::SelfPath(), {std::string(WriterVariable) + "=" + path});
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
}

TEST(IniKill, AWriterLeftAloneFinishesWithEveryKey) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("whole.ini");
    ovtest::ChildProcess writer(ovtest::SelfPath(), {std::string(WriterVariable) + "=" + path});
    ASSERT_TRUE(writer.Started());
    EXPECT_EQ(writer.Wait(120000), 0);
    EXPECT_EQ(PrefixLength(ovtest::ReadBytes(path)), KeyCount);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"whole.ini"});
}
