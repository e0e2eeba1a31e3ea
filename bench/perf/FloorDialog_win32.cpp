#include "bench/perf/FloorDialog_win32.h"

#include <windows.h>

#include <vector>

namespace perf {
namespace {

// Builds a DLGTEMPLATE and its items, WORD by WORD, items DWORD-aligned.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy, const wchar_t* title, WORD points, const wchar_t* face) {
        Dword(style | DS_SETFONT);
        Dword(0);
        items_ = words_.size();
        words_.push_back(0);
        Rect(0, 0, cx, cy);
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the standard dialog class
        Text(title);
        words_.push_back(points);
        Text(face);
    }
    void Item(WORD atom, DWORD style, short x, short y, short cx, short cy, WORD id, const wchar_t* text) {
        if (words_.size() % 2) words_.push_back(0);
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Rect(x, y, cx, cy);
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(atom);
        Text(text);
        words_.push_back(0);  // no creation data
        ++words_[items_];
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Dword(DWORD d) {
        words_.push_back(LOWORD(d));
        words_.push_back(HIWORD(d));
    }
    void Rect(short x, short y, short cx, short cy) {
        for (short v : {x, y, cx, cy}) words_.push_back(static_cast<WORD>(v));
    }
    void Text(const wchar_t* text) {
        do words_.push_back(static_cast<WORD>(*text));
        while (*text++);
    }
    std::vector<WORD> words_;
    std::size_t items_ = 0;
};

constexpr WORD kButton = 0x0080, kStatic = 0x0082;

INT_PTR CALLBACK FloorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int ShowFloorDialog() {
    // About 269 by 100 pixels of client area, as the property dialog.
    DialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 180, 62,
                          L"语音盒参数设置", 9, L"MS Shell Dlg");
    dialog.Item(kStatic, SS_LEFT | WS_DISABLED, 10, 10, 64, 8, 0xFFFF, L"（无可用的参数）");
    dialog.Item(kButton, BS_DEFPUSHBUTTON | WS_TABSTOP, 60, 40, 59, 16, IDOK, L"确定(&O)");
    return static_cast<int>(
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), nullptr, FloorDialogProc, 0));
}

}  // namespace perf
