#include "ui/frmProperty.h"

#include <windows.h>

#include "device/unitOVDevice.h"
#include "platform/FormCreate.h"
#include "platform/FormWindow_win32.h"
#include "platform/Guard.h"
#include "ui/unitTranslate.h"

namespace {

// The form exists only inside this call and is freed on every path; a
// failure while it is shown leaves the result at 0.
OV_BOOL32 ShowPropertyForm(HWND parent) {
    std::unique_ptr<TPropertyForm> form = platform::CreateForm<TPropertyForm>(nullptr);
    OV_BOOL32 result = OV_FALSE;
    platform::Guarded([&] {
        if (IsWindow(parent)) form->ParentWindow = reinterpret_cast<std::uintptr_t>(parent);
        form->CenterOnWindow(parent);
        result = platform::ShowModal(*form) == platform::mrOk ? OV_TRUE : OV_FALSE;
    });
    form.reset();
    return result;
}

OV_BOOL32 ShowPropertiesPaused(HWND parent) {
    const bool wasOpen = unitOVDevice::IsOpen();
    if (wasOpen) CloseDevice();
    OV_BOOL32 result = OV_FALSE;
    // Whatever happens to the dialog, the device is opened again.
    platform::Guarded([&] { result = ShowPropertyForm(parent); });
    if (wasOpen) InitDevice();
    return result;
}

}  // namespace

TPropertyForm::TPropertyForm(platform::TComponent* owner) : TBaseDialogForm(owner) { ReadDesign(); }

// Closes the device if it is open, shows the dialog modally over the host's
// window (any value, valid or not), reopens the device.
extern "C" OV_BOOL32 OV_STDCALL ShowProperties(void* parentWindow) {
    OV_BOOL32 result = OV_FALSE;
    HWND parent = static_cast<HWND>(parentWindow);
    platform::Guarded([&] { result = ShowPropertiesPaused(parent); });
    return result;
}

namespace frmProperty {

void Initialize() { GetTranslator().LoadLanguageFile(HostDirectory() + "Orvale7.lng"); }

}  // namespace frmProperty
