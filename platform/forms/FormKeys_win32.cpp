// The keyboard ahead of the focused control, as the toolkit's forms have it:
// buttons take Enter and Esc when the key goes down, Tab moves the focus,
// the form previews each character, accelerators click their buttons.
#include "platform/forms/FormWindowImpl_win32.h"
#include "platform/forms/TabOrder.h"

#include <cwctype>

namespace platform {
namespace {

UINT DialogCode(HWND window, MSG& msg) {
    return UINT(SendMessageW(window, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg)));
}

bool Usable(const TControl* control) { return control && CanFocus(*control); }

// Whether the caption has ch as its accelerator ("&O"; "&&" is a plain "&").
bool IsAccel(wchar_t ch, const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(caption[i + 1]);
        return c < 0x80 && std::towupper(wint_t(c)) == std::towupper(wint_t(ch));
    }
    return false;
}

}  // namespace

bool FormWindow::PreTranslate(MSG& msg) {
    switch (msg.message) {
    case WM_KEYDOWN:
        return KeyDown(msg);
    case WM_CHAR:
        return CharKey(msg);
    case WM_SYSCHAR:
        return Mnemonic(wchar_t(msg.wParam));
    }
    return false;
}

TButton* FormWindow::EnterButton() const {
    TControl* focused = ControlOf(GetFocus());
    if (auto* b = dynamic_cast<TButton*>(focused)) return b;
    for (const Child& c : children_) {
        auto* b = dynamic_cast<TButton*>(c.control);
        if (b && b->Default && Usable(b)) return b;
    }
    return nullptr;
}

TButton* FormWindow::CancelButton() const {
    for (const Child& c : children_) {
        auto* b = dynamic_cast<TButton*>(c.control);
        if (b && b->Cancel && Usable(b)) return b;
    }
    return nullptr;
}

bool FormWindow::KeyDown(MSG& msg) {
    const auto key = msg.wParam;
    if (key != VK_RETURN && key != VK_ESCAPE && key != VK_TAB) return false;
    HWND focus = GetFocus();
    // A control that wants the key for itself (a memo) keeps it.
    const UINT code = focus && focus != hwnd_ ? DialogCode(focus, msg) : 0;
    if (code & DLGC_WANTALLKEYS) return false;
    if (key == VK_TAB) {
        if ((code & DLGC_WANTTAB) || (GetKeyState(VK_CONTROL) & 0x8000)) return false;
        auto* current = dynamic_cast<TWinControl*>(ControlOf(focus));
        Focus(FindNextControl(form_, current, !(GetKeyState(VK_SHIFT) & 0x8000)));
        return true;
    }
    TButton* button = key == VK_RETURN ? EnterButton() : CancelButton();
    if (!button) return false;
    Click(*button);
    return true;
}

bool FormWindow::CharKey(MSG& msg) {
    // The form sees the character first; the toolkit's key press handler
    // speaks 8-bit characters, which the control keys all are.
    if (form_.KeyPreview && msg.wParam < 0x80) {
        NoteFocus();
        char key = char(msg.wParam);
        form_.KeyPress(key);
        if (key == 0) return true;
        msg.wParam = WPARAM(static_cast<unsigned char>(key));
    }
    HWND focus = GetFocus();
    // Without Alt, a letter is an accelerator only where it is not typed.
    if (focus && focus != hwnd_ && (DialogCode(focus, msg) & DLGC_WANTCHARS)) return false;
    return Mnemonic(wchar_t(msg.wParam));
}

bool FormWindow::Mnemonic(wchar_t ch) {
    for (const Child& c : children_) {
        auto* b = dynamic_cast<TButton*>(c.control);
        if (b && Usable(b) && IsAccel(ch, b->Caption)) {
            Click(*b);
            return true;
        }
    }
    return false;
}

int ShowModal(TForm& form) {
    form.Window = std::make_unique<FormWindow>(form);
    auto& window = static_cast<FormWindow&>(*form.Window);
    if (!window.Handle()) {
        form.Window.reset();
        return mrNone;
    }
    form.ModalResult = mrNone;
    window.BeginModal();
    MSG msg;
    while (form.ModalResult == mrNone) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) PostQuitMessage(int(msg.wParam));  // for the loop outside
        if (got <= 0) {
            form.ModalResult = mrCancel;
            break;
        }
        if (window.Contains(msg.hwnd) && window.PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        window.NoteFocus();
    }
    const int result = form.ModalResult;
    window.EndModal();
    form.Window.reset();
    return result;
}

void SelectNext(TForm& form, TWinControl* current) {
    auto* window = dynamic_cast<FormWindow*>(form.Window.get());
    if (!window) return;
    window->Focus(FindNextControl(form, current, true));
}

}  // namespace platform
