// The property dialog through the ShowProperties export: its results, the
// device paused around it, where it appears, what it shows and in which font.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

#include "platform/runtime/SystemFunctions_win32.h"
#include "platform/runtime/TextConvert.h"
#include "tests/support/DeviceTest.h"
#include "tests/support/DialogWatcher.h"
#include "tests/support/Threads.h"

namespace ovtest {
namespace {

typedef decltype(&::ShowProperties) ShowProperties_t;

int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

int Scaled(int designed) { return MulDiv(designed, ScreenDpi(), 96); }

// The density the system's metrics are given at: the system's own where it
// says (Windows 10 on, and Wine), else the screen's.
int MetricsDpi() {
    const auto query = platform::DynGetDpiForSystem();
    return query ? int(query()) : ScreenDpi();
}

LOGFONTW MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return metrics.lfMessageFont;
}

RECT WorkArea() {
    RECT r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

// A plain top-level window standing in for the host's.
class HostWindow {
public:
    HostWindow(int x, int y, int w, int h)
        : hwnd_(CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr)) {}
    ~HostWindow() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND Get() const { return hwnd_; }

private:
    HWND hwnd_;
};

void ExpectCentredOver(const RECT& area, const RECT& dialog) {
    const int w = dialog.right - dialog.left, h = dialog.bottom - dialog.top;
    EXPECT_EQ(area.left + (area.right - area.left - w) / 2, dialog.left);
    EXPECT_EQ(area.top + (area.bottom - area.top - h) / 2, dialog.top);
}

class DialogTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        show_ = LoadedPlugin().Device().ShowProperties;
        ASSERT_NE(nullptr, show_) << "no ShowProperties export";
        if (const char* dpi = std::getenv("OV_EXPECT_DPI")) {
            ASSERT_EQ(std::atoi(dpi), ScreenDpi());
        }
    }

    // Shows the dialog over `parent` and ends it with `action`.
    std::int32_t Show(HWND parent, DialogAction action, DialogView& view,
                      std::function<void(DialogView&)> whileShown = {}) {
        DialogWatcher watcher(GetCurrentThreadId(), action, std::move(whileShown));
        const OV_BOOL32 result = show_(parent);
        view = watcher.View();
        return result;
    }

    ShowProperties_t show_ = nullptr;
};

TEST_F(DialogTest, OkButtonEnterEscAndAltOGiveTrueClosingFromTheTitleBarGivesFalse) {
    const struct {
        DialogAction Action;
        std::int32_t Expected;
        const char* What;
    } cases[] = {
        {DialogAction::ClickOk, -1, "OK button"},
        {DialogAction::Enter, -1, "Enter"},
        {DialogAction::Escape, -1, "Esc"},
        {DialogAction::AltO, -1, "Alt+O"},
        {DialogAction::CloseFromTitleBar, 0, "title bar close"},
    };
    for (const auto& c : cases) {
        DialogView view;
        EXPECT_EQ(c.Expected, Show(nullptr, c.Action, view)) << c.What;
        EXPECT_TRUE(view.Found) << c.What;
        EXPECT_FALSE(IsWindow(view.Dialog)) << c.What << ": the dialog outlived the call";
    }
}

TEST_F(DialogTest, PausesAnOpenDeviceAndHasANewReaderRunningWhenItReturns) {
    OpenDevice();
    ASSERT_TRUE(PumpUntilPolls(1));
    const std::set<DWORD> oldReaders = sim.PollThreads();
    const std::set<DWORD> threadsBefore = ProcessThreads();
    std::string logWhileShown;
    int pollsWhileShown = -1;
    std::set<DWORD> threadsWhileShown;
    DialogView view;
    const std::int32_t result = Show(nullptr, DialogAction::ClickOk, view, [&](DialogView&) {
        logWhileShown = sim.Sequence();
        threadsWhileShown = ProcessThreads();
        const int before = sim.Count(simdrv::fnGetEvent);
        Sleep(3 * kCycleMs);  // a reader would have polled meanwhile
        pollsWhileShown = sim.Count(simdrv::fnGetEvent) - before;
    });
    const std::set<DWORD> threadsAfter = ProcessThreads();
    const std::string logAfter = sim.Sequence();

    EXPECT_EQ(-1, result);
    ASSERT_TRUE(view.Found);
    // Disabled; the reader's last cycle may still have polled once.
    const std::size_t disabled = logWhileShown.rfind('D');
    ASSERT_NE(std::string::npos, disabled) << logWhileShown;
    const std::string afterDisable = logWhileShown.substr(disabled + 1);
    EXPECT_TRUE(afterDisable.empty() || afterDisable == "P") << logWhileShown;
    EXPECT_EQ(0, pollsWhileShown);
    if (kDriverInProcess) {
        for (DWORD reader : oldReaders) EXPECT_TRUE(ThreadEnded(reader));
    } else {
        // The companion's thread polls for the reader, and outlives it: the
        // reader is the one thread of this process that ended.
        int ended = 0;
        for (DWORD t : threadsBefore) ended += threadsWhileShown.count(t) == 0;
        EXPECT_EQ(1, ended);
    }
    // Afterwards exactly the reopening calls, and a thread that did not exist
    // while the dialog was up is already running.
    EXPECT_EQ(logWhileShown + "VI", logAfter.substr(0, logWhileShown.size() + 2));
    bool newThread = false;
    for (DWORD t : threadsAfter) newThread |= threadsWhileShown.count(t) == 0;
    EXPECT_TRUE(newThread) << "no new reader when ShowProperties returned";
    ASSERT_TRUE(PumpUntilPolls(sim.Count(simdrv::fnGetEvent) + 1));
    for (DWORD reader : sim.PollThreads()) {
        if (!oldReaders.count(reader)) {
            EXPECT_TRUE(threadsAfter.count(reader)) << "a reader that started late";
        }
    }
}

TEST_F(DialogTest, MakesNoDriverCallWhenTheDeviceIsClosed) {
    DialogView view;
    EXPECT_EQ(-1, Show(nullptr, DialogAction::Enter, view));
    EXPECT_TRUE(view.Found);
    EXPECT_EQ("", sim.Sequence());
}

TEST_F(DialogTest, WithoutAValidParentItIsCentredOnTheWorkAreaAndUnowned) {
    HWND destroyed = CreateWindowExW(0, L"STATIC", L"gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(destroyed);
    for (HWND parent : {HWND(nullptr), destroyed, reinterpret_cast<HWND>(std::uintptr_t(0x7FFF0))}) {
        DialogView view;
        EXPECT_EQ(-1, Show(parent, DialogAction::ClickOk, view));
        ASSERT_TRUE(view.Found);
        EXPECT_EQ(nullptr, view.Owner);
        EXPECT_EQ(nullptr, GetParent(view.Dialog));
        ExpectCentredOver(WorkArea(), view.Window);
    }
}

// Over a host window: by the centring rule wherever that keeps the dialog in
// the work area, a dialog wider than its parent included; otherwise in the
// work area, centred on the parent's restored place as near as it allows.
TEST_F(DialogTest, AHostWindowOwnsTheDialogWhichIsCentredOverItWithinTheWorkAreaAndModal) {
    enum Expect { kRule, kRestored, kWorkArea, kCorner };
    const RECT work = WorkArea();
    // A size of 0 or less is the dialog's own plus that: halving 51 and 31
    // pixels less truncates toward zero.
    const struct {
        const char* what;
        int x, y, w, h;
        bool minimised;
        Expect expect;
    } cases[] = {
        {"odd height", 60, 40, 500, 361, false, kRule},
        {"narrower than the dialog", 300, 200, -51, -31, false, kRule},
        {"left on a monitor that is gone", -3000, -3000, 500, 361, false, kWorkArea},
        {"minimised", 60, 40, 500, 361, true, kRestored},
        {"near the bottom-right corner", work.right - 100, work.bottom - 80, 500, 361, false, kCorner},
    };
    SIZE dialog{};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HostWindow host(c.x, c.y, c.w > 0 ? c.w : dialog.cx + c.w, c.h > 0 ? c.h : dialog.cy + c.h);
        ASSERT_NE(nullptr, host.Get());
        RECT hostRect;
        GetWindowRect(host.Get(), &hostRect);
        if (c.minimised) ShowWindow(host.Get(), SW_MINIMIZE);
        DialogView view;
        EXPECT_EQ(-1, Show(host.Get(), DialogAction::Escape, view));
        ASSERT_TRUE(view.Found);
        EXPECT_EQ(host.Get(), view.Owner);
        EXPECT_FALSE(view.ChildStyle);
        EXPECT_FALSE(view.OwnerEnabled) << "the host window took input while the dialog was up";
        EXPECT_TRUE(IsWindowEnabled(host.Get()));
        const RECT& at = view.Window;
        dialog = {at.right - at.left, at.bottom - at.top};
        EXPECT_TRUE(at.left >= work.left && at.top >= work.top && at.right <= work.right && at.bottom <= work.bottom)
            << at.left << "," << at.top << " " << dialog.cx << "x" << dialog.cy;
        if (c.expect == kRule || c.expect == kRestored) ExpectCentredOver(hostRect, at);
        if (c.expect == kWorkArea) ExpectCentredOver(work, at);
        if (c.expect == kCorner) {
            EXPECT_TRUE(at.right == work.right && at.bottom == work.bottom);
        }
    }
}

// What a host timer does while the dialog is up: destroys a window, or asks
// the thread to quit; and what it saw of the dialog and of another window.
HWND g_timerDestroys = nullptr;
int g_timerQuitCode = -1;
HWND g_timerWatches = nullptr;
bool g_timerSawDialog = false;
bool g_watchedWasEnabled = true;

BOOL CALLBACK FindShownForm(HWND window, LPARAM) {
    wchar_t cls[32] = L"";
    GetClassNameW(window, cls, 32);
    g_timerSawDialog |= IsWindowVisible(window) && std::wstring(cls) == L"OvForm";
    return TRUE;
}

void CALLBACK FireTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EnumThreadWindows(GetCurrentThreadId(), &FindShownForm, 0);
    if (g_timerWatches) g_watchedWasEnabled = IsWindowEnabled(g_timerWatches) != 0;
    if (g_timerDestroys) DestroyWindow(g_timerDestroys);
    if (g_timerQuitCode >= 0) PostQuitMessage(g_timerQuitCode);
}

// The call's result and how long it took; a call that never returns is
// reported by the fixture's watchdog.
struct TimedResult {
    OV_BOOL32 Result;
    DWORD TookMs;
};
TimedResult TimedShow(ShowProperties_t show, HWND parent) {
    const DWORD start = GetTickCount();
    const OV_BOOL32 result = show(parent);
    return {result, GetTickCount() - start};
}

void ArmTimer(HWND destroy, int quitCode, HWND watch) {
    g_timerDestroys = destroy;
    g_timerQuitCode = quitCode;
    g_timerWatches = watch;
    g_timerSawDialog = false;
    g_watchedWasEnabled = true;
    SetTimer(nullptr, 0, 600, &FireTimer);
}

// The quit messages left in the queue; the first one's code in `code`.
int TakeQuits(WPARAM& code) {
    MSG msg;
    int n = 0;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        if (n++ == 0) code = msg.wParam;
    }
    return n;
}

// A host shutting down from a timer destroys its main window, and with it the
// dialog it owns: the call ends at once, the host's other windows take input
// again and the device polls again.
TEST_F(DialogTest, ReturnsAtOnceWhenTheHostDestroysItsWindowUnderIt) {
    OpenDevice();
    ASSERT_TRUE(PumpUntilPolls(1));
    HostWindow host(60, 40, 500, 361), other(600, 40, 200, 200);
    ArmTimer(host.Get(), -1, other.Get());
    const TimedResult shown = TimedShow(show_, host.Get());
    WPARAM code = 0;
    TakeQuits(code);
    EXPECT_TRUE(g_timerSawDialog);
    EXPECT_FALSE(g_watchedWasEnabled) << "the dialog was not modal";
    EXPECT_FALSE(IsWindow(host.Get()));
    EXPECT_LT(shown.TookMs, 3000u) << "ShowProperties went on after its owner was destroyed";
    EXPECT_EQ(0, shown.Result);
    EXPECT_TRUE(IsWindowEnabled(other.Get())) << "a host window left disabled";
    EXPECT_TRUE(PumpUntilPolls(sim.Count(simdrv::fnGetEvent) + 1)) << "the device was not reopened";
}

// A quit request ends the dialog and is left for the host's own loop.
TEST_F(DialogTest, AQuitRequestEndsItAndIsPostedAgainWithItsCode) {
    HostWindow host(60, 40, 500, 361);
    ArmTimer(nullptr, 42, host.Get());
    const TimedResult shown = TimedShow(show_, host.Get());
    WPARAM code = 0;
    const int quits = TakeQuits(code);
    EXPECT_TRUE(g_timerSawDialog);
    EXPECT_FALSE(g_watchedWasEnabled) << "the dialog was not modal";
    EXPECT_LT(shown.TookMs, 3000u);
    EXPECT_EQ(0, shown.Result);
    ASSERT_GE(quits, 1);
    EXPECT_EQ(42u, code);
    EXPECT_TRUE(IsWindowEnabled(host.Get()));
}

TEST_F(DialogTest, ShowsItsDesignedTextsInTheSystemMessageFont) {
    DialogView view;
    EXPECT_EQ(-1, Show(nullptr, DialogAction::ClickOk, view));
    ASSERT_TRUE(view.Found);
    // Whatever the ANSI code page, the texts are read as code page 936.
    EXPECT_EQ(platform::GbkToWide("语音盒参数设置"), view.Caption);
    EXPECT_EQ(platform::GbkToWide("（无可用的参数）"), view.Label);
    EXPECT_EQ(platform::GbkToWide("确定(&O)"), view.Button);
    EXPECT_FALSE(view.LabelEnabled);
    if (view.FocusInside) {
        EXPECT_TRUE(view.ButtonHasFocus) << "the first tab stop is not focused";
    }
    // The message font, its characters as large to the eye as the system's
    // own at the density the dialog is laid out at.
    const LOGFONTW expected = MessageFont();
    for (const LOGFONTW& font : {view.LabelFont, view.ButtonFont}) {
        EXPECT_STREQ(expected.lfFaceName, font.lfFaceName);
        EXPECT_EQ(MulDiv(expected.lfHeight, ScreenDpi(), MetricsDpi()), font.lfHeight);
        EXPECT_EQ(expected.lfWeight, font.lfWeight);
    }
}

// The OK button as drawn: its glyph's check mark whole, and its magenta
// ground nowhere (the button's face shows through it).
TEST_F(DialogTest, TheOkButtonShowsItsGlyphOverItsFace) {
    DialogView view;
    int checkPixels = 0, magentaPixels = 0;
    EXPECT_EQ(-1, Show(nullptr, DialogAction::ClickOk, view, [&](DialogView& shown) {
        HWND button = FindWindowExW(shown.Dialog, nullptr, L"Button", nullptr);
        RECT r{};
        GetClientRect(button, &r);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
        HGDIOBJ old = SelectObject(dc, bitmap);
        PrintWindow(button, dc, PW_CLIENTONLY);
        for (int y = 0; y < r.bottom; ++y) {
            for (int x = 0; x < r.right; ++x) {
                const COLORREF c = GetPixel(dc, x, y);
                checkPixels += c == RGB(0, 176, 0);
                magentaPixels += c == RGB(255, 0, 255);
            }
        }
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }));
    ASSERT_TRUE(view.Found);
    EXPECT_EQ(20, checkPixels) << "the glyph's bright green pixels (scripts/make-glyph.py)";
    EXPECT_EQ(0, magentaPixels);
}

// Run at 96 dpi in the shared prefix and at 144 in a private one.
TEST_F(DialogTest, LayoutFollowsTheScreenDensity) {
    DialogView view;
    EXPECT_EQ(-1, Show(nullptr, DialogAction::ClickOk, view));
    ASSERT_TRUE(view.Found);
    EXPECT_EQ(Scaled(269), view.Client.right);
    EXPECT_EQ(Scaled(100), view.Client.bottom);
    EXPECT_EQ(Scaled(90), view.ButtonRect.left);
    EXPECT_EQ(Scaled(64), view.ButtonRect.top);
    EXPECT_EQ(Scaled(89), view.ButtonRect.right - view.ButtonRect.left);
    EXPECT_EQ(Scaled(25), view.ButtonRect.bottom - view.ButtonRect.top);
    EXPECT_EQ(Scaled(16), view.LabelRect.left);
    EXPECT_EQ(Scaled(16), view.LabelRect.top);
    // The label fits its text, which must not reach past the dialog.
    EXPECT_GT(view.LabelRect.right, view.LabelRect.left);
    EXPECT_LE(view.LabelRect.right, view.Client.right);
}

TEST_F(DialogTest, LeavesNoWindowClassBehindSoTheLibraryCanBeLoadedAgain) {
    DialogView view;
    EXPECT_EQ(-1, Show(nullptr, DialogAction::ClickOk, view));
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    EXPECT_FALSE(GetClassInfoExW(LoadedPlugin().Module(), L"OvForm", &info));
    UnloadPlugin();
    LoadPlugin();
    show_ = LoadedPlugin().Device().ShowProperties;
    ASSERT_NE(nullptr, show_);
    EXPECT_EQ(-1, Show(nullptr, DialogAction::Enter, view));
    EXPECT_TRUE(view.Found);
}

}  // namespace
}  // namespace ovtest
