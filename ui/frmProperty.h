// The device's property dialog: the voice box has nothing to set, so it says
// so and offers OK. Shown by the ShowProperties export with the device paused.
#pragma once

#include <cstdint>

#include "platform/Stdcall.h"
#include "ui/frmBaseDialog.h"

class TPropertyForm : public TBaseDialogForm {
public:
    explicit TPropertyForm(platform::TComponent* owner);
    const char* ClassName() const override { return "TPropertyForm"; }

    platform::TLabel* Label1 = nullptr;  // owned by the form
    platform::TBitBtn* btnOk = nullptr;

private:
    void ReadDesign();  // frmProperty.design.cpp
};

extern "C" {
// Closes the device if it is open, shows the dialog modally over the host's
// window (any value, valid or not), reopens the device. -1 for OK, else 0.
std::int32_t OV_STDCALL ShowProperties(std::uint32_t parentWindow);
}

namespace frmProperty {
// Module start-up: loads the language file from the host directory.
void Initialize();
}
