#include "device/unitOVDevice.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "device/unitOVDrv.h"
#include "platform/Guard.h"
#include "platform/Sleep.h"
#include "platform/Thread.h"

namespace {

constexpr int PollInterval = 200;  // milliseconds between polls
constexpr std::int32_t EventRing = 30;
constexpr std::int32_t EventRingAgain = 32;

const char kRingEvent[] = "ue_ring";
const char kErrorEvent[] = "ue_error";

// Polls the box and relays each event to the host thread.
class TReadThread : public platform::TThread {
public:
    TReadThread() {
        std::memset(&Event, 0, sizeof Event);
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

    TDeviceEvent Event;
    std::int32_t LastCode = -1;
    std::string LastText;
};

// Module state; touched on the host thread only.
TDeviceCallback HostCallback = nullptr;
std::int32_t HostCallbackData = 0;
TReadThread* ReadThread = nullptr;
char LastErrorText[256];

void TReadThread::Execute() {
    const platform::TThreadMethod ringNotify = [this] { DoRingNotify(); };
    const platform::TThreadMethod errorNotify = [this] { DoErrorNotify(); };
    while (!Terminated()) {
        platform::Sleep(PollInterval);
        platform::Guarded([&] {
            if (unitOVDrv::ReadDriverEvent(Event)) {
                LastCode = Event.Code;
                LastText.assign(Event.Text, strnlen(Event.Text, sizeof Event.Text));
                Synchronize(ringNotify);
            } else {
                Synchronize(errorNotify);
            }
        });
    }
}

void TReadThread::DoRingNotify() {
    platform::Guarded([this] {
        if (HostCallback && (LastCode == EventRing || LastCode == EventRingAgain) && !LastText.empty())
            HostCallback(HostCallbackData, LastText.c_str(), kRingEvent);
    });
}

void TReadThread::DoErrorNotify() {
    platform::Guarded([] {
        if (!HostCallback) return;
        const std::string text = unitOVDrv::GetDriverErrorText();
        if (!text.empty()) HostCallback(HostCallbackData, text.c_str(), kErrorEvent);
    });
}

void SetLastErrorText(const std::string& text) {
    std::memset(LastErrorText, 0, sizeof LastErrorText);
    std::memcpy(LastErrorText, text.data(), std::min(text.size(), sizeof LastErrorText - 1));
}

void SetLastErrorFromDriver() { SetLastErrorText(unitOVDrv::GetDriverErrorText()); }

// Starts the reader once the driver is open. Out of threads, events or memory
// it says so and disables the driver again, rather than report an open device
// that never polls.
bool StartReader() {
    try {
        ReadThread = new TReadThread;
        return true;
    } catch (const std::exception&) {
        SetLastErrorText("reader thread could not be started (out of system resources)");
    }
    unitOVDrv::CloseDriver();
    return false;
}

std::int32_t OpenDevice() {
    // Without a way to wake the host's thread (its hidden window could not be
    // made) no ring would ever reach the host.
    if (!platform::GetWakeMainThread().Code) {
        SetLastErrorText("the plug-in's hidden window could not be created (out of window handles)");
        return 0;
    }
    if (!unitOVDrv::OpenDriver()) {
        SetLastErrorFromDriver();
        return 0;
    }
    if (!ReadThread && !StartReader()) return 0;
    return -1;
}

std::int32_t CloseOpenDevice() {
    if (!unitOVDrv::CloseDriver()) {
        SetLastErrorFromDriver();
        return 0;
    }
    if (TReadThread* reader = ReadThread) {
        reader->Terminate();
        ReadThread = nullptr;
        // Waiting runs the reader's pending notification, which may call back
        // into the host, which may open the device again.
        delete reader;
    }
    return -1;
}

}  // namespace

extern "C" {

std::int32_t OV_STDCALL InitCallbackEx(std::int32_t data, TDeviceCallback callback) {
    HostCallbackData = data;
    HostCallback = callback;
    return -1;
}

std::int32_t OV_STDCALL InitDevice() {
    std::int32_t result = 0;
    if (!platform::Guarded([&] { result = OpenDevice(); })) SetLastErrorText("the driver faulted while the device was opened");
    return result;
}

std::int32_t OV_STDCALL CloseDevice() {
    std::int32_t result = 0;
    if (!platform::Guarded([&] { result = CloseOpenDevice(); })) SetLastErrorText("the driver faulted while the device was closed");
    return result;
}

const char* OV_STDCALL OV_GetLastError() { return LastErrorText; }

}  // extern "C"

namespace unitOVDevice {

bool IsOpen() { return ReadThread != nullptr; }

}  // namespace unitOVDevice
