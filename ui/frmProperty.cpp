#include "ui/frmProperty.h"

#include <windows.h>

#include "device/unitOVDevice.h"
#include "platform/FormCreate.h"
#include "platform/FormWindow_win32.h"
#include "platform/Guard.h"
#include "ui/unitTranslate.h"

namespace {

// Closes the device while it lives, if it was open, and opens it again after.
class DevicePause {
public:
    DevicePause() : wasOpen_(unitOVDevice::IsOpen()) {
        if (wasOpen_) CloseDevice();
    }
    ~DevicePause() {
        if (wasOpen_) InitDevice();
    }
    DevicePause(const DevicePause&) = delete;
    DevicePause& operator=(const DevicePause&) = delete;

private:
    const bool wasOpen_;
};

}  // namespace

extern "C" OV_BOOL32 OV_STDCALL ShowProperties(void* parentWindow) {
    HWND parent = static_cast<HWND>(parentWindow);
    // The pause and the form live outside the guard: a structured exception
    // skips our destructors on its way to the guard, and whatever the dialog
    // raises, the form is freed and the device opened again. The device
    // exports guard themselves.
    const DevicePause pause;
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

namespace frmProperty {

void Initialize() { GetTranslator().LoadLanguageFile(HostDirectory() + "Orvale7.lng"); }

}  // namespace frmProperty
