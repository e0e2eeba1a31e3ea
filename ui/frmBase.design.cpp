// TBaseForm as designed (form "BaseForm").
#include "ui/frmBase.h"

void TBaseForm::ReadDesign() {
    Name = "BaseForm";
    Left = 188;
    Top = 172;
    Width = 600;
    Height = 400;
    Caption = "BaseForm";
    Color = 0x8000000F;  // clBtnFace
    Font.Charset = 134;  // GB2312_CHARSET
    Font.Color = 0x80000008;  // clWindowText
    Font.Height = -12;
    Font.Name = "宋体";
    Font.Weight = FW_NORMAL;
    Font.Italic = Font.Underline = Font.StrikeOut = false;
    ShowHint = true;
    OnCreate = [this](platform::TComponent* sender) { FormCreate(sender); };
    PixelsPerInch = 96;
}
