// WINDOW routing: real windows driven by SendMessage, a subclass recording each handler call.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <commctrl.h>
#include <shlobj.h>

#include "diag/assert.h"
#include "diag/logit.h"
#include "checkrecorder.h"
#include "scratch.h"
#include "text/stringarray.h"
#include "ui/control.h"
#include "ui/dialog.h"
#include "ui/helpfile.h"
#include "ui/keyboard.h"
#include "ui/window.h"
#include "ui/winrouting.h"

namespace {

struct CALL {
    std::string handler;
    intptr_t a = 0;
    intptr_t b = 0;
    bool operator==(const CALL&) const = default;
};

void PrintTo(const CALL& call, std::ostream* out)
{
    *out << call.handler << "(" << call.a << ", " << call.b << ")";
}

class RECORDER : public WINDOW {
public:
    RECORDER() : WINDOW(WS_OVERLAPPEDWINDOW, "Recorder", 10, 10, 320, 240, nullptr, 77) {}
    std::vector<CALL> calls;
    KEYEVENT lastKey = {};
    int buttonResult = 1;

    int OnCreate() override { return Record("OnCreate"); }
    int OnMenuCommand(int id) override { return Record("OnMenuCommand", id); }
    int OnButton(int id) override
    {
        Record("OnButton", id);
        return buttonResult;
    }
    int OnNotify(int code, CONTROL& sender, intptr_t value) override
    {
        Record("OnNotify", code, sender.WindowId);
        (void)value;
        return 1;
    }
    int OnScroll(int code, CONTROL&, int position) override { return Record("OnScroll", code, position); }
    int OnKey(const KEYEVENT* event) override
    {
        lastKey = *event;
        return Record("OnKey", event->virtualKey, event->modifiers);
    }
    int OnSize() override { return Record("OnSize"); }
    int OnMinimize() override { return Record("OnMinimize"); }
    int OnRestore() override { return Record("OnRestore"); }
    int OnMouse(UINT message, int, int, int flags) override { return Record("OnMouse", message, flags); }
    int OnHelp() override { return Record("OnHelp"); }
    int OnSizing(RECT*, int edges) override { return Record("OnSizing", edges); }
    LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM) override
    {
        return Record("OnUserMessage", message, static_cast<intptr_t>(wParam));
    }
    int OnPaint() override { return Record("OnPaint"); }
    int OnDropFiles(int count, STRINGARRAY& files) override
    {
        dropped.clear();
        for (int i = 0; i < files.ItemCount; i++)
            dropped.push_back(files.Get(i)->c_str());
        return Record("OnDropFiles", count);
    }
    std::vector<std::string> dropped;
    int OnNcPaint() override { return Record("OnNcPaint"); }

    std::vector<CALL> Take() { return std::exchange(calls, {}); }

private:
    int Record(const char* handler, intptr_t a = 0, intptr_t b = 0)
    {
        calls.push_back({handler, a, b});
        return 1;
    }
};

LPARAM Handle(HWND window)
{
    return reinterpret_cast<LPARAM>(window);
}

TEST(WindowRouting, CreationLinksAndRunsOnCreateLater)
{
    RECORDER window;
    ASSERT_TRUE(window.IsValid());
    EXPECT_TRUE(window.calls.empty()); // WM_CREATE only posts MSG_POSTCREATE
    WINDOW::WinProcessMessages(50);
    EXPECT_EQ(window.Take(), std::vector<CALL>{{"OnCreate"}});

    // A top-level window has no native id: an attaching object asks the owner with MSG_QUERYID.
    int id = 0;
    window.SendMessage(MSG_QUERYID, reinterpret_cast<WPARAM>(&id));
    EXPECT_EQ(id, 77);
    EXPECT_EQ(WINDOW(window.Hwnd()).WindowId, 77);
    EXPECT_EQ(WINDOW(nullptr).WindowId, -1);
}

TEST(WindowRouting, TheHooksResultJoinsTheRoutings)
{
    RECORDER window;
    window.Hook = [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT { return message == WM_USER + 7 ? 0x100 : 0; };
    EXPECT_EQ(window.SendMessage(WM_USER + 7), 0x101);
    EXPECT_EQ(window.SendMessage(WM_USER + 8), 1);
    DestroyWindow(window.Hwnd());
    EXPECT_EQ(window.Hook, nullptr);
}

// A window that routes to its object must not outlive it: an owned window goes with the
// object; one the object does not own is reported and cut loose, so that its next message
// reaches no freed object.
TEST(WindowRouting, AWindowThatOutlivesItsObjectIsReportedAndUnlinked)
{
    rig::CheckRecorder checks;
    HWND owned = nullptr;
    {
        RECORDER window;
        owned = window.Hwnd();
    }
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_EQ(checks.Total(), 0u);

    HWND kept = nullptr;
    {
        RECORDER window;
        window.AutoDestroy = 0;
        kept = window.Hwnd();
    }
    EXPECT_EQ(checks.Conditions(), std::vector<std::string>{"!IsWindow(this->hWnd)"});
    ASSERT_TRUE(IsWindow(kept));
    EXPECT_EQ(GetWindowLongPtrA(kept, GWLP_USERDATA), 0);
    EXPECT_EQ(SendMessageA(kept, WM_USER + 7, 0, 0), 0); // the system's default now
    DestroyWindow(kept);
}

TEST(WindowRouting, HelpShowsTheTopicMappedToTheWindowsId)
{
    rig::ScratchFolder folder("windowhelp");
    ASSERT_TRUE(folder.Write("help.ids", "IDH_MAIN=500\n"));
    WINDOW window(WS_OVERLAPPEDWINDOW, "Help", 0, 0, 200, 100, nullptr, 88);
    DestroyHelpFile();
    EXPECT_EQ(window.SendMessage(WM_HELP), 0); // no help file
    GetHelpFile().SetFilename(folder.PathOf("help.chm").c_str(), 1);
    EXPECT_EQ(window.SendMessage(WM_HELP), 0); // id 88 is no topic
    window.SetHelpTopic(500);
    EXPECT_EQ(window.SendMessage(WM_HELP), 1);
    DestroyHelpFile();
}

TEST(WindowRouting, WheelNotchesAccumulatePerWindowAndDirection)
{
    RECORDER a, b, scratch;
    auto wheel = [](RECORDER& window, int delta) {
        window.calls.clear();
        window.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))), 0);
        EXPECT_EQ(window.calls.size(), 1u);
        return window.calls.empty() ? -99 : static_cast<int>(window.calls[0].b);
    };
    struct STEP {
        RECORDER* window;
        int delta;
        int notches;
    };
    std::vector<std::vector<STEP>> scenarios = {
        {{&a, 40, 0}, {&a, 40, 0}, {&a, 40, 1}},
        {{&a, 120, 1}, {&a, -40, 0}},
        {{&a, 60, 0}, {&b, 60, 0}},
        {{&a, -240, -2}},
    };
    for (size_t s = 0; s < scenarios.size(); s++) {
        // A remainder left on another window is dropped by the scenario's first message.
        wheel(scratch, 1);
        for (const STEP& step : scenarios[s])
            EXPECT_EQ(wheel(*step.window, step.delta), step.notches) << "scenario " << s;
    }
}

// The wheel's remainder belongs to the thread whose window received it: a wheel message to a
// window of another thread leaves it alone.
TEST(WindowRouting, EachThreadKeepsItsOwnWheelRemainder)
{
    auto notches = [](RECORDER& window, int delta) {
        window.calls.clear();
        window.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))), 0);
        return window.calls.size() == 1 ? static_cast<int>(window.calls[0].b) : -99;
    };
    RECORDER here;
    EXPECT_EQ(notches(here, 60), 0);
    int there = -1;
    std::thread other([&] {
        RECORDER window;
        there = notches(window, 60);
    });
    other.join();
    EXPECT_EQ(there, 0);
    EXPECT_EQ(notches(here, 60), 1);
}

TEST(WindowRouting, SizeAndAnswersWithoutHandlers)
{
    RECORDER window;
    WINDOW::WinProcessMessages(50);
    window.Take();
    window.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 100));
    EXPECT_EQ(window.Take(), (std::vector<CALL>{{"OnRestore"}, {"OnSize"}}));
    window.SendMessage(WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(window.Take(), std::vector<CALL>{{"OnMinimize"}});
    window.SendMessage(WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(100, 100));
    EXPECT_EQ(window.Take(), std::vector<CALL>{{"OnSize"}});

    EXPECT_EQ(window.SendMessage(WM_QUERYENDSESSION), 1);
    EXPECT_EQ(window.SendMessage(WM_ERASEBKGND), 1);
    EXPECT_TRUE(window.Take().empty());

    RECT rect = {0, 0, 10, 10};
    for (int edge = 0; edge <= 8; edge++)
        window.SendMessage(WM_SIZING, static_cast<WPARAM>(edge), reinterpret_cast<LPARAM>(&rect));
    std::vector<CALL> expected;
    for (int mask : {0, 1, 2, 4, 5, 6, 8, 9, 10})
        expected.push_back({"OnSizing", mask});
    EXPECT_EQ(window.Take(), expected);

    window.SendMessage(WM_USER + 5, 9, 0);
    window.SendMessage(0x500, 1, 0);
    window.SendMessage(0x501, 0, 0); // MSG_POSTCREATE, not a user message
    EXPECT_EQ(window.Take(), (std::vector<CALL>{{"OnUserMessage", WM_USER + 5, 9}, {"OnUserMessage", 0x500, 1},
                                                {"OnCreate"}}));
}

TEST(WindowRouting, ScrollCodesUseTheBarsRange)
{
    RECORDER window;
    CONTROL bar(window.Hwnd(), 300, "ScrollBar", WS_VISIBLE | SBS_HORZ, 0, 0, 200, 16);
    ASSERT_TRUE(bar.IsValid());
    SetScrollRange(bar.Hwnd(), SB_CTL, 10, 90, FALSE);
    window.Take();
    for (int code : {SB_TOP, SB_BOTTOM, SB_ENDSCROLL})
        window.SendMessage(WM_HSCROLL, MAKEWPARAM(code, 0), Handle(bar.Hwnd()));
    window.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 33), Handle(bar.Hwnd()));
    EXPECT_EQ(window.Take(), (std::vector<CALL>{{"OnScroll", SB_THUMBPOSITION, 10},
                                                {"OnScroll", SB_THUMBPOSITION, 90},
                                                {"OnScroll", SB_THUMBTRACK, 33}}));
    // The window's own scroll bars (no control): the range is taken as 0..100.
    window.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    EXPECT_EQ(window.Take(), (std::vector<CALL>{{"OnScroll", SB_THUMBPOSITION, 100}}));
}

TEST(WindowRouting, CommandsFromMenusButtonsAndOtherControls)
{
    RECORDER window;
    CONTROL ok(window.Hwnd(), 41, "Button", WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 50, 20, "OK");
    CONTROL help(window.Hwnd(), 9, "Button", WS_VISIBLE | BS_DEFPUSHBUTTON, 60, 0, 50, 20, "Help");
    CONTROL check(window.Hwnd(), 42, "Button", WS_VISIBLE | BS_AUTOCHECKBOX, 0, 30, 50, 20, "Check");
    CONTROL edit(window.Hwnd(), 43, "Edit", WS_VISIBLE, 0, 60, 50, 20);
    window.Take();

    window.SendMessage(WM_COMMAND, MAKEWPARAM(40, 0), 0);
    window.SendMessage(WM_COMMAND, MAKEWPARAM(41, BN_CLICKED), Handle(ok.Hwnd()));
    window.SendMessage(WM_COMMAND, MAKEWPARAM(9, BN_CLICKED), Handle(help.Hwnd()));
    window.SendMessage(WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), Handle(check.Hwnd()));
    window.SendMessage(WM_COMMAND, MAKEWPARAM(43, EN_CHANGE), Handle(edit.Hwnd()));
    window.SendMessage(WM_COMMAND, MAKEWPARAM(43, EN_UPDATE), Handle(edit.Hwnd()));
    window.buttonResult = 0; // an unhandled button click falls through to OnNotify
    window.SendMessage(WM_COMMAND, MAKEWPARAM(41, BN_CLICKED), Handle(ok.Hwnd()));
    EXPECT_EQ(window.Take(), (std::vector<CALL>{{"OnMenuCommand", 40},
                                                {"OnButton", 41},
                                                {"OnHelp"},
                                                {"OnNotify", 0, 42},
                                                {"OnNotify", EN_CHANGE, 43},
                                                {"OnButton", 41},
                                                {"OnNotify", 0, 41}}));
}

TEST(WindowRouting, CtrlShiftF5ReachesTheLogHotkey)
{
    RECORDER window;
    window.Take();
    BYTE saved[256], keys[256];
    ASSERT_TRUE(GetKeyboardState(saved));
    memcpy(keys, saved, sizeof(keys));
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    keys[VK_SHIFT] = keys[VK_LSHIFT] = 0x80;
    ASSERT_TRUE(SetKeyboardState(keys));
    bool before = LogIsEnabled();
    window.SendMessage(WM_KEYDOWN, VK_F5, 0x003F0001);
    bool after = LogIsEnabled();
    window.SendMessage(WM_KEYDOWN, VK_F8, 0x00420001); // closes the log again
    bool closed = LogIsEnabled();
    SetKeyboardState(saved);
    EXPECT_FALSE(before);
    EXPECT_TRUE(after);
    EXPECT_FALSE(closed);
    // The same message went on to the key handler, with the modifiers of the moment.
    std::vector<CALL> calls = window.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], (CALL{"OnKey", VK_F5, KEYMOD_SHIFT | KEYMOD_CONTROL}));
    EXPECT_EQ(window.lastKey.message, static_cast<uint32_t>(WM_KEYDOWN));
    EXPECT_EQ(window.lastKey.repeatCount, 1u);
    EXPECT_EQ(window.lastKey.scanCode, 0x42u);
}

// A drop handle as the shell makes it: the header, then the wide names, each terminated, and
// one more zero.
HGLOBAL DropOf(const std::vector<std::wstring>& names)
{
    size_t chars = 1;
    for (const std::wstring& name : names)
        chars += name.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& name : names) {
        wmemcpy(out, name.c_str(), name.size());
        out += name.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

TEST(WindowRouting, DroppedFilesArriveAsAListAndTheDropIsReleased)
{
    RECORDER window;
    window.Take();
    std::wstring longName = L"C:\\" + std::wstring(300, L'n'); // cut to the 260-character buffer
    HGLOBAL drop = DropOf({L"C:\\one.txt", L"D:\\Stra\u00dfe\\two.txt", longName});
    window.SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(drop));
    EXPECT_EQ(window.Take(), (std::vector<CALL>{{"OnDropFiles", 3}}));
    ASSERT_EQ(window.dropped.size(), 3u);
    EXPECT_EQ(window.dropped[0], "C:\\one.txt");
    EXPECT_EQ(window.dropped[1], "D:\\Stra\xdf" "e\\two.txt");
    EXPECT_EQ(window.dropped[2].size(), 259u);
    EXPECT_EQ(GlobalFlags(drop), GMEM_INVALID_HANDLE); // DragFinish freed it
    EXPECT_EQ(window.AcceptFiles(1), 1);
    EXPECT_TRUE(window.GetExStyle() & WS_EX_ACCEPTFILES);
}

TEST(WindowOperations, FocusZOrderAndTheme)
{
    RECORDER window;
    CONTROL label(window.Hwnd(), 70, "Static", WS_VISIBLE | WS_TABSTOP, 0, 0, 50, 20, "label");
    CONTROL radio(window.Hwnd(), 71, "Button", WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON, 0, 20, 50, 20);
    CONTROL disabled(window.Hwnd(), 72, "Button", WS_VISIBLE | WS_TABSTOP | WS_DISABLED, 0, 40, 50, 20);
    CONTROL check(window.Hwnd(), 73, "Button", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 60, 50, 20);
    EXPECT_EQ(window.FocusFirstItem(), 73);
    radio.SendMessage(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(window.FocusFirstItem(), 71); // a checked button, whatever its type
    EXPECT_EQ(WINDOW().FocusFirstItem(), 0);

    std::vector<std::string> reported;
    static std::vector<std::string>* sink;
    sink = &reported;
    AssertObserver previous = SetAssertObserver([](const char* condition, const char*) { sink->push_back(condition); });
    EXPECT_EQ(check.SetZOrder(-1, label.Hwnd()), 0);
    SetAssertObserver(previous);
    EXPECT_EQ(reported, std::vector<std::string>{"topbottom==+1"});
    EXPECT_NE(check.SetZOrder(+1, label.Hwnd()), 0);
    EXPECT_EQ(GetWindow(label.Hwnd(), GW_HWNDNEXT), check.Hwnd());

    // The test program has a manifest: the texture, and every button but a push button lets
    // it show through.
    CONTROL push(window.Hwnd(), 74, "Button", WS_VISIBLE | BS_PUSHBUTTON, 0, 80, 50, 20);
    EXPECT_EQ(window.EnableThemeTexture(), 1);
    EXPECT_TRUE(window.GetExStyle() & WS_EX_CONTROLPARENT);
    EXPECT_TRUE(check.GetExStyle() & WS_EX_TRANSPARENT);
    EXPECT_TRUE(radio.GetExStyle() & WS_EX_TRANSPARENT);
    EXPECT_FALSE(push.GetExStyle() & WS_EX_TRANSPARENT);
    EXPECT_FALSE(label.GetExStyle() & WS_EX_TRANSPARENT);
}

TEST(WindowOperations, NullHandlesAndMissingItems)
{
    std::vector<std::string> reported;
    static std::vector<std::string>* sink;
    sink = &reported;
    AssertObserver previous = SetAssertObserver([](const char* condition, const char*) { sink->push_back(condition); });
    WINDOW none;
    RECT client = none.GetClientRect();
    SetAssertObserver(previous);
    EXPECT_EQ(reported, std::vector<std::string>{"this->hWnd!=HWND_DESKTOP"});
    EXPECT_TRUE(client.left == 0 && client.top == 0 && client.right == 0 && client.bottom == 0);
    RECT work = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT rect = none.GetRect();
    EXPECT_TRUE(EqualRect(&rect, &work));
    EXPECT_EQ(none.SetText("x"), 0);
    EXPECT_STREQ(none.GetText().c_str(), "");
    char buffer[8] = "junk";
    EXPECT_EQ(none.GetText(buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "");

    RECORDER window;
    CONTROL missing(window.Hwnd(), 12345);
    EXPECT_FALSE(missing.IsValid());
    EXPECT_EQ(missing.SetText("x"), 0);
    EXPECT_EQ(missing.Enable(1), 0);
    EXPECT_EQ(window.SetItemText(12345, "x"), 0);
    EXPECT_EQ(window.EnableItem(12345, 1), 0);
    EXPECT_EQ(window.ShowItem(12345, 1), 0);
    EXPECT_EQ(window.GetItemCheck(12345), -1);
    EXPECT_STREQ(window.GetItemText(12345).c_str(), "");
}

TEST(WindowOperations, LongTextsRoundTripAndBoundedCopiesStop)
{
    RECORDER window;
    CONTROL edit(window.Hwnd(), 50, "Edit", WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 100, 20);
    std::string text;
    for (int i = 0; i < 300; i++)
        text += static_cast<char>('a' + i % 26);
    text[150] = static_cast<char>(0xE4); // a-umlaut in the system code page
    EXPECT_NE(window.SetText(text.c_str()), 0);
    EXPECT_EQ(std::string(window.GetText().c_str()), text);
    EXPECT_NE(window.SetItemText(50, text.c_str()), 0);
    EXPECT_EQ(std::string(window.GetItemText(50).c_str()), text);

    char small[100];
    memset(small, 'x', sizeof(small));
    EXPECT_EQ(window.GetItemText(50, small, sizeof(small)), 99);
    EXPECT_EQ(std::string(small), text.substr(0, 99));
    wchar_t wide[50];
    wmemset(wide, L'x', 50);
    EXPECT_EQ(window.GetTextW(wide, 50), 49);
    EXPECT_EQ(wide[49], L'\0');
    EXPECT_EQ(wide[0], L'a');
}

TEST(WindowOperations, GeometryOfChildrenAndCentring)
{
    RECORDER window;
    CONTROL child(window.Hwnd(), 60, "Static", WS_VISIBLE, 15, 25, 40, 30);
    RECT rect = child.GetRect();
    EXPECT_EQ(rect.left, 15);
    EXPECT_EQ(rect.top, 25);
    EXPECT_EQ(rect.right - rect.left, 40);
    child.Move(5, 6);
    rect = child.GetRect();
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.right - rect.left, 40);
    EXPECT_EQ(child.GetTopLevel(), window.Hwnd());
    EXPECT_EQ(child.GetOwnerWindow(), window.Hwnd());

    window.Move(-500, -500, 300, 200);
    window.CenterWindow(nullptr);
    RECT work = WINDOW::GetDesktopRect();
    rect = window.GetRect();
    EXPECT_EQ(rect.right - rect.left, 300);
    EXPECT_EQ(rect.left, work.left + (work.right - work.left - 300) / 2);
    EXPECT_GE(rect.top, 0);

    RECT client = window.GetClientRect();
    RECT outer = window.ClientToWindowRect(client);
    RECT back = window.WindowToClientRect(outer);
    EXPECT_TRUE(EqualRect(&back, &client));
}

TEST(WindowRouting, PlainLogicWithoutWindows)
{
    struct {
        int code, position, minimum, maximum;
        bool reaches;
        int mappedCode, mappedPosition;
    } cases[] = {
        {SB_TOP, 7, -5, 50, true, SB_THUMBPOSITION, -5},
        {SB_BOTTOM, 7, -5, 50, true, SB_THUMBPOSITION, 50},
        {SB_ENDSCROLL, 7, -5, 50, false, SB_ENDSCROLL, 7},
        {SB_LINEDOWN, 7, -5, 50, true, SB_LINEDOWN, 7},
    };
    for (auto c : cases) {
        int code = c.code, position = c.position;
        EXPECT_EQ(MapScrollCode(code, position, c.minimum, c.maximum), c.reaches) << c.code;
        EXPECT_EQ(code, c.mappedCode) << c.code;
        EXPECT_EQ(position, c.mappedPosition) << c.code;
    }
    EXPECT_EQ(SizingEdgeMask(9), 0);
    WHEELSTATE state;
    HWND one = reinterpret_cast<HWND>(1);
    EXPECT_EQ(AccumulateWheel(state, one, 100), 0);
    EXPECT_EQ(AccumulateWheel(state, one, 380), 4);
    EXPECT_EQ(state.accumulated, 0);
}

// Tab controls and up-downs ask their parent before they change. Whatever kind of window the
// parent is, the change goes ahead unless the program's handler refuses it.
template <class HOST>
class CHANGEHOST : public HOST {
public:
    using HOST::HOST;
    int answer = 0;
    std::vector<std::pair<int, intptr_t>> asked; // code, value
    int OnNotify(int code, CONTROL&, intptr_t value) override
    {
        if (code == static_cast<int>(TCN_SELCHANGING) || code == static_cast<int>(UDN_DELTAPOS))
            asked.emplace_back(code, value);
        return answer;
    }
};

template <class HOST>
void ExpectChangesGoOnUnlessRefused(HOST& host)
{
    ASSERT_TRUE(host.IsValid());
    HWND parent = host.Hwnd();
    HWND tabs = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 60, parent,
                                reinterpret_cast<HMENU>(31), nullptr, nullptr);
    HWND spin = CreateWindowExA(0, UPDOWN_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 70, 20, 40, parent,
                                reinterpret_cast<HMENU>(32), nullptr, nullptr);
    ASSERT_TRUE(tabs && spin);
    for (const char* name : {"one", "two"}) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(name);
        SendMessageA(tabs, TCM_INSERTITEMA, SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(spin, UDM_SETRANGE32, 0, 10);
    SendMessageA(spin, UDM_SETPOS32, 0, 5);
    auto clickUp = [&] {
        SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5)); // the upper arrow
        SendMessageA(spin, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
    };
    auto clickTab = [&](LRESULT index) {
        RECT place = {};
        SendMessageA(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&place));
        LPARAM point = MAKELPARAM((place.left + place.right) / 2, (place.top + place.bottom) / 2);
        SendMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageA(tabs, WM_LBUTTONUP, 0, point);
    };
    auto tab = [&] { return SendMessageA(tabs, TCM_GETCURSEL, 0, 0); };
    auto position = [&] { return SendMessageA(spin, UDM_GETPOS32, 0, 0); };

    for (int answer : {0, 1}) { // unhandled, and "handled"
        SCOPED_TRACE(answer);
        host.answer = answer;
        host.asked.clear();
        LRESULT before = tab();
        clickTab(1 - before);
        EXPECT_EQ(tab(), 1 - before);
        LRESULT was = position();
        clickUp();
        EXPECT_EQ(position(), was + 1);
        EXPECT_EQ(host.asked, (std::vector<std::pair<int, intptr_t>>{{static_cast<int>(TCN_SELCHANGING), 0}, {static_cast<int>(UDN_DELTAPOS), was + 1}}));
    }
    host.answer = NOTIFY_REFUSE_CHANGE;
    LRESULT before = tab();
    clickTab(1 - before);
    EXPECT_EQ(tab(), before);
    LRESULT was = position();
    clickUp();
    EXPECT_EQ(position(), was);
    DestroyWindow(tabs);
    DestroyWindow(spin);
}

TEST(WindowRouting, TabsAndUpDownsChangeUnlessTheHandlerRefuses)
{
    {
        SCOPED_TRACE("WINDOW");
        CHANGEHOST<WINDOW> window(WS_OVERLAPPEDWINDOW, "Changes", 0, 0, 240, 160);
        ExpectChangesGoOnUnlessRefused(window);
    }
    {
        SCOPED_TRACE("DIALOG");
        CHANGEHOST<DIALOG> dialog(202);
        ExpectChangesGoOnUnlessRefused(dialog);
    }
    {
        SCOPED_TRACE("child dialog");
        DIALOG parent(202);
        CHANGEHOST<CHILDWINDOW> child(parent.Hwnd(), 210, 555);
        ExpectChangesGoOnUnlessRefused(child);
    }
}

} // namespace
