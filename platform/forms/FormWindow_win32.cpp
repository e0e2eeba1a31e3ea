#include "platform/forms/FormWindow_win32.h"

#include <cwctype>

#include "platform/forms/BitBtn_win32.h"
#include "platform/forms/DrawScope_win32.h"
#include "platform/forms/TabOrder.h"
#include "platform/runtime/Guard.h"
#include "platform/runtime/Module_win32.h"
#include "platform/runtime/TextConvert.h"

namespace platform {
namespace {

constexpr int kFirstChildId = 1000;
constexpr wchar_t kFormClassName[] = L"OvForm";

int g_formClassUses = 0;  // form windows alive; forms live on the host thread only

// The system's arrow: a shared cursor, one handle for the life of the
// process, which is never destroyed. Looked up once: under Wine the lookup
// costs 0.1 ms, more than registering the class itself.
HCURSOR ArrowCursor() {
    static const HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    return arrow;
}

UINT DialogCode(HWND window, MSG& msg) {
    return UINT(SendMessageW(window, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg)));
}

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

FormStyle StyleOf(const TForm& form) {
    FormStyle s{WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE};
    if (form.BorderStyle == TBorderStyle::Dialog) {
        s.exStyle |= WS_EX_DLGMODALFRAME;
    } else {
        s.style |= WS_THICKFRAME;
        if (!form.SystemMenuOnly) s.style |= WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    }
    return s;
}

int UseFormClass() {
    if (g_formClassUses++ > 0) return 1;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;  // each window sets its own on creation
    wc.hInstance = ThisModule();
    wc.hCursor = ArrowCursor();
    wc.lpszClassName = kFormClassName;
    RegisterClassExW(&wc);
    return 1;
}

void EndFormClassUse(int) {
    if (--g_formClassUses == 0) UnregisterClassW(kFormClassName, ThisModule());
}

TWin32FormWindow::TWin32FormWindow(TForm& form) : form_(form), background_(CreateSolidBrush(ColorOf(form.Color))) {
    const FormStyle s = StyleOf(form);
    HWND owner = IsWindow(reinterpret_cast<HWND>(form.ParentWindow)) ? reinterpret_cast<HWND>(form.ParentWindow)
                                                                      : nullptr;
    hwnd_.Reset(CreateWindowExW(s.exStyle, kFormClassName, GbkToWide(form.Caption).c_str(), s.style, form.Left,
                                form.Top, form.Width, form.Height, owner, nullptr, ThisModule(), nullptr));
    if (!hwnd_) return;
    SetWindowLongPtrW(hwnd_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
    if (form.SystemMenuOnly) {
        // Only moving and closing remain: the border cannot be sized.
        HMENU menu = GetSystemMenu(hwnd_.Get(), FALSE);
        for (UINT item : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) DeleteMenu(menu, item, MF_BYCOMMAND);
    }
    font_.Reset(CreateFontFor(form.Font));
    CreateChildren(form, 0, 0);
}

TWin32FormWindow::~TWin32FormWindow() {
    EndModal();
    if (!hwnd_) return;
    SetWindowLongPtrW(hwnd_.Get(), GWLP_USERDATA, 0);
    hwnd_.Reset();  // children with it, before their font and glyphs go
}

void TWin32FormWindow::CreateChildren(TWinControl& parent, int dx, int dy) {
    // Windows in tab order, so that the window order agrees with it.
    std::vector<TControl*> order;
    for (TControl* c : parent.Controls()) {
        if (!dynamic_cast<TWinControl*>(c)) order.push_back(c);
    }
    for (TWinControl* w : TabOrderList(parent)) {
        if (w->Parent() == &parent) order.push_back(w);
    }
    for (TControl* c : order) {
        CreateChild(*c, dx + c->Left, dy + c->Top);
        // Containers without a window of their own only shift their controls.
        if (auto* w = dynamic_cast<TWinControl*>(c)) CreateChildren(*w, dx + c->Left, dy + c->Top);
    }
}

void TWin32FormWindow::CreateChild(TControl& control, int x, int y) {
    const wchar_t* cls = nullptr;
    std::string text;
    DWORD style = WS_CHILD, ex = 0;
    if (auto* label = dynamic_cast<TLabel*>(&control)) {
        cls = L"STATIC";
        text = label->Caption;
        style |= SS_LEFTNOWORDWRAP;
    } else if (auto* button = dynamic_cast<TButton*>(&control)) {
        cls = L"BUTTON";
        text = button->Caption;
        style |= BS_OWNERDRAW;  // drawn here: glyph, and the default button's frame
    } else if (auto* edit = dynamic_cast<TEdit*>(&control)) {
        // Not shown by the product's dialog, but the one control the base
        // dialog's rule for Enter (move on where no button takes it) needs.
        cls = L"EDIT";
        text = edit->Text;
        ex |= WS_EX_CLIENTEDGE;
        style |= ES_AUTOHSCROLL;
    }
    // The other kinds are data for the translator; they get no window here.
    if (!cls) return;
    if (control.Visible) style |= WS_VISIBLE;
    if (!control.Enabled) style |= WS_DISABLED;
    if (auto* w = dynamic_cast<TWinControl*>(&control); w && w->TabStop) style |= WS_TABSTOP;
    if (auto* label = dynamic_cast<TLabel*>(&control); label && label->AutoSize) FitLabel(*label);
    const int id = kFirstChildId + int(children_.size());
    HWND window = CreateWindowExW(ex, cls, GbkToWide(text).c_str(), style, x, y, control.Width, control.Height,
                                  hwnd_.Get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(),
                                  nullptr);
    if (!window) return;
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    Child child{&control, window, UniqueBitmap()};
    if (auto* bitBtn = dynamic_cast<TBitBtn*>(&control); bitBtn && !bitBtn->GlyphResource.empty()) {
        child.glyph.Reset(LoadGlyph(ThisModule(), bitBtn->GlyphResource));
    }
    children_.push_back(std::move(child));
}

// Measured on a memory context before the window is made, so that the label
// is made at its size rather than made and then moved.
void TWin32FormWindow::FitLabel(TLabel& label) const {
    const UniqueDC dc(CreateCompatibleDC(nullptr));
    Selection font(dc.Get(), font_.Get());
    const std::wstring text = GbkToWide(label.Caption.empty() ? std::string(" ") : label.Caption);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc.Get(), text.c_str(), int(text.size()), &r, DT_CALCRECT | DT_LEFT | DT_EXPANDTABS);
    label.Width = r.right - r.left;
    label.Height = r.bottom - r.top;
}

HWND TWin32FormWindow::HandleOf(const TControl& control) const {
    if (&control == &form_) return hwnd_.Get();
    for (const Child& c : children_) {
        if (c.control == &control) return c.window;
    }
    return nullptr;
}

const TWin32FormWindow::Child* TWin32FormWindow::Find(HWND window) const {
    for (const Child& c : children_) {
        if (c.window == window) return &c;
    }
    return nullptr;
}

TControl* TWin32FormWindow::ControlOf(HWND window) const {
    for (HWND w = window; w && w != hwnd_.Get(); w = GetParent(w)) {
        if (const Child* c = Find(w)) return c->control;
    }
    return nullptr;
}

LRESULT CALLBACK TWin32FormWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TWin32FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    Guarded([&] { result = self->Dispatch(msg, wp, lp); });
    return result;
}

LRESULT TWin32FormWindow::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(hwnd_.Get(), &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, background_.Get());
        return 1;
    }
    case WM_CTLCOLORSTATIC: {
        auto dc = reinterpret_cast<HDC>(wp);
        SetBkColor(dc, ColorOf(form_.Color));
        SetTextColor(dc, ColorOf(form_.Font.Color));
        return reinterpret_cast<LRESULT>(background_.Get());
    }
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        const Child* c = Find(item->hwndItem);
        auto* button = c ? dynamic_cast<TButton*>(c->control) : nullptr;
        if (!button) break;
        Selection font(item->hDC, font_.Get());
        DrawBitBtn(*item, GbkToWide(button->Caption), c->glyph.Get(), LooksDefault(*button));
        return TRUE;
    }
    case WM_COMMAND: {
        const Child* c = Find(reinterpret_cast<HWND>(lp));
        auto* button = c ? dynamic_cast<TButton*>(c->control) : nullptr;
        if (button && HIWORD(wp) == BN_CLICKED) Click(*button);
        return 0;
    }
    case WM_ACTIVATE:
        OnActivate(LOWORD(wp) != WA_INACTIVE);
        return 0;
    case WM_CLOSE:
        // A modal form closed from its title bar ends as cancelled.
        if (modal_) form_.ModalResult = mrCancel;
        return 0;
    case WM_NCDESTROY:
        return Destroyed(msg, wp, lp);
    }
    return DefWindowProcW(hwnd_.Get(), msg, wp, lp);
}

// Our own destructor detaches before it destroys, so this is a destruction
// from outside: the owner went (a host closing its main window from a timer)
// or someone destroyed the form. A modal loop must not wait on for a result
// that no window is left to give: it ends as cancelled, and the posted
// message wakes it when the destruction came in while it waited.
LRESULT TWin32FormWindow::Destroyed(UINT msg, WPARAM wp, LPARAM lp) {
    const LRESULT result = DefWindowProcW(hwnd_.Get(), msg, wp, lp);
    hwnd_.Release();  // gone already
    lastFocus_ = nullptr;
    if (modal_) {
        form_.ModalResult = mrCancel;
        PostMessageW(nullptr, WM_NULL, 0, 0);
    }
    return result;
}

void TWin32FormWindow::OnActivate(bool active) {
    if (!active) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_.Get(), focus)) lastFocus_ = focus;
        return;
    }
    if (lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_.Get(), lastFocus_)) {
        SetFocus(lastFocus_);
        return;
    }
    FocusFirst();
}

void TWin32FormWindow::FocusFirst() {
    TWinControl* first = form_.ActiveControl;
    if (!first || !CanFocus(*first) || !HandleOf(*first)) first = FindNextControl(form_, nullptr, true);
    if (first && HandleOf(*first)) {
        Focus(first);
    } else {
        SetFocus(hwnd_.Get());
    }
}

void TWin32FormWindow::Focus(TWinControl* control) {
    HWND window = control ? HandleOf(*control) : nullptr;
    if (!window) return;
    SetFocus(window);
    NoteFocus();
}

void TWin32FormWindow::NoteFocus() {
    HWND focus = GetFocus();
    if (!Contains(focus) || focus == lastFocus_) return;
    lastFocus_ = focus;
    form_.ActiveControl = dynamic_cast<TWinControl*>(ControlOf(focus));
    RepaintButtons();
}

void TWin32FormWindow::RepaintButtons() const {
    for (const Child& c : children_) {
        if (dynamic_cast<TButton*>(c.control)) InvalidateRect(c.window, nullptr, FALSE);
    }
}

bool TWin32FormWindow::LooksDefault(const TButton& button) const {
    TControl* focused = ControlOf(GetFocus());
    if (auto* b = dynamic_cast<TButton*>(focused)) return b == &button;
    return button.Default;
}

void TWin32FormWindow::Click(TButton& button) {
    if (button.ModalResult != mrNone) form_.ModalResult = button.ModalResult;
}

void TWin32FormWindow::BeginModal() {
    if (modal_ || !hwnd_) return;
    modal_ = true;
    EnumThreadWindows(GetCurrentThreadId(), &DisableOther, reinterpret_cast<LPARAM>(this));
    // Focused while still hidden, as the system's own dialogs are: the form
    // is activated and its buttons take their looks before the first paint,
    // not in a second round of painting after it.
    FocusFirst();
    ShowWindow(hwnd_.Get(), SW_SHOWNORMAL);
    SetActiveWindow(hwnd_.Get());
    // The system activates the form only when its program is in the
    // foreground; the focus belongs in it all the same.
    if (!Contains(GetFocus())) FocusFirst();
    NoteFocus();
}

BOOL CALLBACK TWin32FormWindow::DisableOther(HWND window, LPARAM self) {
    auto* me = reinterpret_cast<TWin32FormWindow*>(self);
    if (window != me->hwnd_.Get() && IsWindowVisible(window) && IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        me->disabled_.push_back(window);
    }
    return TRUE;
}

void TWin32FormWindow::EndModal() {
    if (!modal_) return;
    modal_ = false;
    // Enabled again before the form is hidden, so that the owner is activated.
    for (auto it = disabled_.rbegin(); it != disabled_.rend(); ++it) {
        if (IsWindow(*it)) EnableWindow(*it, TRUE);
    }
    disabled_.clear();
    if (hwnd_) ShowWindow(hwnd_.Get(), SW_HIDE);
}

// The keyboard ahead of the focused control, as the toolkit's forms have it:
// buttons take Enter and Esc when the key goes down, Tab moves the focus,
// the form previews each character, accelerators click their buttons.
bool TWin32FormWindow::PreTranslate(MSG& msg) {
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

// The first button shown that can take the focus and passes test.
template <class Test>
TButton* TWin32FormWindow::FirstButton(const Test& test) const {
    for (const Child& c : children_) {
        auto* b = dynamic_cast<TButton*>(c.control);
        if (b && CanFocus(*b) && test(*b)) return b;
    }
    return nullptr;
}

TButton* TWin32FormWindow::EnterButton() const {
    if (auto* b = dynamic_cast<TButton*>(ControlOf(GetFocus()))) return b;
    return FirstButton([](const TButton& b) { return b.Default; });
}

bool TWin32FormWindow::KeyDown(MSG& msg) {
    const auto key = msg.wParam;
    if (key != VK_RETURN && key != VK_ESCAPE && key != VK_TAB) return false;
    HWND focus = GetFocus();
    // A control that wants the key for itself (a memo) keeps it.
    const UINT code = focus && focus != hwnd_.Get() ? DialogCode(focus, msg) : 0;
    if (code & DLGC_WANTALLKEYS) return false;
    if (key == VK_TAB) {
        if ((code & DLGC_WANTTAB) || (GetKeyState(VK_CONTROL) & 0x8000)) return false;
        auto* current = dynamic_cast<TWinControl*>(ControlOf(focus));
        Focus(FindNextControl(form_, current, !(GetKeyState(VK_SHIFT) & 0x8000)));
        return true;
    }
    TButton* button = key == VK_RETURN ? EnterButton() : FirstButton([](const TButton& b) { return b.Cancel; });
    if (!button) return false;
    Click(*button);
    return true;
}

bool TWin32FormWindow::CharKey(MSG& msg) {
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
    if (focus && focus != hwnd_.Get() && (DialogCode(focus, msg) & DLGC_WANTCHARS)) return false;
    return Mnemonic(wchar_t(msg.wParam));
}

bool TWin32FormWindow::Mnemonic(wchar_t ch) {
    TButton* button = FirstButton([ch](const TButton& b) { return IsAccel(ch, b.Caption); });
    if (button) Click(*button);
    return button != nullptr;
}

int ShowModal(TForm& form) {
    form.Window = std::make_unique<TWin32FormWindow>(form);
    auto& window = static_cast<TWin32FormWindow&>(*form.Window);
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
    auto* window = dynamic_cast<TWin32FormWindow*>(form.Window.get());
    if (!window) return;
    window->Focus(FindNextControl(form, current, true));
}

}  // namespace platform
