#include "ui/frmProperty.h"

#include <windows.h>

#include "device/unitOVDevice.h"
#include "platform/forms/FormCreate.h"
#include "platform/forms/FormWindow_win32.h"
#include "platform/runtime/Guard.h"
#include "platform/runtime/ModuleHold.h"
#include "platform/runtime/Paths.h"
#include "ui/unitTranslate.h"

namespace {

// Closes the device while it lives, if it was open, and opens it again
// after, unless the host opened or closed it meanwhile (from a timer, or
// from its window's destruction on the way to unloading the plug-in): the
// host's last word stands.
class DevicePause {
public:
    DevicePause() : wasOpen_(unitOVDevice::IsOpen()) {
        if (!wasOpen_) return;
        paused_ = CloseDevice() == OV_TRUE;
        openCloseCount_ = unitOVDevice::OpenCloseCount();
    }
    ~DevicePause() {
        if (paused_ && unitOVDevice::OpenCloseCount() == openCloseCount_) InitDevice();
    }
    DevicePause(const DevicePause&) = delete;
    DevicePause& operator=(const DevicePause&) = delete;

    // The device was open and could not be closed cleanly: it is closed now.
    bool Failed() const { return wasOpen_ && !paused_; }

private:
    const bool wasOpen_;
    bool paused_ = false;
    unsigned openCloseCount_ = 0;
};

// The pause and the form live outside the guard: a structured exception
// skips our destructors on its way to the guard, and whatever the dialog
// raises, the form is freed and the device opened again. The device exports
// guard themselves.
OV_BOOL32 ShowPaused(HWND parent) {
    const DevicePause pause;
    // A driver that faults or hangs on closing: say so (the close's text
    // stands) rather than show a dialog over a device in doubt.
    if (pause.Failed()) return OV_FALSE;
    std::unique_ptr<TPropertyForm> form;
    OV_BOOL32 result = OV_FALSE;
    platform::Guarded([&] {
        form = platform::CreateForm<TPropertyForm>(nullptr);
        if (IsWindow(parent)) form->ParentWindow = reinterpret_cast<std::uintptr_t>(parent);
        form->CenterOnWindow(parent);
        result = platform::ShowModal(*form) == platform::mrOk ? OV_TRUE : OV_FALSE;
    });
    return result;
}

}  // namespace

extern "C" OV_BOOL32 OV_STDCALL ShowProperties(void* parentWindow) {
    if (!unitOVDevice::AdmitHostCall("ShowProperties", unitOVDevice::IsOpen())) return OV_FALSE;
    // The modal loop runs the host's own code (its timers, its windows),
    // which may unload the plug-in before the call returns into it.
    platform::ModuleHold hold;
    hold.Take();
    const OV_BOOL32 result = ShowPaused(static_cast<HWND>(parentWindow));
    if (unitOVDevice::IsOpen()) hold.OthersHoldIt();
    return result;
}

namespace frmProperty {

void Initialize() { GetTranslator().LoadLanguageFile(platform::ExecutableDirectory() + "Orvale7.lng"); }

}  // namespace frmProperty
