// Drives the plug-in's property dialog from a helper thread while the test's
// thread sits in ShowProperties: waits for the dialog to show and take the
// focus, records what it looks like, then acts on it as a user would.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace ovtest {

enum class DialogAction { ClickOk, Enter, Escape, AltO, CloseFromTitleBar };

struct DialogView {
    bool Found = false;
    HWND Dialog = nullptr;
    HWND Owner = nullptr;       // GetWindow(GW_OWNER)
    bool ChildStyle = false;    // WS_CHILD: embedded instead of top-level
    RECT Window{};              // screen coordinates
    RECT Client{};              // client size
    std::wstring Caption, Label, Button;
    bool LabelEnabled = true;
    bool FocusInside = false;   // the dialog's thread had the focus in it
    bool ButtonHasFocus = false;
    RECT LabelRect{}, ButtonRect{};  // in the dialog's client coordinates
    LOGFONTW LabelFont{}, ButtonFont{};
    bool OwnerEnabled = true;   // while the dialog is up
};

class DialogWatcher {
public:
    // `whileShown` runs on the helper thread once the dialog is up, before
    // the action.
    DialogWatcher(DWORD hostThread, DialogAction action, std::function<void(DialogView&)> whileShown = {})
        : thread_([=] { Run(hostThread, action, whileShown); }) {}
    ~DialogWatcher() { Join(); }
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    // Waits for the helper thread; the view is complete afterwards.
    const DialogView& View() {
        Join();
        return view_;
    }

private:
    static constexpr DWORD kPatienceMs = 15000;

    void Join() {
        if (thread_.joinable()) thread_.join();
    }

    static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
        wchar_t cls[32] = L"";
        GetClassNameW(window, cls, 32);
        if (IsWindowVisible(window) && std::wstring(cls) == L"OvForm") {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }

    static HWND FocusOf(DWORD thread) {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
    }

    static std::wstring TextOf(HWND window) {
        wchar_t text[256] = L"";
        GetWindowTextW(window, text, 256);
        return text;
    }

    static LOGFONTW FontOf(HWND window) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
        return font;
    }

    static RECT RectIn(HWND parent, HWND child) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    static bool FocusIn(DWORD thread, HWND dialog) {
        HWND focus = FocusOf(thread);
        return focus && (focus == dialog || IsChild(dialog, focus));
    }

    // Waits until the dialog is shown, then a little for its thread to put
    // the focus in it: with other programs' windows on the same display the
    // system may not let it keep the focus.
    static HWND Await(DWORD thread) {
        HWND dialog = nullptr;
        for (DWORD waited = 0; !dialog && waited < kPatienceMs; waited += 20) {
            EnumThreadWindows(thread, &FindDialog, reinterpret_cast<LPARAM>(&dialog));
            if (!dialog) Sleep(20);
        }
        for (DWORD waited = 0; dialog && !FocusIn(thread, dialog) && waited < 3000; waited += 20) Sleep(20);
        return dialog;
    }

    void Record(HWND dialog) {
        view_.Found = true;
        view_.Dialog = dialog;
        view_.Owner = GetWindow(dialog, GW_OWNER);
        view_.ChildStyle = (GetWindowLongW(dialog, GWL_STYLE) & WS_CHILD) != 0;
        GetWindowRect(dialog, &view_.Window);
        GetClientRect(dialog, &view_.Client);
        view_.Caption = TextOf(dialog);
        view_.OwnerEnabled = view_.Owner ? IsWindowEnabled(view_.Owner) != 0 : true;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t cls[32] = L"";
            GetClassNameW(child, cls, 32);
            if (std::wstring(cls) == L"Static") {
                label_ = child;
                view_.Label = TextOf(child);
                view_.LabelEnabled = IsWindowEnabled(child) != 0;
                view_.LabelRect = RectIn(dialog, child);
                view_.LabelFont = FontOf(child);
            } else if (std::wstring(cls) == L"Button") {
                button_ = child;
                view_.Button = TextOf(child);
                view_.ButtonRect = RectIn(dialog, child);
                view_.ButtonFont = FontOf(child);
            }
        }
    }

    void Act(DWORD thread, HWND dialog, DialogAction action) const {
        HWND focus = FocusIn(thread, dialog) ? FocusOf(thread) : dialog;
        const auto key = [focus](UINT down, UINT up, WPARAM vk, LPARAM flags) {
            const LPARAM scan = LPARAM(MapVirtualKeyW(UINT(vk), 0)) << 16;
            PostMessageW(focus, down, vk, 1 | scan | flags);
            PostMessageW(focus, up, vk, 1 | scan | flags | (LPARAM(3) << 30));
        };
        switch (action) {
        case DialogAction::ClickOk:
            PostMessageW(button_, BM_CLICK, 0, 0);
            break;
        case DialogAction::Enter:
            key(WM_KEYDOWN, WM_KEYUP, VK_RETURN, 0);
            break;
        case DialogAction::Escape:
            key(WM_KEYDOWN, WM_KEYUP, VK_ESCAPE, 0);
            break;
        case DialogAction::AltO:
            // What the system makes of Alt+O: a system character, Alt held.
            PostMessageW(focus, WM_SYSCHAR, L'o', 1 | (LPARAM(1) << 29));
            break;
        case DialogAction::CloseFromTitleBar:
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        }
    }

    void Run(DWORD thread, DialogAction action, const std::function<void(DialogView&)>& whileShown) {
        HWND dialog = Await(thread);
        if (!dialog) return;
        Record(dialog);
        view_.FocusInside = FocusIn(thread, dialog);
        view_.ButtonHasFocus = FocusOf(thread) == button_;
        if (whileShown) whileShown(view_);
        Act(thread, dialog, action);
    }

    DialogView view_;
    HWND label_ = nullptr, button_ = nullptr;
    std::thread thread_;
};

}  // namespace ovtest
