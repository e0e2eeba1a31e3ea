#include "ui/frmBaseDialog.h"

#include "platform/forms/FormWindow_win32.h"

TBaseDialogForm::TBaseDialogForm(platform::TComponent* owner) : TBaseForm(owner) { ReadDesign(); }

void TBaseDialogForm::KeyPress(char& key) {
    TBaseForm::KeyPress(key);
    // Buttons take Enter when it goes down; what reaches here no button took.
    if (ActiveControl && key == '\r') {
        key = 0;
        platform::SelectNext(*this, ActiveControl);
    }
}
