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
std::int32_t ShowPropertyForm(HWND parent) {
    std::unique_ptr<TPropertyForm> form = platform::CreateForm<TPropertyForm>(nullptr);
    std::int32_t result = 0;
    platform::Guarded([&] {
        if (IsWindow(parent)) form->ParentWindow = reinterpret_cast<std::uintptr_t>(parent);
        form->CenterOnWindow(parent);
        result = platform::ShowModal(*form) == platform::mrOk ? -1 : 0;
    });
    form.reset();
    return result;
}

std::int32_t ShowPropertiesPaused(HWND parent) {
    const bool wasOpen = unitOVDevice::IsOpen();
    if (wasOpen) CloseDevice();
    std::int32_t result = 0;
    // Whatever happens to the dialog, the device is opened again.
    platform::Guarded([&] { result = ShowPropertyForm(parent); });
    if (wasOpen) InitDevice();
    return result;
}

}  // namespace

TPropertyForm::TPropertyForm(platform::TComponent* owner) : TBaseDialogForm(owner) { ReadDesign(); }

extern "C" std::int32_t OV_STDCALL ShowProperties(std::uint32_t parentWindow) {
    std::int32_t result = 0;
    HWND parent = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(parentWindow));
    platform::Guarded([&] { result = ShowPropertiesPaused(parent); });
    return result;
}

namespace frmProperty {

void Initialize() { GetTranslator().LoadLanguageFile(HostDirectory() + "Orvale7.lng"); }

}  // namespace frmProperty
