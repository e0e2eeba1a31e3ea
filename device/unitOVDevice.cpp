#include "device/unitOVDevice.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#include "device/unitOVDrv.h"
#include "platform/runtime/Guard.h"
#include "platform/runtime/LoaderState.h"
#include "platform/runtime/ModuleHold.h"
#include "platform/runtime/Sleep.h"
#include "platform/runtime/Thread.h"

namespace {

constexpr int kPollIntervalMs = 200;  // milliseconds between polls
// A reader whose poll was ended with the driver's process returns at once.
constexpr int kEndedPollWaitMs = 1000;
constexpr std::int32_t kEventRing = 30;
constexpr std::int32_t kEventRingAgain = 32;

// Readers given up on in a poll that has not returned yet. Written by the
// host thread when it gives up and by the reader when it finally ends.
std::atomic<int> g_strandedReaders{0};

// Polls the box and relays each event to the host thread.
class TReadThread : public platform::TThread {
public:
    ~TReadThread() override {
        Terminate();
        WaitFor();
        if (stranded_) --g_strandedReaders;
    }

    // Gives up on a reader whose poll does not return: it frees itself
    // when the poll returns, without calling back or polling again.
    static void LeaveBehind(TReadThread* reader) {
        reader->stranded_ = true;
        ++g_strandedReaders;
        if (!reader->Abandon()) delete reader;
    }

protected:
    void Execute() override;

private:
    void DoRingNotify();
    void DoErrorNotify();
    void DoPollClosedNotify();

    TDeviceEvent event_{};
    std::int32_t lastCode_ = -1;
    std::string lastText_;
    bool stranded_ = false;
};

// The host's callback and the data value registered with it. InitCallbackEx
// may come from any thread, so the pair is replaced and read whole, under a
// lock held only to copy it: a callback never gets another pair's value.
struct HostCallbackPair {
    TDeviceCallback callback = nullptr;
    OV_DATA data = 0;
};
std::mutex g_hostCallbackLock;
HostCallbackPair g_hostCallback;

HostCallbackPair CurrentHostCallback() {
    const std::lock_guard<std::mutex> lock(g_hostCallbackLock);
    return g_hostCallback;
}

// Module state, on the host thread; a call refused elsewhere writes the error text there.
TReadThread* g_readThread = nullptr;
char g_lastErrorText[256];
unsigned g_openCloseCount = 0;       // InitDevice and CloseDevice calls that acted
int g_closeWaits = 0;                // CloseDevice calls waiting for a reader
int g_callbacksOutsideClose = 0;     // callbacks running that no such wait delivered
platform::ModuleHold* g_closeHold = nullptr;  // the innermost CloseDevice wait's

// Marks a callback in progress. A reader waits for it to return, so waiting
// for that reader from inside it would never end; inside a CloseDevice wait
// the reader waited for is no longer the one that is blocked, but it is
// ending, and with it its hold on the module, while CloseDevice is still to
// return: the wait holds the module from then on. Kept outside the guard,
// whose fault path skips destructors.
class CallbackScope {
public:
    CallbackScope() : outside_(g_closeWaits == 0) {
        if (outside_) ++g_callbacksOutsideClose;
        else if (g_closeHold) g_closeHold->Take();
    }
    ~CallbackScope() {
        if (outside_) --g_callbacksOutsideClose;
    }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

private:
    const bool outside_;
};

class CloseWaitScope {
public:
    CloseWaitScope() : outer_(g_closeHold) {
        ++g_closeWaits;
        g_closeHold = &hold_;
    }
    ~CloseWaitScope() {
        --g_closeWaits;
        g_closeHold = outer_;
        // A reader opened meanwhile holds the module on its own.
        if (g_readThread) hold_.OthersHoldIt();
    }
    CloseWaitScope(const CloseWaitScope&) = delete;
    CloseWaitScope& operator=(const CloseWaitScope&) = delete;

private:
    platform::ModuleHold hold_;
    platform::ModuleHold* const outer_;
};

void TReadThread::Execute() {
    const platform::TThreadMethod ringNotify = [this] { DoRingNotify(); };
    const platform::TThreadMethod errorNotify = [this] { DoErrorNotify(); };
    const platform::TThreadMethod pollClosedNotify = [this] { DoPollClosedNotify(); };
    while (!Terminated()) {
        platform::Sleep(kPollIntervalMs);
        const bool polled = platform::Guarded([&] {
            if (unitOVDrv::ReadDriverEvent(event_)) {
                lastCode_ = event_.Code;
                lastText_.assign(event_.Text, strnlen(event_.Text, sizeof event_.Text));
                Synchronize(ringNotify);
            } else {
                // A quiet poll makes a marshalled call too: it returns only
                // once the host thread has pumped messages, so while the host
                // does not pump, the box is not polled (the host's contract).
                Synchronize(errorNotify);
            }
        });
        // A driver that writes past its record's room would do so at every
        // event, and one whose process ended is not there to poll: this
        // reader polls no more, and the host thread closes the device.
        if (!polled && unitOVDrv::PollClosedDevice()) {
            Synchronize(pollClosedNotify);
            return;
        }
    }
}

void TReadThread::DoRingNotify() {
    if ((lastCode_ != kEventRing && lastCode_ != kEventRingAgain) || lastText_.empty()) return;
    const HostCallbackPair host = CurrentHostCallback();
    if (!host.callback) return;
    const CallbackScope scope;
    platform::Guarded([&] { host.callback(host.data, lastText_.c_str(), OV_EVENT_RING); });
}

void TReadThread::DoErrorNotify() {
    std::string text;
    platform::Guarded([&] { text = unitOVDrv::GetDriverErrorText(); });
    if (text.empty()) return;
    const HostCallbackPair host = CurrentHostCallback();
    if (!host.callback) return;
    const CallbackScope scope;
    platform::Guarded([&] { host.callback(host.data, text.c_str(), OV_EVENT_ERROR); });
}

void SetLastErrorText(const std::string& text) {
    std::memset(g_lastErrorText, 0, sizeof g_lastErrorText);
    std::memcpy(g_lastErrorText, text.data(), std::min(text.size(), sizeof g_lastErrorText - 1));
}

void SetLastErrorFromDriver() { SetLastErrorText(unitOVDrv::GetDriverErrorText()); }

// The reader waits in this call and ends when it returns, so it is let go of,
// not waited for; the driver is disabled as CloseDevice would. A reader that
// a CloseDevice is already waiting for is that call's to end.
void TReadThread::DoPollClosedNotify() {
    unitOVDrv::ReportPollClosedDevice();
    if (g_readThread == this) {
        g_readThread = nullptr;
        platform::Guarded([] { unitOVDrv::CloseDriver(); });
        Abandon();
    }
    SetLastErrorFromDriver();
    DoErrorNotify();
}

// Starts the reader once the driver is open. Out of threads or events it says
// so and disables the driver again, rather than report an open device that
// never polls.
bool StartReader() {
    auto* reader = new TReadThread;
    if (reader->Resume()) {
        g_readThread = reader;
        return true;
    }
    delete reader;
    SetLastErrorText("reader thread could not be started (out of system resources)");
    unitOVDrv::CloseDriver();
    return false;
}

OV_BOOL32 OpenDevice() {
    // Without a way to wake the host's thread (its hidden window could not be
    // made) no ring would ever reach the host.
    if (!platform::GetWakeMainThread().Code) {
        SetLastErrorText("the plug-in's hidden window could not be created (out of window handles)");
        return OV_FALSE;
    }
    // A second poll beside one the driver never returned from would share
    // the driver's event record with it.
    if (!g_readThread && g_strandedReaders > 0) {
        SetLastErrorText("TmA4Drv.dll has not yet returned from the poll that CloseDevice gave up on; "
                         "the device stays closed, try again later");
        return OV_FALSE;
    }
    if (!unitOVDrv::OpenDriver()) {
        SetLastErrorFromDriver();
        return OV_FALSE;
    }
    if (!g_readThread && !StartReader()) return OV_FALSE;
    return OV_TRUE;
}

// Waits, a bounded time, for a reader told to end, and frees it if it did.
bool AwaitReader(TReadThread* reader, int timeoutMs) {
    const CloseWaitScope wait;
    if (!reader->WaitFor(timeoutMs)) return false;
    delete reader;
    return true;
}

// Stops the reader and waits for it, a bounded time. Waiting runs the
// reader's pending notification, which may call back into the host, which
// may open the device again. Under the loader lock the wait ends with the
// reader's body; its thread ends once the lock is free.
bool StopReader() {
    TReadThread* reader = g_readThread;
    if (!reader) return true;
    g_readThread = nullptr;
    // The system has ended it wherever it was, perhaps holding a lock that
    // waiting would take: it is let go of as it is.
    if (platform::ProcessExiting()) return true;
    reader->Terminate();
    if (AwaitReader(reader, OV_CLOSE_WAIT_MS)) return true;
    const std::string stuck =
        "TmA4Drv.dll did not return from a poll (TV_GetEvent) within " + std::to_string(OV_CLOSE_WAIT_MS) + " ms";
    // Where the driver runs in a process of its own, ending that process
    // ends the poll, and the reader returns at once.
    if (unitOVDrv::EndStuckPoll() && AwaitReader(reader, kEndedPollWaitMs)) {
        SetLastErrorText(stuck + "; the device is closed and the driver's 32-bit process, which ran that poll, "
                                 "was ended");
        return false;
    }
    TReadThread::LeaveBehind(reader);
    SetLastErrorText(stuck + "; the device is closed and that poll was left behind");
    return false;
}

// The reader stops whatever the driver does: a driver that faults or fails
// on disabling must not leave a reader polling that the host cannot stop.
OV_BOOL32 CloseOpenDevice() {
    bool disabled = false;
    const bool noFault = platform::Guarded([&] { disabled = unitOVDrv::CloseDriver(); });
    if (!StopReader()) return OV_FALSE;
    if (!noFault) {
        SetLastErrorText("TmA4Drv.dll faulted in TV_Disable; the reader was stopped and the device is closed");
        return OV_FALSE;
    }
    if (!disabled) {
        SetLastErrorFromDriver();
        return OV_FALSE;
    }
    return OV_TRUE;
}

bool Refuse(const std::string& text) {
    SetLastErrorText(text);
    return false;
}

// InitDevice and CloseDevice: admitted, counted, and run under the guard;
// `fault` is the error text when the guard caught a fault.
OV_BOOL32 OpenOrClose(const char* call, bool waitsForReader, OV_BOOL32 (*action)(), const char* fault) {
    if (!unitOVDevice::AdmitHostCall(call, waitsForReader)) return OV_FALSE;
    ++g_openCloseCount;
    OV_BOOL32 result = OV_FALSE;
    if (!platform::Guarded([&] { result = action(); })) SetLastErrorText(fault);
    return result;
}

}  // namespace

extern "C" {

OV_BOOL32 OV_STDCALL InitCallbackEx(OV_DATA data, TDeviceCallback callback) {
    const std::lock_guard<std::mutex> lock(g_hostCallbackLock);
    g_hostCallback = {callback, data};
    return OV_TRUE;
}

OV_BOOL32 OV_STDCALL InitDevice() {
    return OpenOrClose("InitDevice", false, OpenDevice, "the driver faulted while the device was opened");
}

OV_BOOL32 OV_STDCALL CloseDevice() {
    return OpenOrClose("CloseDevice", true, CloseOpenDevice, "the plug-in faulted while the device was closed");
}

const char* OV_STDCALL OrvaleGetLastError() { return g_lastErrorText; }

}  // extern "C"

namespace unitOVDevice {

bool IsOpen() { return g_readThread != nullptr; }

unsigned OpenCloseCount() { return g_openCloseCount; }

bool AdmitHostCall(const char* name, bool waitsForReader) {
    const std::string call = name;
    // Checked first: once it has ended, another thread may carry its number.
    if (platform::MainThreadEnded())
        return Refuse(call + ": the thread that loaded Orvale8.dll has ended, and callbacks can only reach the host "
                             "on it; unload the plug-in and load it again on the thread that will call it");
    if (!platform::IsMainThread())
        return Refuse(call + " was called on a thread that did not load Orvale8.dll; call every function on the "
                             "thread that loaded it");
    if (waitsForReader && g_callbacksOutsideClose > 0)
        return Refuse(call + " was called inside a callback; inside a callback call only InitCallbackEx, "
                             "InitDevice and the last-error function");
    return true;
}

}  // namespace unitOVDevice
