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
    // Placing a control on itself or on one of its own controls is refused
    // (false), as it would make the control tree a cycle.
    bool SetParent(TWinControl* parent);
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

// A new control owned by and placed on `parent`, with the name and bounds its
// design gives it; the design then sets the properties of its kind.
template <class T>
T* NewControl(TWinControl& parent, const char* name, int left, int top, int width, int height) {
    T* control = new T(&parent);
    control->Name = name;
    control->SetParent(&parent);
    control->Left = left, control->Top = top, control->Width = width, control->Height = height;
    return control;
}

// Every kind below reports its own class name and takes its base's
// constructors, except that a kind which takes the focus by default has a
// constructor of its own that sets TabStop.
#define OV_COMPONENT_KIND(Kind, Base) \
public:                               \
    using Base::Base;                 \
    const char* ClassName() const override { return #Kind; }

#define OV_FOCUSABLE_KIND(Kind, Base)                                  \
public:                                                                \
    explicit Kind(TComponent* owner) : Base(owner) { TabStop = true; } \
    const char* ClassName() const override { return #Kind; }

class TGraphicControl : public TControl { OV_COMPONENT_KIND(TGraphicControl, TControl) };

class TLabel : public TGraphicControl {
    OV_COMPONENT_KIND(TLabel, TGraphicControl)
    std::string Caption;
    bool AutoSize = true;  // the window layer fits Width and Height to the caption
};

class TPageControl : public TWinControl { OV_COMPONENT_KIND(TPageControl, TWinControl) };
class TFrame : public TWinControl { OV_COMPONENT_KIND(TFrame, TWinControl) };

class TTabSheet : public TWinControl {
    OV_COMPONENT_KIND(TTabSheet, TWinControl)
    std::string Caption;
};

class TGroupBox : public TWinControl {
    OV_COMPONENT_KIND(TGroupBox, TWinControl)
    std::string Caption;
};

class TRadioGroup : public TWinControl {
    OV_COMPONENT_KIND(TRadioGroup, TWinControl)
    std::string Caption;
    std::vector<std::string> Items;
};

class TCustomEdit : public TWinControl {
    OV_FOCUSABLE_KIND(TCustomEdit, TWinControl)
    std::string Text;
};

class TEdit : public TCustomEdit { OV_COMPONENT_KIND(TEdit, TCustomEdit) };
// A memo's lines are its whole text, lines separated by CR LF.
class TMemo : public TCustomEdit { OV_COMPONENT_KIND(TMemo, TCustomEdit) };

class TListBox : public TWinControl {
    OV_FOCUSABLE_KIND(TListBox, TWinControl)
    std::vector<std::string> Items;
};

class TComboBox : public TWinControl {
    OV_FOCUSABLE_KIND(TComboBox, TWinControl)
    std::string Text;
    std::vector<std::string> Items;
};

class TCheckBox : public TWinControl {
    OV_FOCUSABLE_KIND(TCheckBox, TWinControl)
    std::string Caption;
};

class TRadioButton : public TWinControl {
    OV_FOCUSABLE_KIND(TRadioButton, TWinControl)
    std::string Caption;
};

// Modal results a button hands to its form.
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

class TButton : public TWinControl {
    OV_FOCUSABLE_KIND(TButton, TWinControl)
    std::string Caption;
    bool Default = false;  // takes Enter when no other button has the focus
    bool Cancel = false;   // takes Esc
    int ModalResult = mrNone;
};

class TBitBtn : public TButton {
    OV_COMPONENT_KIND(TBitBtn, TButton)
    std::string GlyphResource;  // name of a bitmap resource of the library
};

// Dialog components: not controls, so they have no hint.
class TOpenDialog : public TComponent {
    OV_COMPONENT_KIND(TOpenDialog, TComponent)
    std::string Filter;
    std::string Title;
};

class TSaveDialog : public TOpenDialog { OV_COMPONENT_KIND(TSaveDialog, TOpenDialog) };

#undef OV_FOCUSABLE_KIND
#undef OV_COMPONENT_KIND

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
    // has set every designed value (platform/forms/FormCreate.h), so it sees them.
    std::function<void(TComponent* sender)> OnCreate;
    virtual void DoCreate() {
        if (OnCreate) OnCreate(this);
    }

    std::unique_ptr<TFormWindow> Window;  // set while the form has a window
};

// Item lists in their text form: every item followed by CR LF (read back
// with SplitLines).
std::string ItemsToText(const std::vector<std::string>& items);

}  // namespace platform
