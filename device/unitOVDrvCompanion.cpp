// The driver adapter of the 64-bit plug-in: the vendor's driver is 32-bit,
// so it runs in Orvale8Drv32.exe and every driver call is one round trip to
// it. What the reader and the exports see is what the in-process adapter
// gives them, except where a process of its own does better: a driver crash
// ends the companion, not the host, and a poll that never returns can be
// ended.
#include <memory>
#include <string>

#include "device/DriverRecord.h"
#include "device/companion/CompanionLink.h"
#include "device/unitOVDrv.h"
#include "platform/runtime/Paths.h"

namespace unitOVDrv {
namespace {

using companion::Call;
using companion::Link;
using companion::Message;
using companion::Status;

// Replaced by the host thread only; the reader takes its own reference for a
// poll, so a companion replaced meanwhile stays whole until the poll is over.
std::shared_ptr<Link> g_link;

std::shared_ptr<Link> CurrentLink() { return std::atomic_load(&g_link); }
void SetLink(std::shared_ptr<Link> link) { std::atomic_store(&g_link, std::move(link)); }

// Host thread, as in process.
std::string g_driverErrorText;
// Set by the reader; read by the host thread in the reader's marshalled call.
bool g_pollClosed = false;
std::string g_pollClosedText;

// Raised for a call the driver faulted in: the guard around the call
// discards it as it discards the fault itself in process.
struct DriverFaulted {};

std::string CrashText(Call call, const Link& link, const char* outcome) {
    return std::string("TmA4Drv.dll crashed in ") + companion::DriverFunctionName(call) + ": " + companion::kExeName +
           ", the 32-bit process that ran it for this 64-bit host, ended with " +
           companion::ExitCodeText(link.ExitCode()) + outcome;
}

// How long the host thread waits for one of its driver calls. In process a
// call that never returns holds the host for good; here its companion is
// ended instead, after a bound long enough for a slow device's start.
constexpr DWORD kHostCallWaitMs = 10000;

// A host thread's call: false, with the text, when the companion ended in it
// or it did not return in time.
bool HostCall(Link& link, Call call, const char* outcome, const std::string& text = {}) {
    Message request;
    request.call = call;
    request.SetPayload(text.data(), text.size());
    Message reply;
    if (!link.RoundTrip(Link::kHostCalls, request, reply, kHostCallWaitMs)) {
        g_driverErrorText = link.EndedHere()
                                ? std::string("TmA4Drv.dll did not return from ") + companion::DriverFunctionName(call) +
                                      " within " + std::to_string(kHostCallWaitMs) + " ms; " + companion::kExeName +
                                      ", the 32-bit process that ran it, was ended" + outcome
                                : CrashText(call, link, outcome);
        return false;
    }
    if (reply.status != Status::Ok) throw DriverFaulted{};
    return true;
}

}  // namespace

bool OpenDriver() {
    std::shared_ptr<Link> link = CurrentLink();
    if (!link || link->Gone()) {
        SetLink(nullptr);
        std::string problem;
        link = Link::Start(platform::WideFromUtf8(platform::ExecutableDirectory()), problem);
        if (!link) {
            g_driverErrorText = problem + "; the device stays closed";
            return false;
        }
        SetLink(link);
    }
    g_driverErrorText.clear();
    const char* const outcome = "; the device stays closed";
    return HostCall(*link, Call::Version, outcome, kVersionText) && HostCall(*link, Call::Initialize, outcome);
}

// A companion already gone has nothing left to disable.
bool CloseDriver() {
    const std::shared_ptr<Link> link = CurrentLink();
    if (!link || link->Gone()) return true;
    return HostCall(*link, Call::Disable, "; the reader was stopped and the device is closed");
}

bool ReadDriverEvent(TDeviceEvent& event) {
    const std::shared_ptr<Link> link = CurrentLink();
    if (!link) return false;
    Message request;
    request.call = Call::GetEvent;
    Message reply;
    if (!link->RoundTrip(Link::kPolls, request, reply)) {
        // Ended here: on a poll that did not return, or at unload; no crash.
        if (!link->EndedHere()) {
            g_pollClosed = true;
            g_pollClosedText = CrashText(Call::GetEvent, *link, "; the reader was stopped and the device is closed");
        }
        throw DriverFaulted{};
    }
    if (reply.status == Status::Overran) {
        g_pollClosed = true;
        g_pollClosedText = OverrunText(static_cast<std::size_t>(reply.result));
    }
    if (reply.status != Status::Ok) throw DriverFaulted{};
    if (reply.result <= 0 || reply.length < sizeof(TDriverEvent)) return false;
    TDriverEvent record;
    std::memcpy(&record, reply.payload.data(), sizeof record);
    FillDeviceEvent(record, event);
    return true;
}

bool PollClosedDevice() {
    const bool closed = g_pollClosed;
    g_pollClosed = false;
    return closed;
}

void ReportPollClosedDevice() { g_driverErrorText = g_pollClosedText; }

bool EndStuckPoll() {
    const std::shared_ptr<Link> link = CurrentLink();
    if (!link) return false;
    link->End();
    return true;
}

std::string GetDriverErrorText() { return g_driverErrorText; }

// Unloading: the companion is ended and let go of, never waited for.
void Finalize() {
    g_driverErrorText.clear();
    SetLink(nullptr);
}

}  // namespace unitOVDrv
