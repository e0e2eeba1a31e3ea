// The device's property dialog: the voice box has nothing to set, so it says
// so and offers OK. Shown by the ShowProperties export with the device paused.
#pragma once

#include "include/Orvale8.h"
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

namespace frmProperty {
// Module start-up: loads the language file from the host directory.
void Initialize();
}
