// The messages between the 64-bit plug-in and its 32-bit companion: what one
// side writes, the other reads back byte for byte, little-endian whatever the
// machine, and anything torn or foreign is refused rather than acted on. Under
// Windows, the companion itself too, as the plug-in starts it.
#include <gtest/gtest.h>

#include <string>

#include "device/companion/Protocol.h"
#ifdef _WIN32
#include "device/companion/CompanionLink.h"
#include "platform/runtime/Paths.h"
#include "tests/support/ScratchDir.h"
#endif

namespace {

using companion::Call;
using companion::Message;
using companion::Status;

TEST(CompanionProtocol, AMessageCrossesWholeAndLittleEndian) {
    Message sent;
    sent.call = Call::GetEvent;
    sent.status = Status::Overran;
    sent.result = -2;
    const std::string record("\x1e\0\0\0\xff\xff\xff\xff\xc4\xe3\xba\xc3\0z", 14);  // code 30, 你好, NUL inside
    sent.SetPayload(record.data(), record.size());
    const companion::Wire wire = companion::Encode(sent);
    EXPECT_EQ(std::string("\x05\0\0\0\x02\0\0\0\xfe\xff\xff\xff\x0e\0\0\0", 16),
              std::string(wire.begin(), wire.begin() + companion::kHeaderSize));
    Message read;
    ASSERT_TRUE(companion::Decode(wire.data(), wire.size(), read));
    EXPECT_EQ(Call::GetEvent, read.call);
    EXPECT_EQ(Status::Overran, read.status);
    EXPECT_EQ(-2, read.result);
    EXPECT_EQ(record, read.PayloadBytes());

    sent.SetPayload(std::string(companion::kPayloadSize + 9, 'a').data(), companion::kPayloadSize + 9);
    EXPECT_EQ(companion::kPayloadSize, sent.length);
}

TEST(CompanionProtocol, TornOrForeignMessagesAreRefused) {
    Message valid;
    valid.call = Call::Disable;
    const companion::Wire good = companion::Encode(valid);
    const struct {
        const char* what;
        std::size_t offset;  // of the 32-bit field changed; the size when it is cut or grown
        std::uint32_t value;
        int sizeChange;
    } cases[] = {
        {"one byte short", 0, 4, -1}, {"one byte long", 0, 4, +1},       {"call 0", 0, 0, 0},
        {"call past the last", 0, 6, 0}, {"unknown status", 4, 4, 0},     {"length past the payload", 12, 513, 0},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes(good.begin(), good.end());
        bytes.resize(bytes.size() + c.sizeChange);
        if (c.sizeChange == 0)
            for (int i = 0; i < 4; ++i) bytes[c.offset + i] = static_cast<std::uint8_t>(c.value >> (8 * i));
        Message read;
        EXPECT_FALSE(companion::Decode(bytes.data(), bytes.size(), read)) << c.what;
    }
}

TEST(CompanionProtocol, StartArgumentsKeepAFolderWithSpacesAndRefuseABadProcessId) {
    companion::StartArguments sent{4294967295u, L"\\\\.\\pipe\\Orvale8Drv32.8.1.77", L"C:\\Shop Host\\ 收银 \\"};
    companion::StartArguments read;
    ASSERT_TRUE(companion::ParseArguments(companion::FormatArguments(sent), read));
    EXPECT_EQ(sent.hostProcessId, read.hostProcessId);
    EXPECT_EQ(sent.pipeBase, read.pipeBase);
    EXPECT_EQ(sent.hostFolder, read.hostFolder);
    for (const wchar_t* bad : {L"0 pipe C:\\", L"4294967296 pipe C:\\", L"12a pipe C:\\", L"12 pipe", L"12  C:\\", L""})
        EXPECT_FALSE(companion::ParseArguments(bad, read)) << bad;
    EXPECT_EQ("exit code 0xC0000005", companion::ExitCodeText(0xC0000005u));
}

#ifdef _WIN32
// The build puts Orvale8Drv32.exe, the simulated driver and the stub drivers
// beside this program, as the companion lies beside the plug-in.
TEST(CompanionLink, TheDriverInTheHostsFolderIsTheOneRunOrRefusedWithItsReason) {
    const struct {
        const char* driver;   // copied from here as the host's TmA4Drv.dll; null: none, "": not a DLL
        const char* problem;  // in the start's problem; empty: it starts
    } cases[] = {
        {nullptr, ""},  // the one the search path finds, beside the companion
        {"TmA4Drv.dll", ""},
        {"stub_driver_decorated.dll", "TmA4Drv.dll lacks Tma4drv_DLL_Version, TV_Initialize, TV_Disable, TV_GetEvent"},
        {"", "Orvale8Drv32.exe could not run the driver: TmA4Drv.dll in the host's folder ("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.driver ? c.driver : "(none)");
        const ovtest::ScratchDir host;
        if (c.driver && *c.driver) {
            ASSERT_TRUE(host.CopyFromBin(c.driver, "TmA4Drv.dll"));
        }
        if (c.driver && !*c.driver) ovtest::WriteBytes(host.File("TmA4Drv.dll"), "not a DLL");
        std::string problem;
        const std::unique_ptr<companion::Link> link = companion::Link::Start(platform::WideFromUtf8(host.Path()), problem);
        EXPECT_NE(std::string::npos, problem.find(c.problem)) << problem;
        ASSERT_EQ(!*c.problem, link != nullptr) << problem;
        if (!link) continue;
        // The version text crosses as a C string: one with a NUL inside is refused, not cut.
        for (const std::string& text : {std::string("http://voicebox.local/"), std::string("http://\0x", 9)}) {
            Message request;
            request.call = Call::Version;
            request.SetPayload(text.data(), text.size());
            Message reply;
            EXPECT_TRUE(link->RoundTrip(companion::Link::kHostCalls, request, reply));
            EXPECT_EQ(text.size() == 9 ? Status::Refused : Status::Ok, reply.status);
        }
        Message request;
        request.call = Call::GetEvent;
        Message reply;
        EXPECT_TRUE(link->RoundTrip(companion::Link::kPolls, request, reply));
        EXPECT_EQ(Status::Ok, reply.status);
        link->End();
        EXPECT_FALSE(link->RoundTrip(companion::Link::kPolls, request, reply)) << "an ended companion answered";
        EXPECT_EQ(companion::kExitEndedByPlugin, link->ExitCode());
    }
}
#endif

}  // namespace
