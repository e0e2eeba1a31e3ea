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

constexpr int PollInterval = 200;  // milliseconds between polls
constexpr std::int32_t EventRing = 30;
constexpr std::int32_t EventRingAgain = 32;

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
int HostCallbackData = 0;
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
        if (HostCallback && (LastCode == EventRing || LastCode == EventRingAgain) && !LastText.empty())
            HostCallback(HostCallbackData, LastText.c_str(), OV_EVENT_RING);
    });
}

void TReadThread::DoErrorNotify() {
    platform::Guarded([] {
        if (!HostCallback) return;
        const std::string text = unitOVDrv::GetDriverErrorText();
        if (!text.empty()) HostCallback(HostCallbackData, text.c_str(), OV_EVENT_ERROR);
    });
}

void SetLastErrorText(const std::string& text) {
    std::memset(LastErrorText, 0, sizeof LastErrorText);
    std::memcpy(LastErrorText, text.data(), std::min(text.size(), sizeof LastErrorText - 1));
}

void SetLastErrorFromDriver() { SetLastErrorText(unitOVDrv::GetDriverErrorText()); }

}  // namespace

extern "C" {

OV_BOOL32 OV_STDCALL InitCallbackEx(int data, TDeviceCallback callback) {
    HostCallbackData = data;
    HostCallback = callback;
    return OV_TRUE;
}

OV_BOOL32 OV_STDCALL InitDevice() {
    if (!unitOVDrv::OpenDriver()) {
        SetLastErrorFromDriver();
        return OV_FALSE;
    }
    if (!ReadThread) {
        // Out of threads or memory: say so rather than report an open device
        // that never polls, and never let the exception reach the host.
        try {
            ReadThread = new TReadThread;
        } catch (const std::exception&) {
            SetLastErrorText("reader thread could not be started");
            return OV_FALSE;
        }
    }
    return OV_TRUE;
}

OV_BOOL32 OV_STDCALL CloseDevice() {
    if (!unitOVDrv::CloseDriver()) {
        SetLastErrorFromDriver();
        return OV_FALSE;
    }
    if (TReadThread* reader = ReadThread) {
        reader->Terminate();
        ReadThread = nullptr;
        // Waiting runs the reader's pending notification, which may call back
        // into the host, which may open the device again.
        delete reader;
    }
    return OV_TRUE;
}

const char* OV_STDCALL OrvaleGetLastError() { return LastErrorText; }

}  // extern "C"

namespace unitOVDevice {

bool IsOpen() { return ReadThread != nullptr; }

}  // namespace unitOVDevice
