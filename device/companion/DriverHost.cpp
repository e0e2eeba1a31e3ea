#include "device/companion/DriverHost.h"

#include <windows.h>

#include <cstring>

#include "device/EventRoom.h"
#include "device/usbid.h"
#include "platform/runtime/Guard.h"
#include "platform/runtime/Paths.h"
#include "platform/runtime/TextConvert.h"

namespace companion {
namespace {

// Typed by the declarations the 32-bit plug-in imports them by.
struct Driver {
    decltype(&Tma4drv_DLL_Version) Version = nullptr;
    decltype(&TV_Initialize) Initialize = nullptr;
    decltype(&TV_Disable) Disable = nullptr;
    decltype(&TV_GetEvent) GetEvent = nullptr;
};

Driver g_driver;
unitOVDrv::EventRoom g_room;  // the poll thread's alone
// The version text, read-only while the driver has it, as the plug-in's own
// constant is when the driver is loaded in the host. The host thread's alone.
char* g_versionPage = nullptr;

constexpr char kDriverName[] = "TmA4Drv.dll";
constexpr wchar_t kDriverNameWide[] = L"TmA4Drv.dll";

template <class Fn>
void Resolve(HMODULE module, const char* name, Fn& fn, std::string& missing) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!fn) missing += (missing.empty() ? "" : ", ") + std::string(name);
}

std::string Resolve(HMODULE module) {
    std::string missing;
    Resolve(module, "Tma4drv_DLL_Version", g_driver.Version, missing);
    Resolve(module, "TV_Initialize", g_driver.Initialize, missing);
    Resolve(module, "TV_Disable", g_driver.Disable, missing);
    Resolve(module, "TV_GetEvent", g_driver.GetEvent, missing);
    if (missing.empty()) return {};
    return platform::WideToGbk(platform::WideFromUtf8(platform::ModulePath(module))) + " lacks " + missing;
}

// Loading runs the driver's entry routine: inside the guard, like its calls.
HMODULE Load(const std::wstring& path, DWORD& error) {
    HMODULE module = nullptr;
    if (!platform::Guarded([&] { module = LoadLibraryW(path.c_str()); })) error = ERROR_DLL_INIT_FAILED;
    else if (!module) error = GetLastError();
    return module;
}

bool ReserveVersionPage() {
    g_versionPage = static_cast<char*>(VirtualAlloc(nullptr, kPayloadSize + 1, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY));
    return g_versionPage != nullptr;
}

// The text goes into the page only while the page is writable, which the
// driver never sees.
bool PlaceVersionText(const std::string& text) {
    if (std::memcmp(g_versionPage, text.c_str(), text.size() + 1) == 0) return true;
    DWORD old = 0;
    if (!VirtualProtect(g_versionPage, kPayloadSize + 1, PAGE_READWRITE, &old)) return false;
    std::memcpy(g_versionPage, text.c_str(), text.size() + 1);
    return VirtualProtect(g_versionPage, kPayloadSize + 1, PAGE_READONLY, &old) != 0;
}

void Poll(Message& reply) {
    TDriverEvent* record = g_room.Record();
    std::int32_t result = 0;
    if (!platform::Guarded([&] { result = g_driver.GetEvent(record); })) {
        const bool overran = g_room.TakeOverrun();
        reply.status = overran ? Status::Overran : Status::Faulted;
        reply.result = overran ? static_cast<std::int32_t>(g_room.Size()) : 0;
        return;
    }
    reply.result = result;
    if (result > 0) reply.SetPayload(record, sizeof(TDriverEvent));
}

template <class Fn>
void CallWithoutArguments(Fn fn, Message& reply) {
    if (!platform::Guarded([&] { reply.result = fn(); })) reply.status = Status::Faulted;
}

}  // namespace

std::string LoadDriver(const std::wstring& hostFolder) {
    if (!g_room.Reserve() || !ReserveVersionPage())
        return std::string("no memory for ") + kDriverName + "'s event record (out of memory)";
    // As the loader finds a driver the plug-in imports: in the host's folder
    // when it is there, else by the search path.
    const std::wstring beside = hostFolder + kDriverNameWide;
    const bool isBeside = !hostFolder.empty() && platform::FileExists(platform::Utf8FromWide(beside));
    DWORD error = 0;
    const HMODULE module = Load(isBeside ? beside : kDriverNameWide, error);
    if (!module) {
        const std::string folder = platform::WideToGbk(hostFolder);
        if (isBeside)
            return std::string(kDriverName) + " in the host's folder (" + folder + ") did not load (error " +
                   std::to_string(error) + ")";
        return std::string(kDriverName) + " is neither in the host's folder (" + folder +
               ") nor found by the search path (error " + std::to_string(error) + ")";
    }
    return Resolve(module);
}

Message Serve(const Message& request) {
    Message reply;
    reply.call = request.call;
    switch (request.call) {
    case Call::Version: {
        const std::string text = request.PayloadBytes();
        if (text.find('\0') != std::string::npos || !PlaceVersionText(text)) {
            reply.Refuse("the version text could not be placed");
            break;
        }
        CallWithoutArguments([] { return g_driver.Version(g_versionPage); }, reply);
        break;
    }
    case Call::Initialize: CallWithoutArguments(g_driver.Initialize, reply); break;
    case Call::Disable: CallWithoutArguments(g_driver.Disable, reply); break;
    case Call::GetEvent: Poll(reply); break;
    case Call::Hello: reply.Refuse("hello is the companion's to send"); break;
    }
    return reply;
}

}  // namespace companion
