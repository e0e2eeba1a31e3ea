#include "device/companion/Protocol.h"

#include <algorithm>
#include <cstring>

namespace companion {
namespace {

void Put32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return value;
}

}  // namespace

const char* DriverFunctionName(Call call) {
    switch (call) {
    case Call::Hello: return "LoadLibrary";
    case Call::Version: return "Tma4drv_DLL_Version";
    case Call::Initialize: return "TV_Initialize";
    case Call::Disable: return "TV_Disable";
    case Call::GetEvent: return "TV_GetEvent";
    }
    return "an unknown call";
}

void Message::SetPayload(const void* bytes, std::size_t size) {
    length = static_cast<std::uint32_t>(std::min(size, kPayloadSize));
    payload.fill(0);
    if (length) std::memcpy(payload.data(), bytes, length);
}

void Message::Refuse(const std::string& reason) {
    status = Status::Refused;
    SetPayload(reason.data(), reason.size());
}

std::string Message::PayloadBytes() const {
    return std::string(reinterpret_cast<const char*>(payload.data()), std::min<std::size_t>(length, kPayloadSize));
}

Wire Encode(const Message& message) {
    Wire wire{};
    Put32(&wire[0], static_cast<std::uint32_t>(message.call));
    Put32(&wire[4], static_cast<std::uint32_t>(message.status));
    Put32(&wire[8], static_cast<std::uint32_t>(message.result));
    Put32(&wire[12], message.length);
    std::copy(message.payload.begin(), message.payload.end(), wire.begin() + kHeaderSize);
    return wire;
}

bool Decode(const std::uint8_t* bytes, std::size_t size, Message& message) {
    if (size != kMessageSize) return false;
    const std::uint32_t call = Get32(bytes);
    const std::uint32_t status = Get32(bytes + 4);
    const std::uint32_t length = Get32(bytes + 12);
    if (call < static_cast<std::uint32_t>(Call::Hello) || call > static_cast<std::uint32_t>(Call::GetEvent)) return false;
    if (status > static_cast<std::uint32_t>(Status::Refused) || length > kPayloadSize) return false;
    message.call = static_cast<Call>(call);
    message.status = static_cast<Status>(status);
    message.result = static_cast<std::int32_t>(Get32(bytes + 8));
    message.length = length;
    std::copy(bytes + kHeaderSize, bytes + kMessageSize, message.payload.begin());
    return true;
}

std::string ExitCodeText(std::uint32_t code) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text = "exit code 0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(code >> shift) & 0xF];
    return text;
}

std::wstring FormatArguments(const StartArguments& arguments) {
    return std::to_wstring(arguments.hostProcessId) + L" " + arguments.pipeBase + L" " + arguments.hostFolder;
}

bool ParseArguments(const std::wstring& line, StartArguments& arguments) {
    const std::size_t first = line.find(L' ');
    const std::size_t second = first == std::wstring::npos ? first : line.find(L' ', first + 1);
    if (second == std::wstring::npos || first == 0 || second == first + 1) return false;
    const std::wstring id = line.substr(0, first);
    if (id.size() > 10 || id.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
    const unsigned long long value = std::stoull(id);
    if (value == 0 || value > 0xFFFFFFFFull) return false;
    arguments.hostProcessId = static_cast<std::uint32_t>(value);
    arguments.pipeBase = line.substr(first + 1, second - first - 1);
    arguments.hostFolder = line.substr(second + 1);
    return true;
}

}  // namespace companion
