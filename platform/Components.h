// The component model the forms are written against: components owned by
// components (names, class names, ordered ownership), controls placed on
// parent controls, and the control kinds the forms and the translator know.
// Kind tests are C++ inheritance: dynamic_cast<const TButton*>(c) holds for a
// TBitBtn too. This header is portable; showing a form is the Win32 layer's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class TComponent {
public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();  // frees the owned components, last first
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    virtual const char* ClassName() const { return "TComponent"; }

    std::string Name;
    TComponent* Owner() const { return owner_; }
    // The components this one owns, in the order they were created.
    const std::vector<TComponent*>& Components() const { return components_; }
    // Frees the owned components now, last first; a derived destructor calls
    // it when they must go while the whole object is still there.
    void DestroyComponents();

private:
    TComponent* owner_;
    std::vector<TComponent*> components_;
};

class TWinControl;

class TControl : public TComponent {
public:
    using TComponent::TComponent;
    ~TControl() override;
    const char* ClassName() const override { return "TControl"; }

    // Placement on a parent control; the parent lists it in Controls().
    // Placing a control on itself or on one of its own controls throws
    // std::invalid_argument.
    void SetParent(TWinControl* parent);
    TWinControl* Parent() const { return parent_; }

    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Enabled = true;
    bool Visible = true;
    std::string Hint;

private:
    friend class TWinControl;
    TWinControl* parent_ = nullptr;
};

class TWinControl : public TControl {
public:
    using TControl::TControl;
    ~TWinControl() override;
    const char* ClassName() const override { return "TWinControl"; }

    // The controls placed on this one, in the order they were placed.
    const std::vector<TControl*>& Controls() const { return controls_; }

    int TabOrder = -1;  // -1: after the controls that have one, in placing order
    bool TabStop = false;

private:
    friend class TControl;
    std::vector<TControl*> controls_;
};

class TGraphicControl : public TControl {
public:
    using TControl::TControl;
    const char* ClassName() const override { return "TGraphicControl"; }
};

class TLabel : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    const char* ClassName() const override { return "TLabel"; }
    std::string Caption;
    bool AutoSize = true;  // the window layer fits Width and Height to the caption
};

class TPageControl : public TWinControl {
public:
    using TWinControl::TWinControl;
    const char* ClassName() const override { return "TPageControl"; }
};

class TTabSheet : public TWinControl {
public:
    using TWinControl::TWinControl;
    const char* ClassName() const override { return "TTabSheet"; }
    std::string Caption;
};

class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* owner) : TWinControl(owner) { TabStop = true; }
    const char* ClassName() const override { return "TCustomEdit"; }
    std::string Text;
};

class TEdit : public TCustomEdit {
public:
    using TCustomEdit::TCustomEdit;
    const char* ClassName() const override { return "TEdit"; }
};

// A memo's lines are its whole text, lines separated by CR LF.
class TMemo : public TCustomEdit {
public:
    using TCustomEdit::TCustomEdit;
    const char* ClassName() const override { return "TMemo"; }
};

class TListBox : public TWinControl {
public:
    explicit TListBox(TComponent* owner) : TWinControl(owner) { TabStop = true; }
    const char* ClassName() const override { return "TListBox"; }
    std::vector<std::string> Items;
};

class TGroupBox : public TWinControl {
public:
    using TWinControl::TWinControl;
    const char* ClassName() const override { return "TGroupBox"; }
    std::string Caption;
};

class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* owner) : TWinControl(owner) { TabStop = true; }
    const char* ClassName() const override { return "TCheckBox"; }
    std::string Caption;
};

class TRadioButton : public TWinControl {
public:
    explicit TRadioButton(TComponent* owner) : TWinControl(owner) { TabStop = true; }
    const char* ClassName() const override { return "TRadioButton"; }
    std::string Caption;
};

class TRadioGroup : public TWinControl {
public:
    using TWinControl::TWinControl;
    const char* ClassName() const override { return "TRadioGroup"; }
    std::string Caption;
    std::vector<std::string> Items;
};

// Modal results a button hands to its form.
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner) : TWinControl(owner) { TabStop = true; }
    const char* ClassName() const override { return "TButton"; }
    std::string Caption;
    bool Default = false;  // takes Enter when no other button has the focus
    bool Cancel = false;   // takes Esc
    int ModalResult = mrNone;
};

class TBitBtn : public TButton {
public:
    using TButton::TButton;
    const char* ClassName() const override { return "TBitBtn"; }
    std::string GlyphResource;  // name of a bitmap resource of the library
};

class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* owner) : TWinControl(owner) { TabStop = true; }
    const char* ClassName() const override { return "TComboBox"; }
    std::string Text;
    std::vector<std::string> Items;
};

class TFrame : public TWinControl {
public:
    using TWinControl::TWinControl;
    const char* ClassName() const override { return "TFrame"; }
};

// Dialog components: not controls, so they have no hint.
class TOpenDialog : public TComponent {
public:
    using TComponent::TComponent;
    const char* ClassName() const override { return "TOpenDialog"; }
    std::string Filter;
    std::string Title;
};

class TSaveDialog : public TOpenDialog {
public:
    using TOpenDialog::TOpenDialog;
    const char* ClassName() const override { return "TSaveDialog"; }
};

// A logical font description; the window layer makes the GDI font from it.
struct TFont {
    std::string Name;
    int Height = -12;  // negative: character height in pixels at PixelsPerInch
    int PixelsPerInch = 96;  // the density Height is given at
    int Charset = 1;   // DEFAULT_CHARSET
    std::uint32_t Color = 0x80000008;  // clWindowText
    int Weight = 400;
    bool Italic = false, Underline = false, StrikeOut = false;
};

// Whatever the window layer keeps for a form while it has a window.
struct TFormWindow {
    virtual ~TFormWindow() = default;
};

enum class TBorderStyle { Sizeable, Dialog };

class TForm : public TWinControl {
public:
    using TWinControl::TWinControl;
    ~TForm() override;
    const char* ClassName() const override { return "TForm"; }

    std::string Caption;
    TFont Font;
    std::uint32_t Color = 0x8000000F;  // clBtnFace
    TBorderStyle BorderStyle = TBorderStyle::Sizeable;
    bool SystemMenuOnly = false;  // border icons: the system menu alone
    bool KeyPreview = false;
    bool ShowHint = false;
    int PixelsPerInch = 96;
    int ModalResult = mrNone;
    std::uintptr_t ParentWindow = 0;  // a window handle, or 0

    // Sets the client size; Width and Height then include the frame once the
    // window layer knows it.
    int ClientWidth = 0, ClientHeight = 0;

    // Called with each key press before the focused control sees it when
    // KeyPreview is set; setting key to 0 consumes it.
    virtual void KeyPress(char& key) { (void)key; }

    // The control that has the focus while the form is shown (kept up to date
    // by the window layer); set beforehand, the control to focus first.
    TWinControl* ActiveControl = nullptr;

    // The creation handler. It runs once, after the most derived constructor
    // has set every designed value (platform/FormCreate.h), so it sees them.
    std::function<void(TComponent* sender)> OnCreate;
    virtual void DoCreate() {
        if (OnCreate) OnCreate(this);
    }

    std::unique_ptr<TFormWindow> Window;  // set while the form has a window
};

// Item lists in their text form: every item followed by CR LF.
std::string ItemsToText(const std::vector<std::string>& items);
// Splits at CR LF, CR or LF; a final line break ends the last item.
std::vector<std::string> TextToItems(const std::string& text);

}  // namespace platform
