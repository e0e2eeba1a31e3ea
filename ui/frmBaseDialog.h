// The base of every dialog: a dialog border with the system menu alone, and
// Enter moving the focus on where no button takes it.
#pragma once

#include "ui/frmBase.h"

class TBaseDialogForm : public TBaseForm {
public:
    explicit TBaseDialogForm(platform::TComponent* owner);
    const char* ClassName() const override { return "TBaseDialogForm"; }

    void KeyPress(char& key) override;

private:
    void ReadDesign();  // frmBaseDialog.design.cpp
};
