// Forms: scaling to the screen's density and the focus order (portable),
// and on Windows the form bases themselves: the shared system font, the
// creation handler, centring, and Enter moving the focus in a dialog.
#include <gtest/gtest.h>

#include "platform/forms/Components.h"
#include "platform/forms/FormScale.h"
#include "platform/forms/TabOrder.h"

using namespace platform;

namespace {

TEST(MulDivRound, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(404, MulDivRound(269, 144, 96));  // 403.5
    EXPECT_EQ(38, MulDivRound(25, 144, 96));    // 37.5
    EXPECT_EQ(-18, MulDivRound(-12, 144, 96));
    EXPECT_EQ(-8, MulDivRound(-5, 3, 2));       // -7.5
    EXPECT_EQ(8, MulDivRound(-5, -3, 2));
    EXPECT_EQ(100, MulDivRound(100, 96, 96));
    EXPECT_EQ(0, MulDivRound(7, 1, 0));
    EXPECT_EQ(2000000000, MulDivRound(1000000000, 2000000000, 1000000000));  // no overflow inside
}

TEST(ScaleForm, ScalesClientSizeFontAndEveryControlButNotThePosition) {
    TForm form(nullptr);
    form.Left = 101;
    form.Top = 157;
    form.ClientWidth = 269;
    form.ClientHeight = 100;
    form.Font.Height = -12;
    auto* box = new TGroupBox(&form);
    box->SetParent(&form);
    box->Left = 10, box->Top = 20, box->Width = 200, box->Height = 50;
    auto* edit = new TEdit(&form);
    edit->SetParent(box);  // one level down
    edit->Left = 5, edit->Top = 7, edit->Width = 89, edit->Height = 25;

    ScaleForm(form, 144);
    EXPECT_EQ(144, form.PixelsPerInch);
    EXPECT_EQ(101, form.Left);
    EXPECT_EQ(157, form.Top);
    EXPECT_EQ(404, form.ClientWidth);
    EXPECT_EQ(150, form.ClientHeight);
    EXPECT_EQ(-18, form.Font.Height);
    EXPECT_EQ((std::vector<int>{15, 30, 300, 75}), (std::vector<int>{box->Left, box->Top, box->Width, box->Height}));
    EXPECT_EQ((std::vector<int>{8, 11, 134, 38}), (std::vector<int>{edit->Left, edit->Top, edit->Width, edit->Height}));

    // Scaled once: the form now says it is at the screen's density.
    ScaleForm(form, 144);
    EXPECT_EQ(404, form.ClientWidth);
    EXPECT_EQ(134, edit->Width);
}

TEST(ScaleForm, LeavesAFormAtTheScreenDensityOrWithoutOneAlone) {
    for (int dpi : {96, 0, -1}) {
        TForm form(nullptr);
        form.ClientWidth = 269;
        auto* edit = new TEdit(&form);
        edit->SetParent(&form);
        edit->Width = 89;
        ScaleForm(form, dpi);
        EXPECT_EQ(96, form.PixelsPerInch) << dpi;
        EXPECT_EQ(269, form.ClientWidth) << dpi;
        EXPECT_EQ(89, edit->Width) << dpi;
    }
}

TEST(AssignFont, KeepsTheTargetsDensityAndTheCharactersSize) {
    TFont system;
    system.Name = "Tahoma";
    system.Height = -11;
    system.PixelsPerInch = 96;
    system.Weight = 700;
    TFont form;
    form.PixelsPerInch = 144;
    AssignFont(form, system);
    EXPECT_EQ("Tahoma", form.Name);
    EXPECT_EQ(700, form.Weight);
    EXPECT_EQ(144, form.PixelsPerInch);
    EXPECT_EQ(-17, form.Height);  // -16.5

    TFont same;
    AssignFont(same, system);
    EXPECT_EQ(-11, same.Height);
}

// A form with controls placed in an order unlike their tab order.
struct TabForm {
    TForm form{nullptr};
    TEdit* a = Add<TEdit>(&form, 2);
    TEdit* b = Add<TEdit>(&form, 0);
    TLabel* label = Place(new TLabel(&form), &form);
    TButton* c = Add<TButton>(&form, -1);
    TGroupBox* box = Add<TGroupBox>(&form, 1);
    TCheckBox* inBox = Add<TCheckBox>(box, 0);

    template <class T>
    T* Add(TWinControl* parent, int tabOrder) {
        T* control = Place(new T(&form), parent);
        control->TabOrder = tabOrder;
        return control;
    }
    template <class T>
    static T* Place(T* control, TWinControl* parent) {
        control->SetParent(parent);
        return control;
    }
};

TEST(TabOrder, ListsByTabOrderUnnumberedLastContainersBeforeTheirControls) {
    TabForm f;
    EXPECT_EQ((std::vector<TWinControl*>{f.b, f.box, f.inBox, f.a, f.c}), TabOrderList(f.form));
}

TEST(TabOrder, NextSkipsWhatCannotTakeTheFocusAndWraps) {
    TabForm f;  // tab stops: b, inBox, a, c (a group box is none)
    EXPECT_EQ(f.inBox, FindNextControl(f.form, f.b, true));
    EXPECT_EQ(f.b, FindNextControl(f.form, f.c, true));
    EXPECT_EQ(f.a, FindNextControl(f.form, f.c, false));
    EXPECT_EQ(f.b, FindNextControl(f.form, nullptr, true));
    EXPECT_EQ(f.c, FindNextControl(f.form, nullptr, false));

    f.box->Enabled = false;  // takes its check box with it
    f.a->Visible = false;
    EXPECT_EQ(f.c, FindNextControl(f.form, f.b, true));
    EXPECT_FALSE(CanFocus(*f.inBox));

    f.c->Enabled = false;
    EXPECT_EQ(nullptr, FindNextControl(f.form, f.b, true)) << "only the current control is left";
}

}  // namespace

#ifdef _WIN32

#include <windows.h>

#include <thread>

#include "platform/forms/FormCreate.h"
#include "platform/forms/FormWindow_win32.h"
#include "platform/runtime/TextConvert.h"
#include "ui/frmBaseDialog.h"
#include "ui/unitTranslate.h"

namespace {

class FormBases : public ::testing::Test {
protected:
    void TearDown() override {
        frmBase::Finalize();
        unitTranslate::Finalize();
    }
};

LOGFONTW MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return metrics.lfMessageFont;
}

TEST_F(FormBases, FormsShareOneSystemFontMadeOnce) {
    auto first = CreateForm<TBaseForm>(nullptr);
    const TFont* shared = &GetSystemFont();
    auto second = CreateForm<TBaseDialogForm>(nullptr);
    EXPECT_EQ(shared, &GetSystemFont()) << "the font was made again";

    const LOGFONTW message = MessageFont();
    EXPECT_EQ(GbkToWide(shared->Name), message.lfFaceName);
    EXPECT_EQ(message.lfHeight, shared->Height);
    for (TForm* form : {static_cast<TForm*>(first.get()), static_cast<TForm*>(second.get())}) {
        EXPECT_EQ(GbkToWide(form->Font.Name), message.lfFaceName);
        EXPECT_EQ(message.lfWeight, form->Font.Weight);
        EXPECT_EQ(ScreenPixelsPerInch(), form->Font.PixelsPerInch);
    }
}

// A dialog that records what its creation handler saw: it wraps the handler
// its bases' design wired, which a handler run before this constructor
// would not have gone through.
class ProbeDialog : public TBaseDialogForm {
public:
    explicit ProbeDialog(TComponent* owner) : TBaseDialogForm(owner) {
        Caption = "Probe";
        ClientWidth = 123;
        OnCreate = [this, designed = OnCreate](TComponent* sender) {
            ++createCalls;
            captionSeen = Caption;
            designed(sender);
        };
    }
    int createCalls = 0;
    std::string captionSeen;
};

TEST_F(FormBases, TheCreationHandlerRunsOnceAfterTheMostDerivedDesign) {
    auto form = CreateForm<ProbeDialog>(nullptr);
    EXPECT_EQ(1, form->createCalls);
    EXPECT_EQ("Probe", form->captionSeen);
    EXPECT_EQ(GetSystemFont().Name, form->Font.Name) << "the designed handler did not run";
    // The bases' designed values stay where the derived form set none.
    auto plain = CreateForm<TBaseDialogForm>(nullptr);
    EXPECT_EQ(plain->KeyPreview, form->KeyPreview);
    EXPECT_EQ(plain->ShowHint, form->ShowHint);
    EXPECT_EQ(plain->BorderStyle, form->BorderStyle);
    EXPECT_EQ((std::vector<int>{plain->Left, plain->Top}), (std::vector<int>{form->Left, form->Top}));
    EXPECT_NE(plain->ClientWidth, form->ClientWidth);  // and the derived design's own win
}

// A frameless window with exactly the given screen rectangle.
class Area {
public:
    Area(int x, int y, int w, int h)
        : hwnd_(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, x, y, w, h, nullptr, nullptr, nullptr, nullptr)) {}
    ~Area() { DestroyWindow(hwnd_); }
    Area(const Area&) = delete;
    Area& operator=(const Area&) = delete;
    HWND Get() const { return hwnd_; }

private:
    HWND hwnd_;
};

TEST_F(FormBases, CenterOnWindowTruncatesTowardZeroAndNeverClamps) {
    TBaseForm form(nullptr);
    form.Width = 400;
    form.Height = 300;
    Area narrow(100, 200, 300, 199);  // differences -100 and -101
    form.CenterOnWindow(narrow.Get());
    EXPECT_EQ(50, form.Left);
    EXPECT_EQ(150, form.Top);  // 200 + (-101 / 2) = 200 - 50

    Area wide(10, 20, 901, 500);
    form.CenterOnWindow(wide.Get());
    EXPECT_EQ(10 + 250, form.Left);  // 501 / 2 = 250
    EXPECT_EQ(20 + 100, form.Top);

    // Without a window, or with a handle that names none, over the work area.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    Area workArea(work.left, work.top, work.right - work.left, work.bottom - work.top);
    form.CenterOnWindow(workArea.Get());
    const std::vector<int> overWorkArea{form.Left, form.Top};
    for (HWND none : {HWND(nullptr), reinterpret_cast<HWND>(std::uintptr_t(0x7FFF0))}) {
        form.Left = form.Top = -1;
        form.CenterOnWindow(none);
        EXPECT_EQ(overWorkArea, (std::vector<int>{form.Left, form.Top}));
    }
}

TEST_F(FormBases, EnterWithoutAnActiveControlOrOtherKeysPassUnchanged) {
    TBaseDialogForm form(nullptr);
    char key = '\r';
    form.KeyPress(key);
    EXPECT_EQ('\r', key);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    form.ActiveControl = edit;
    key = 'a';
    form.KeyPress(key);
    EXPECT_EQ('a', key);
}

// Two edits, and optionally a default button that ends the dialog with OK.
class EditsDialog : public TBaseDialogForm {
public:
    EditsDialog(TComponent* owner, bool withDefault) : TBaseDialogForm(owner) {
        ClientWidth = 200;
        ClientHeight = 120;
        first = NewControl<TEdit>(*this, "first", 10, 10, 150, 21);
        second = NewControl<TEdit>(*this, "second", 10, 40, 150, 21);
        if (withDefault) {
            auto* ok = NewControl<TButton>(*this, "ok", 10, 80, 75, 25);
            ok->Default = true;
            ok->ModalResult = mrOk;
        }
    }
    TEdit* first;
    TEdit* second;
};

HWND FocusOf(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// Waits (up to 10 s) for the focus on `thread` to satisfy `ok`.
template <class F>
HWND AwaitFocus(DWORD thread, F ok) {
    for (int i = 0; i < 500; ++i) {
        HWND focus = FocusOf(thread);
        if (focus && ok(focus)) return focus;
        Sleep(20);
    }
    return nullptr;
}

struct EnterOutcome {
    int Result = -1;
    int FocusTopBefore = -1, FocusTopAfter = -1;  // the focused window's top in its form
};

// Shows the dialog, presses Enter once, then closes it from the title bar.
EnterOutcome PressEnterIn(EditsDialog& form) {
    EnterOutcome out;
    const DWORD thread = GetCurrentThreadId();
    std::thread user([&] {
        const auto topOf = [](HWND w) {
            RECT r;
            GetWindowRect(w, &r);
            MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
            return int(r.top);
        };
        HWND before = AwaitFocus(thread, [](HWND f) { return GetParent(f) != nullptr; });
        if (!before) return;
        out.FocusTopBefore = topOf(before);
        HWND dialog = GetParent(before);
        const LPARAM scan = LPARAM(MapVirtualKeyW(VK_RETURN, 0)) << 16;
        PostMessageW(before, WM_KEYDOWN, VK_RETURN, 1 | scan);
        PostMessageW(before, WM_KEYUP, VK_RETURN, 1 | scan | (LPARAM(3) << 30));
        HWND after = AwaitFocus(thread, [&](HWND f) { return f != before || !IsWindow(dialog); });
        if (after && IsWindow(dialog)) {
            out.FocusTopAfter = topOf(after);
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    });
    out.Result = ShowModal(form);
    user.join();
    return out;
}

TEST_F(FormBases, EnterThatNoButtonTakesMovesTheFocusToTheNextEdit) {
    auto form = CreateForm<EditsDialog>(nullptr, false);
    const EnterOutcome out = PressEnterIn(*form);
    EXPECT_EQ(mrCancel, out.Result);
    EXPECT_EQ(form->first->Top, out.FocusTopBefore);
    EXPECT_EQ(form->second->Top, out.FocusTopAfter);
    EXPECT_EQ(form->second, form->ActiveControl);
}

TEST_F(FormBases, EnterInAnEditGoesToTheDefaultButtonFirst) {
    auto form = CreateForm<EditsDialog>(nullptr, true);
    const EnterOutcome out = PressEnterIn(*form);
    EXPECT_EQ(mrOk, out.Result);
    EXPECT_EQ(form->first->Top, out.FocusTopBefore);
}

}  // namespace

#endif  // _WIN32
