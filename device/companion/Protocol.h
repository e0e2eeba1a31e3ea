// What the 64-bit plug-in and Orvale8Drv32.exe, the 32-bit program that runs
// the vendor's driver for it, say to each other.
//
// Why named pipes and not shared memory:
// - message mode keeps each call's bytes together: one write is one read,
//   so a message is never half there and nothing needs a lock or a length
//   prefix;
// - the companion's death breaks the pipe and ends any read or write on it,
//   and the plug-in's (its host's) death does the same on the other side:
//   no heartbeat, no stale flag left in a mapping by a process that is gone;
// - one connection per calling thread (the host thread's calls, the
//   reader's polls) lets TV_Disable reach the driver while a poll is inside
//   it, as when the driver is loaded in the host, with no sharing between
//   the two.
//
// Every message, both ways, is kMessageSize bytes, little-endian: the call,
// the status, the driver's result, how many payload bytes count, and the
// payload. The plug-in sends a call; the companion answers with the same call.
// The companion speaks first: a hello on the host thread's connection, ok
// with the protocol's version as its result, or refused with the reason.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace companion {

constexpr char kExeName[] = "Orvale8Drv32.exe";
// The hello's result: both files ship together, but a copy of one release's
// companion beside another release's plug-in is refused, not misread.
constexpr std::int32_t kProtocolVersion = 1;

enum class Call : std::uint32_t { Hello = 1, Version, Initialize, Disable, GetEvent };

enum class Status : std::uint32_t {
    Ok = 0,       // the driver returned; result is its result, payload its record
    Faulted = 1,  // the driver faulted and the fault was discarded
    Overran = 2,  // the driver wrote past its record's room; result is the room's size
    Refused = 3,  // not called; payload is the reason
};

// The driver's function the call runs, for texts ("crashed in TV_GetEvent").
const char* DriverFunctionName(Call call);

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kPayloadSize = 512;  // the version text, a record, a reason
constexpr std::size_t kMessageSize = kHeaderSize + kPayloadSize;
using Wire = std::array<std::uint8_t, kMessageSize>;

struct Message {
    Call call = Call::Hello;
    Status status = Status::Ok;
    std::int32_t result = 0;
    std::uint32_t length = 0;  // payload bytes that count
    std::array<std::uint8_t, kPayloadSize> payload{};

    // Sets the payload to the bytes, cut at kPayloadSize.
    void SetPayload(const void* bytes, std::size_t size);
    // Marks the call refused, with the reason as its payload.
    void Refuse(const std::string& reason);
    std::string PayloadBytes() const;
};

Wire Encode(const Message& message);
// False for anything but a whole message with a known call and status and a
// length within the payload: a torn or foreign message is never acted on.
bool Decode(const std::uint8_t* bytes, std::size_t size, Message& message);

// The companion's command line after its own name: the host's process id,
// the base of the two pipes' names and the host's folder (the rest of the
// line, which may hold spaces).
struct StartArguments {
    std::uint32_t hostProcessId = 0;
    std::wstring pipeBase;  // no spaces
    std::wstring hostFolder;
};
std::wstring FormatArguments(const StartArguments& arguments);
bool ParseArguments(const std::wstring& line, StartArguments& arguments);

// The two connections' names.
inline std::wstring HostPipeName(const std::wstring& base) { return base + L".host"; }
inline std::wstring PollPipeName(const std::wstring& base) { return base + L".poll"; }

// The companion's exit codes of its own; a crash ends it with the exception's code.
constexpr std::uint32_t kExitHostEnded = 0;
constexpr std::uint32_t kExitPipeBroken = 1;
constexpr std::uint32_t kExitBadArguments = 2;
constexpr std::uint32_t kExitEndedByPlugin = 3;  // the code the plug-in ends it with

// "exit code 0xC0000005", as texts name a code.
std::string ExitCodeText(std::uint32_t code);

}  // namespace companion
