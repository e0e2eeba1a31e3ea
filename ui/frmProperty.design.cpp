// TPropertyForm as designed (form "PropertyForm"), over TBaseDialogForm's.
#include "ui/frmProperty.h"

void TPropertyForm::ReadDesign() {
    Name = "PropertyForm";
    Caption = "语音盒参数设置";
    ClientWidth = 269;
    ClientHeight = 100;
    PixelsPerInch = 96;

    Label1 = new platform::TLabel(this);
    Label1->Name = "Label1";
    Label1->SetParent(this);
    Label1->Left = 16;
    Label1->Top = 16;
    Label1->Width = 96;
    Label1->Height = 12;
    Label1->Caption = "（无可用的参数）";
    Label1->Enabled = false;

    btnOk = new platform::TBitBtn(this);
    btnOk->Name = "btnOk";
    btnOk->SetParent(this);
    btnOk->Left = 90;
    btnOk->Top = 64;
    btnOk->Width = 89;
    btnOk->Height = 25;
    btnOk->Caption = "确定(&O)";
    btnOk->Default = true;
    btnOk->Cancel = true;
    btnOk->ModalResult = platform::mrOk;
    btnOk->TabOrder = 0;
    btnOk->GlyphResource = "BBOK";  // 16x16, 256 colours, magenta transparent
}
