#include "device/unitOVDevice.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>

#include "device/unitOVDrv.h"
#include "platform/Guard.h"
#include "platform/Sleep.h"
#include "platform/Thread.h"

namespace {

constexpr int kPollIntervalMs = 200;  // milliseconds between polls
constexpr std::int32_t kEventRing = 30;
constexpr std::int32_t kEventRingAgain = 32;

// Polls the box and relays each event to the host thread.
class TReadThread : public platform::TThread {
public:
    TReadThread() {
        std::memset(&event_, 0, sizeof event_);
        Resume();
    }
    ~TReadThread() override {
        Terminate();
        WaitFor();
    }

protected:
    void Execute() override;

private:
    void DoRingNotify();
    void DoErrorNotify();

    TDeviceEvent event_;
    std::int32_t lastCode_ = -1;
    std::string lastText_;
};

// Module state; touched on the host thread only.
TDeviceCallback g_hostCallback = nullptr;
int g_hostCallbackData = 0;
TReadThread* g_readThread = nullptr;
char g_lastErrorText[256];

void TReadThread::Execute() {
    const platform::TThreadMethod ringNotify = [this] { DoRingNotify(); };
    const platform::TThreadMethod errorNotify = [this] { DoErrorNotify(); };
    while (!Terminated()) {
        platform::Sleep(kPollIntervalMs);
        platform::Guarded([&] {
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
    }
}

void TReadThread::DoRingNotify() {
    platform::Guarded([this] {
        if (g_hostCallback && (lastCode_ == kEventRing || lastCode_ == kEventRingAgain) && !lastText_.empty())
            g_hostCallback(g_hostCallbackData, lastText_.c_str(), OV_EVENT_RING);
    });
}

void TReadThread::DoErrorNotify() {
    platform::Guarded([] {
        if (!g_hostCallback) return;
        const std::string text = unitOVDrv::GetDriverErrorText();
        if (!text.empty()) g_hostCallback(g_hostCallbackData, text.c_str(), OV_EVENT_ERROR);
    });
}

void SetLastErrorText(const std::string& text) {
    std::memset(g_lastErrorText, 0, sizeof g_lastErrorText);
    std::memcpy(g_lastErrorText, text.data(), std::min(text.size(), sizeof g_lastErrorText - 1));
}

void SetLastErrorFromDriver() { SetLastErrorText(unitOVDrv::GetDriverErrorText()); }

// Starts the reader once the driver is open. Out of threads, events or memory
// it says so and disables the driver again, rather than report an open device
// that never polls.
bool StartReader() {
    try {
        g_readThread = new TReadThread;
        return true;
    } catch (const std::exception&) {
        SetLastErrorText("reader thread could not be started (out of system resources)");
    }
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
    if (!unitOVDrv::OpenDriver()) {
        SetLastErrorFromDriver();
        return OV_FALSE;
    }
    if (!g_readThread && !StartReader()) return OV_FALSE;
    return OV_TRUE;
}

OV_BOOL32 CloseOpenDevice() {
    if (!unitOVDrv::CloseDriver()) {
        SetLastErrorFromDriver();
        return OV_FALSE;
    }
    if (TReadThread* reader = g_readThread) {
        reader->Terminate();
        g_readThread = nullptr;
        // Waiting runs the reader's pending notification, which may call back
        // into the host, which may open the device again.
        delete reader;
    }
    return OV_TRUE;
}

}  // namespace

extern "C" {

OV_BOOL32 OV_STDCALL InitCallbackEx(int data, TDeviceCallback callback) {
    g_hostCallbackData = data;
    g_hostCallback = callback;
    return OV_TRUE;
}

OV_BOOL32 OV_STDCALL InitDevice() {
    OV_BOOL32 result = OV_FALSE;
    if (!platform::Guarded([&] { result = OpenDevice(); })) SetLastErrorText("the driver faulted while the device was opened");
    return result;
}

OV_BOOL32 OV_STDCALL CloseDevice() {
    OV_BOOL32 result = OV_FALSE;
    if (!platform::Guarded([&] { result = CloseOpenDevice(); })) SetLastErrorText("the driver faulted while the device was closed");
    return result;
}

const char* OV_STDCALL OrvaleGetLastError() { return g_lastErrorText; }

}  // extern "C"

namespace unitOVDevice {

bool IsOpen() { return g_readThread != nullptr; }

}  // namespace unitOVDevice
