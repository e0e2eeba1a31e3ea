// TBaseDialogForm as designed (form "BaseDialogForm"), over TBaseForm's.
#include "ui/frmBaseDialog.h"

void TBaseDialogForm::ReadDesign() {
    Name = "BaseDialogForm";
    Left = 101;
    Top = 157;
    SystemMenuOnly = true;  // biSystemMenu
    BorderStyle = platform::TBorderStyle::Dialog;
    Caption = "BaseDialogForm";
    KeyPreview = true;
    PixelsPerInch = 96;
}
