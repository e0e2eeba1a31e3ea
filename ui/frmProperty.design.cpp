// TPropertyForm as designed (form "PropertyForm"), over TBaseDialogForm's.
// The constructor lives here, apart from the export that shows the form, so
// that a tool can make the form and walk it without linking the device.
#include "ui/frmProperty.h"

TPropertyForm::TPropertyForm(platform::TComponent* owner) : TBaseDialogForm(owner) { ReadDesign(); }

void TPropertyForm::ReadDesign() {
    Name = "PropertyForm";
    Caption = "语音盒参数设置";
    ClientWidth = 269;
    ClientHeight = 100;
    PixelsPerInch = 96;

    Label1 = platform::NewControl<platform::TLabel>(*this, "Label1", 16, 16, 96, 12);
    Label1->Caption = "（无可用的参数）";
    Label1->Enabled = false;

    btnOk = platform::NewControl<platform::TBitBtn>(*this, "btnOk", 90, 64, 89, 25);
    btnOk->Caption = "确定(&O)";
    btnOk->Default = true;
    btnOk->Cancel = true;
    btnOk->ModalResult = platform::mrOk;
    btnOk->TabOrder = 0;
    btnOk->GlyphResource = "BBOK";  // 16x16, 256 colours, magenta transparent
}
