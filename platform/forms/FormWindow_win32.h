// Showing forms of the component model as Win32 windows: a modal loop with
// key preview, Enter and Esc for the default and cancel buttons, Tab and
// SelectNext for the focus, owner windows, the screen's density.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/forms/Components.h"
#include "platform/forms/Font_win32.h"
#include "platform/runtime/Handles_win32.h"

namespace platform {

// Window styles for a form's border style and border icons.
struct FormStyle {
    DWORD style, exStyle;
};
FormStyle StyleOf(const TForm& form);

// The form window class stays registered while any form window exists, so
// that nothing is left registered when the module is unloaded: each window
// holds a use, taken by UseFormClass and given back by its owner.
int UseFormClass();  // registers the class on the first use; returns 1
void EndFormClassUse(int use);
using FormClassUse = UniqueResource<int, EndFormClassUse>;

// The window layer's object for a form while it has a window (the form's
// Window): the form's window, one window per control it shows, their font.
class TWin32FormWindow final : public TFormWindow {
public:
    explicit TWin32FormWindow(TForm& form);  // creates the windows, hidden
    ~TWin32FormWindow() override;

    HWND Handle() const { return hwnd_.Get(); }
    HWND HandleOf(const TControl& control) const;
    // The control a window belongs to (the window or one of its parents).
    TControl* ControlOf(HWND window) const;
    bool Contains(HWND window) const { return hwnd_ && (window == hwnd_.Get() || IsChild(hwnd_.Get(), window)); }

    // Disables the thread's other windows, shows the form and focuses its
    // first control; EndModal undoes it (the destructor too).
    void BeginModal();
    void EndModal();

    // Key handling ahead of the focused control; true when the message was
    // consumed.
    bool PreTranslate(MSG& msg);
    // After every message: follows focus changes (ActiveControl, the look
    // of the default button).
    void NoteFocus();
    void Focus(TWinControl* control);

private:
    struct Child {
        TControl* control;
        HWND window;
        UniqueBitmap glyph;
    };

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static BOOL CALLBACK DisableOther(HWND window, LPARAM self);
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Destroyed(UINT msg, WPARAM wp, LPARAM lp);
    void CreateChildren(TWinControl& parent, int dx, int dy);
    void CreateChild(TControl& control, int x, int y);
    void FitLabel(TLabel& label) const;
    void OnActivate(bool active);
    void FocusFirst();
    void Click(TButton& button);
    bool KeyDown(MSG& msg);
    bool CharKey(MSG& msg);
    bool Mnemonic(wchar_t ch);
    template <class Test>
    TButton* FirstButton(const Test& test) const;
    TButton* EnterButton() const;
    bool LooksDefault(const TButton& button) const;
    void RepaintButtons() const;
    const Child* Find(HWND window) const;

    TForm& form_;
    FormClassUse classUse_{UseFormClass()};
    UniqueWindow hwnd_;
    UniqueFont font_;
    UniqueBrush background_;
    std::vector<Child> children_;
    std::vector<HWND> disabled_;
    bool modal_ = false;
    HWND lastFocus_ = nullptr;
};

// Shows the form modally and returns its modal result: a button's result,
// or mrCancel when the form was closed from its title bar, its window was
// destroyed from outside (with its owner, say) or the thread was asked to
// quit (the quit request is posted again for the loop outside). The form's window is owned by ParentWindow when that
// is a window; the other windows of the thread are disabled meanwhile.
int ShowModal(TForm& form);

// Moves the focus from current to the next tab stop of the shown form (see
// FindNextControl in platform/forms/TabOrder.h).
void SelectNext(TForm& form, TWinControl* current);

}  // namespace platform
