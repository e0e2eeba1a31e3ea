// The window layer's object for a form while it has a window (the form's
// Window): the form's window, one window per control it shows, their font.
#pragma once

#include <windows.h>

#include <memory>
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
const wchar_t* FormClassName();
int UseFormClass();  // registers the class on the first use; returns 1
void EndFormClassUse(int use);
using FormClassUse = UniqueResource<int, EndFormClassUse>;

class FormWindow final : public TFormWindow {
public:
    explicit FormWindow(TForm& form);  // creates the windows, hidden
    ~FormWindow() override;

    HWND Handle() const { return hwnd_; }
    HWND HandleOf(const TControl& control) const;
    // The control a window belongs to (the window or one of its parents).
    TControl* ControlOf(HWND window) const;
    bool Contains(HWND window) const { return hwnd_ && (window == hwnd_ || IsChild(hwnd_, window)); }

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
    TButton* EnterButton() const;
    TButton* CancelButton() const;
    bool LooksDefault(const TButton& button) const;
    void RepaintButtons() const;
    const Child* Find(HWND window) const;

    TForm& form_;
    FormClassUse classUse_{UseFormClass()};
    HWND hwnd_ = nullptr;
    UniqueFont font_;
    UniqueBrush background_;
    std::vector<Child> children_;
    std::vector<HWND> disabled_;
    bool modal_ = false;
    HWND lastFocus_ = nullptr;
};

}  // namespace platform
