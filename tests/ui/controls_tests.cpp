// The control kinds on real controls of Wine's window system, in a real parent window.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "diag/assert.h"
#include "text/stringarray.h"
#include "ui/buttons.h"
#include "ui/controlfont.h"
#include "ui/dialog.h"
#include "ui/editfields.h"
#include "ui/fonts.h"
#include "ui/listcontrol.h"
#include "ui/rangecontrols.h"
#include "ui/statics.h"

namespace {

// A top-level window that records what its controls tell it.
class RecordingParent : public WINDOW {
public:
    RecordingParent() : WINDOW(WS_OVERLAPPEDWINDOW, "controls", 0, 0, 400, 300, nullptr, 0, 0, "TarvoControlsParent") {}

    int OnNotify(int code, CONTROL& sender, intptr_t) override
    {
        notifications.emplace_back(code, sender.WindowId);
        return 0;
    }
    int OnButton(int id) override
    {
        buttons.push_back(id);
        return 1;
    }

    // The dialog's set-default-id messages posted to the window and not yet handled.
    std::vector<WPARAM> TakeDefaultIdPosts()
    {
        std::vector<WPARAM> posts;
        MSG message;
        while (PeekMessageA(&message, hWnd, WM_USER + 1, WM_USER + 1, PM_REMOVE))
            posts.push_back(message.wParam);
        return posts;
    }

    std::vector<std::pair<int, int>> notifications; // code, sender id
    std::vector<int> buttons;
};

// Records the messages a window receives while it lives; the window's own procedure still
// answers them, except those it is told to swallow (answered 0, as a control that does not know
// them would).
class MessageSpy {
public:
    explicit MessageSpy(HWND window, std::vector<UINT> swallow = {}) : window(window), swallowed(std::move(swallow))
    {
        active = this;
        original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageSpy::Record)));
    }
    ~MessageSpy()
    {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        active = nullptr;
    }
    MessageSpy(const MessageSpy&) = delete;
    MessageSpy& operator=(const MessageSpy&) = delete;

    bool Saw(UINT message) const { return std::find(messages.begin(), messages.end(), message) != messages.end(); }

    std::vector<UINT> messages;

private:
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        active->messages.push_back(message);
        if (std::find(active->swallowed.begin(), active->swallowed.end(), message) != active->swallowed.end())
            return 0;
        return CallWindowProcA(active->original, window, message, wParam, lParam);
    }

    HWND window;
    std::vector<UINT> swallowed;
    WNDPROC original = nullptr;
    static inline MessageSpy* active = nullptr;
};

// Counts the failed checks while it lives.
class CheckCounter {
public:
    CheckCounter() { previous = SetAssertObserver(&Count); }
    ~CheckCounter() { SetAssertObserver(previous); }
    CheckCounter(const CheckCounter&) = delete;
    CheckCounter& operator=(const CheckCounter&) = delete;

    static inline std::vector<std::string> conditions;
    static inline std::vector<std::string> infos;

private:
    static void Count(const char* condition, const char* info)
    {
        conditions.emplace_back(condition ? condition : "");
        infos.emplace_back(info ? info : "");
    }
    AssertObserver previous;
};

std::string Text(const STRING& text)
{
    return std::string(text.c_str(), text.Length());
}

class Controls : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.IsValid());
        checks.conditions.clear();
        checks.infos.clear();
    }
    HWND Parent() const { return parent.Hwnd(); }

    CheckCounter checks;
    RecordingParent parent;
};

TEST_F(Controls, CreationAddsTheClassAndStyleOfEachKind)
{
    CHECKBOX check(Parent(), 101, 0, 0, 0, 50, 20, "check");
    PUSHBUTTON push(Parent(), 102, 0, 0, 0, 50, 20, "push");
    RADIOBUTTON radio(Parent(), 103, 0, 0, 50, 20, "radio");
    EDITFIELD edit(Parent(), 104, 0, 0, 0, 50, 20);
    SCROLLBAR scroll(Parent(), 105, 0, 0, 0, 50, 20);
    STATICICON icon(Parent(), 106, 0, 0, 0, 32, 32);
    STATICTEXT text(Parent(), 107, 0, 0, 0, 50, 20, "text");
    PROGRESSBAR progress(Parent(), 108, 0, 0, 50, 20);
    LISTBOX list(Parent(), 109, 0, 0, 0, 50, 50);
    // A list box shows its scroll bar (and keeps WS_VSCROLL) only while it has more items than room.
    for (int i = 0; i < 20; i++)
        list.Add("item");
    const struct {
        const CONTROL& control;
        const char* className;
        DWORD style;
    } cases[] = {
        {check, "Button", 0x50010003},     {push, "Button", 0x50010000},
        {radio, "Button", 0x50010009},     {edit, "Edit", 0x50010080},
        {scroll, "ScrollBar", 0x50010000}, {icon, "Static", 0x50000003},
        {text, "Static", 0x50000000},      {progress, "msctls_progress32", 0x50000000},
        {list, "ListBox", 0x50210001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.className);
        ASSERT_TRUE(c.control.IsValid());
        EXPECT_TRUE(c.control.IsClass(c.className));
        EXPECT_EQ(c.control.GetStyle() & c.style, c.style);
        EXPECT_EQ(c.control.WindowId, GetDlgCtrlID(c.control.Hwnd()));
    }
    EXPECT_EQ(Text(list.GetText()), "LISTBOX");
    EXPECT_EQ(SendMessageA(progress.Hwnd(), PBM_GETRANGE, FALSE, 0), 100);
}

TEST_F(Controls, MissingItemActsOnNothing)
{
    DIALOG dialog(200);
    ASSERT_TRUE(dialog.IsValid());
    CONTROL missing(dialog.Hwnd(), 12345);
    EXPECT_FALSE(missing.IsValid());
    EXPECT_EQ(missing.SetText("x"), 0);
    EXPECT_EQ(missing.Enable(1), 0);
    {
        CHECKBOX check(dialog.Hwnd(), 801);
        check.SetCheck(1);
    }
    EXPECT_EQ(IsDlgButtonChecked(dialog.Hwnd(), 801), static_cast<UINT>(BST_CHECKED)); // attached, left alone
    UPDOWN spin(Parent(), 12345);
    spin.SetRangeAndPos(40000, 0, 100000);
    EXPECT_EQ(spin.GetPos(), 0);
    PUSHBUTTON button(Parent(), 12345);
    EXPECT_EQ(button.SetDefault(1), 1);
    EXPECT_TRUE(parent.TakeDefaultIdPosts().empty());
    MSG stray;
    EXPECT_FALSE(PeekMessageA(&stray, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE)); // nothing posted to the thread
    EXPECT_TRUE(checks.conditions.empty());
}

TEST_F(Controls, InPlaceTakesThePlaceholdersRectangleAndZPosition)
{
    STATICTEXT before(Parent(), 201, 0, 0, 0, 10, 10);
    STATICTEXT placeholder(Parent(), 202, 0, 30, 40, 120, 24, "placeholder");
    STATICTEXT after(Parent(), 203, 0, 0, 0, 10, 10);
    RECT place = placeholder.GetRect();
    HWND old = placeholder.Hwnd();

    EDITFIELD edit(Parent(), 202, 0, 202, "in place");
    ASSERT_TRUE(edit.IsValid());
    EXPECT_FALSE(IsWindow(old));
    RECT rect = edit.GetRect();
    EXPECT_TRUE(EqualRect(&rect, &place));
    EXPECT_EQ(GetWindow(before.Hwnd(), GW_HWNDNEXT), edit.Hwnd());
    EXPECT_EQ(GetWindow(edit.Hwnd(), GW_HWNDNEXT), after.Hwnd());
    EXPECT_EQ(GetDlgItem(Parent(), 202), edit.Hwnd());
    EXPECT_TRUE(checks.conditions.empty());
}

TEST_F(Controls, NullParentFailsCreationAndLeavesAnEmptyObject)
{
    LISTBOX list(nullptr, 301, 0, 0, 0, 100, 100);
    EXPECT_FALSE(list.IsValid());
    EXPECT_EQ(checks.conditions, std::vector<std::string>{"this->hWnd"});
    EXPECT_EQ(list.Add("item"), 0);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetItemText(-1).Length(), 0);
    list.Select(0, 1);
    list.ReplaceItem(0, "x");
    CONTROLFONT font(list.Hwnd(), "10.Arial");
    EXPECT_EQ(font.Font(), nullptr);
}

TEST_F(Controls, CheckBoxSetCheckReportsAClick)
{
    CHECKBOX check(Parent(), 401, 0, 0, 0, 80, 20, "check");
    check.SetCheck(1);
    EXPECT_EQ(check.GetCheck(), 1);
    check.SetUnchecked(1);
    EXPECT_EQ(check.GetCheck(), 0);
    using Sent = std::vector<std::pair<int, int>>;
    EXPECT_EQ(parent.notifications, (Sent{{0, 401}, {0, 401}}));
    PUSHBUTTON button(Parent(), 402, 0, 0, 30, 80, 20, "push");
    button.Click();
    EXPECT_EQ(parent.buttons, std::vector<int>{402});
}

TEST_F(Controls, PushButtonDefaultSwitch)
{
    PUSHBUTTON already(Parent(), 501, BS_DEFPUSHBUTTON, 0, 0, 80, 20, "default");
    PUSHBUTTON normal(Parent(), 502, 0, 0, 30, 80, 20, "normal");
    parent.TakeDefaultIdPosts();

    EXPECT_EQ(already.SetDefault(1), 1);
    EXPECT_TRUE(parent.TakeDefaultIdPosts().empty());
    EXPECT_EQ(normal.SetDefault(1), 1);
    EXPECT_EQ(normal.GetStyle() & 0xF, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_EQ(parent.TakeDefaultIdPosts(), std::vector<WPARAM>{502});
    EXPECT_EQ(normal.SetDefault(0), 1);
    EXPECT_EQ(normal.GetStyle() & 0xF, static_cast<DWORD>(BS_PUSHBUTTON));
    EXPECT_TRUE(parent.TakeDefaultIdPosts().empty());
}

TEST_F(Controls, ShieldTextKeepsOneBlankBeforeTheCaption)
{
    PUSHBUTTON button(Parent(), 601, 0, 0, 0, 80, 20, "\t  Run");
    button.SetShieldText(1);
    EXPECT_EQ(Text(button.GetText()), " Run");
    button.SetShieldText(1);
    EXPECT_EQ(Text(button.GetText()), " Run");
    button.SetShieldText(0);
    EXPECT_EQ(Text(button.GetText()), "Run");
}

TEST_F(Controls, RangeKinds)
{
    SCROLLBAR scroll(Parent(), 1001, SBS_HORZ, 0, 0, 100, 16);
    scroll.SetScrollInfo(5, 10, 0, 50);
    scroll.SetScrollInfo(7, 10, -1, 99); // the range stays
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(scroll.Hwnd(), SB_CTL, &info));
    EXPECT_EQ(std::make_pair(info.nMin, info.nMax), std::make_pair(0, 50));
    EXPECT_EQ(scroll.GetPos(), 7);

    SLIDER slider(Parent(), 1002, 0, 0, 20, 100, 30);
    slider.SetRange(-10, 20, TRUE);
    slider.SetPos(15, TRUE);
    EXPECT_EQ(slider.GetPos(), 15);
    slider.SetPos(-30, TRUE);
    EXPECT_EQ(slider.GetPos(), -10);

    // Attaching sets the range 0..100 and shows the bar.
    CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD, 0, 60, 100, 10, Parent(), reinterpret_cast<HMENU>(1003),
                    nullptr, nullptr);
    SendMessageA(GetDlgItem(Parent(), 1003), PBM_SETRANGE, 0, MAKELPARAM(0, 7));
    PROGRESSBAR progress(Parent(), 1003);
    EXPECT_TRUE(GetWindowLongA(progress.Hwnd(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(progress.SendMessage(PBM_GETRANGE, FALSE), 100);
    progress.SetRange(1000);
    progress.SetPos(900);
    EXPECT_EQ(progress.SendMessage(PBM_GETPOS), 900);
}

TEST_F(Controls, EditStaticAndButtonImages)
{
    EDITFIELD edit(Parent(), 1101, 0, 0, 0, 100, 20, "0123456789");
    edit.SetNumeric(1);
    edit.SetWantReturn(1);
    edit.SetReadOnly(1);
    EXPECT_EQ(edit.GetStyle() & (ES_NUMBER | ES_WANTRETURN | ES_READONLY),
              static_cast<DWORD>(ES_NUMBER | ES_WANTRETURN | ES_READONLY));
    edit.SetNumeric(0);
    edit.SetWantReturn(0);
    EXPECT_EQ(edit.GetStyle() & (ES_NUMBER | ES_WANTRETURN), 0u);
    edit.SetSel(2, 5);
    int start = -1;
    int end = -1;
    edit.GetSel(&start, &end);
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(2, 5));
    edit.LimitText(4);
    EXPECT_EQ(edit.SendMessage(EM_GETLIMITTEXT), 4);

    STATICICON icon(Parent(), 1102, 0, 0, 30, 32, 32);
    HICON shown = LoadIconA(nullptr, MAKEINTRESOURCEA(32512)); // the system's application icon
    icon.SetIcon(shown);
    EXPECT_EQ(icon.GetIcon(), shown);

    PUSHBUTTON button(Parent(), 1103, 0, 0, 70, 80, 20, "image");
    EXPECT_TRUE(button.SetIcon(shown));
    EXPECT_TRUE(button.SetIcon(shown)); // the second list replaces the first
    BUTTON_IMAGELIST seen = {};
    ASSERT_TRUE(button.SendMessage(BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&seen)));
    int width = 0;
    int height = 0;
    ASSERT_TRUE(ImageList_GetIconSize(seen.himl, &width, &height));
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(16, 16));
    EXPECT_EQ(ImageList_GetImageCount(seen.himl), 1);
    RECT margins = {2, 1, 4, 0};
    EXPECT_TRUE(EqualRect(&seen.margin, &margins));
    EXPECT_EQ(seen.uAlign, static_cast<UINT>(BUTTON_IMAGELIST_ALIGN_LEFT));
}

class UpDown : public Controls {
protected:
    EDITFIELD buddy{Parent(), 701, 0, 10, 10, 60, 20};
    UPDOWN spin{Parent(), 702, 701};
};

TEST_F(UpDown, RangeLimitsTheBuddyAndPicksTheMessage)
{
    const struct {
        int low, high;
        LRESULT limit;
        UINT message;
    } cases[] = {
        {0, 100, 3, UDM_SETRANGE},      {-5, 20, 3, UDM_SETRANGE},
        {20, -5, 2, UDM_SETRANGE}, // the digits of the second bound as given, and a sign
        {0, 100000, 6, UDM_SETRANGE32}, {-40000, 9, 2, UDM_SETRANGE32},
    };
    ASSERT_EQ(reinterpret_cast<HWND>(spin.SendMessage(UDM_GETBUDDY)), buddy.Hwnd());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.low << ".." << c.high);
        MessageSpy spy(spin.Hwnd());
        spin.SetRange(c.low, c.high);
        EXPECT_EQ(buddy.SendMessage(EM_GETLIMITTEXT), c.limit);
        EXPECT_TRUE(spy.Saw(c.message));
        EXPECT_FALSE(spy.Saw(c.message == UDM_SETRANGE ? UDM_SETRANGE32 : UDM_SETRANGE));
        int low = 0;
        int high = 0;
        spin.SendMessage(UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
        EXPECT_EQ(low, std::min(c.low, c.high));
        EXPECT_EQ(high, std::max(c.low, c.high));
    }
    spin.SetRange(0, 100);
    EXPECT_EQ(spin.SendMessage(UDM_GETRANGE), MAKELONG(100, 0));
}

TEST_F(UpDown, PositionsBeyondSixteenBitsGoThroughTheWideMessage)
{
    spin.SetRange(-100000, 100000);
    for (int value : {40000, -40000, 123, -5}) {
        MessageSpy spy(spin.Hwnd());
        spin.SetPos(value);
        EXPECT_EQ(spy.Saw(UDM_SETPOS32), value > 32767 || value < -32768) << value;
        EXPECT_EQ(spin.GetPos(), value);
    }
    spin.SetRangeAndPos(40000, 0, 100000);
    EXPECT_EQ(spin.GetPos(), 40000);
    EXPECT_TRUE(checks.conditions.empty());
}

TEST_F(UpDown, ControlsWithoutTheWideMessages)
{
    MessageSpy oldControl(spin.Hwnd(), {UDM_GETRANGE32, UDM_GETPOS32, UDM_SETPOS32});
    spin.SetRange(0, 100000);
    EXPECT_EQ(checks.conditions, std::vector<std::string>{"lo!=-1 && hi!=-2"});
    EXPECT_EQ(checks.infos, std::vector<std::string>{"COMCTL32 V4.71 or higher required"});
    EXPECT_TRUE(oldControl.Saw(UDM_SETRANGE32)); // sent all the same

    spin.SendMessage(UDM_SETRANGE32, static_cast<WPARAM>(-100), 100000);
    spin.SendMessage(UDM_SETPOS, 0, MAKELPARAM(-7, 0));
    EXPECT_EQ(spin.GetPos(), -7); // the 16-bit answer, sign-extended
    spin.SetPos(40000);
    EXPECT_EQ(checks.conditions.back(), "val==val2");
}

class Lists : public Controls {
protected:
    void Fill(LISTCONTROL& list)
    {
        for (const char* item : {"alpha", "beta", "gamma"})
            list.Add(item);
    }
};

TEST_F(Lists, ListBoxAndComboBoxAnswerTheirOwnMessages)
{
    LISTBOX single(Parent(), 801, 0, 0, 0, 100, 100);
    LISTCONTROL combo(Parent(), 802, "ComboBox", WS_VISIBLE | CBS_DROPDOWNLIST, 110, 0, 100, 100);
    LISTBOX multiple(Parent(), 803, LBS_EXTENDEDSEL, 220, 0, 100, 100);
    EXPECT_EQ(single.IsListBox, 1);
    EXPECT_EQ(combo.IsListBox, 0);
    Fill(single);
    Fill(combo);
    Fill(multiple);

    EXPECT_EQ(combo.GetSelCount(), 1); // even with nothing selected
    EXPECT_EQ(combo.GetSel(0), -1);
    EXPECT_EQ(combo.GetItemText(-1).Length(), 0);

    single.Select(1, 1);
    combo.Select(2, 1);
    multiple.Select(0, 1);
    multiple.Select(2, 1);
    using Sent = std::vector<std::pair<int, int>>;
    EXPECT_EQ(parent.notifications, (Sent{{1, 801}, {1, 802}, {1, 803}, {1, 803}}));

    EXPECT_EQ(single.GetSel(0), 1);
    EXPECT_EQ(single.GetSel(1), -1);
    EXPECT_EQ(combo.GetSel(0), 2);
    EXPECT_EQ(multiple.GetSelCount(), 2);
    EXPECT_EQ(multiple.GetSel(0), 0);
    EXPECT_EQ(multiple.GetSel(1), 2);
    EXPECT_EQ(multiple.GetSel(2), -1);
    EXPECT_EQ(Text(multiple.GetSelText(1)), "gamma");
    EXPECT_EQ(Text(single.GetItemText(-1)), "beta");
    EXPECT_EQ(Text(combo.GetItemText(-1)), "gamma");
    EXPECT_TRUE(combo.IsSelected(2));
    EXPECT_FALSE(combo.IsSelected(1));
    EXPECT_EQ(single.FindString("GAM"), 2);
    EXPECT_EQ(combo.FindString("delta"), CB_ERR);
}

TEST_F(Lists, ReplaceItemKeepsTheSelection)
{
    LISTBOX single(Parent(), 811, 0, 0, 0, 100, 100);
    LISTCONTROL combo(Parent(), 812, "ComboBox", WS_VISIBLE | CBS_DROPDOWNLIST, 110, 0, 100, 100);
    for (LISTCONTROL* list : {static_cast<LISTCONTROL*>(&single), &combo}) {
        Fill(*list);
        list->Select(1, 1);
        EXPECT_EQ(list->ReplaceItem(1, "BETA"), 1);
        EXPECT_EQ(list->ReplaceItem(2, "GAMMA"), 1);
        EXPECT_EQ(list->GetCount(), 3);
        EXPECT_EQ(Text(list->GetItemText(-1)), "BETA");
        EXPECT_EQ(Text(list->GetItemText(2)), "GAMMA");
        EXPECT_FALSE(list->IsSelected(2));
    }
}

TEST_F(Lists, TextsInsertedAndReadInBothWidths)
{
    LISTBOX list(Parent(), 821, 0, 0, 0, 100, 100);
    EXPECT_EQ(list.InsertLines(STRING("one|two|three"), "|", -1), 3);
    STRINGARRAY more(STRING("x,y"), ",");
    EXPECT_EQ(list.InsertList(more, 1), 2);
    list.Insert("caf\xe9", 0);
    std::string longText(300, 'w');
    list.Add(longText.c_str());
    const char* expected[] = {"caf\xe9", "one", "x", "y", "two", "three", longText.c_str()};
    ASSERT_EQ(list.GetCount(), 7);
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(Text(list.GetItemText(i)), expected[i]) << i;
    EXPECT_EQ(std::wstring(list.GetItemTextW(0).c_str()), L"caf\x00e9");
    EXPECT_EQ(list.GetItemTextW(6).Length(), 300);
    EXPECT_EQ(list.GetItemText(7).Length(), 0);
}

TEST_F(Lists, DropdownKindsCheckTheStyleTheyAttachTo)
{
    LISTCONTROL dropList(Parent(), 831, "ComboBox", WS_VISIBLE | CBS_DROPDOWNLIST, 0, 0, 100, 100);
    LISTCONTROL dropCombo(Parent(), 832, "ComboBox", WS_VISIBLE | CBS_DROPDOWN, 110, 0, 100, 100);
    DROPDOWNLIST{Parent(), 831};
    DROPDOWNCOMBO{Parent(), 832};
    DROPDOWNLIST{Parent(), 12345};
    EXPECT_TRUE(checks.conditions.empty());
    DROPDOWNLIST wrong(Parent(), 832);
    DROPDOWNCOMBO wrongToo(Parent(), 831);
    EXPECT_EQ(checks.conditions, (std::vector<std::string>{"this->IsDropdownList() || !this->IsValid()",
                                                           "this->IsDropdownCombo() || !this->IsValid()"}));
    EXPECT_EQ(wrong.Hwnd(), dropCombo.Hwnd());
}

TEST_F(Lists, IconItemsAreMeasuredAndDrawnByTheHook)
{
    LISTCONTROL combo(Parent(), 841, "ComboBox", WS_VISIBLE | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED, 0, 0, 100, 100);
    static const char zero[] = "##ICON=0##";
    static const char missing[] = "##ICON=31999##";
    static const char plain[] = "plain";
    int index = static_cast<int>(combo.Add(zero));
    EXPECT_EQ(combo.SendMessage(CB_GETITEMDATA, index), reinterpret_cast<LRESULT>(zero)); // the pointer itself

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF blank = RGB(1, 2, 3);
    const struct {
        const char* data;
        UINT state;
        LRESULT measured, drawn;
        COLORREF pixel;
    } cases[] = {
        {zero, ODS_SELECTED, 1, 0, blank},
        {missing, ODS_SELECTED, 1, 1, GetSysColor(COLOR_HIGHLIGHT)},
        {missing, 0, 1, 1, GetSysColor(COLOR_WINDOW)},
        {plain, ODS_SELECTED, 0, 0, blank},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        SetPixel(dc, 3, 3, blank);
        ULONG_PTR data = reinterpret_cast<ULONG_PTR>(c.data);
        MEASUREITEMSTRUCT measure = {ODT_COMBOBOX, 841, 0, 50, 50, data};
        EXPECT_EQ(IconItemHook(Parent(), WM_MEASUREITEM, 841, reinterpret_cast<LPARAM>(&measure)), c.measured);
        EXPECT_EQ(measure.itemHeight, c.measured ? 16u : 50u);
        DRAWITEMSTRUCT draw = {ODT_COMBOBOX, 841, 0, ODA_DRAWENTIRE, c.state, combo.Hwnd(), dc, {0, 0, 16, 16}, data};
        EXPECT_EQ(IconItemHook(Parent(), WM_DRAWITEM, 841, reinterpret_cast<LPARAM>(&draw)), c.drawn);
        EXPECT_EQ(GetPixel(dc, 3, 3), c.pixel);
    }
    MEASUREITEMSTRUCT listItem = {ODT_LISTBOX, 841, 0, 50, 50, reinterpret_cast<ULONG_PTR>(zero)};
    EXPECT_EQ(IconItemHook(Parent(), WM_MEASUREITEM, 841, reinterpret_cast<LPARAM>(&listItem)), 0);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST_F(Controls, ControlFontPutsTheOldFontBack)
{
    STATICTEXT text(Parent(), 901, 0, 0, 0, 100, 20, "text");
    HFONT original = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    text.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(original));
    HFONT first = nullptr;
    HFONT second = nullptr;
    {
        CONTROLFONT font(Parent(), 901, "12B.Arial");
        first = font.Font();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(reinterpret_cast<HFONT>(text.SendMessage(WM_GETFONT)), font.Font());
        EXPECT_FALSE(font.Set("12X.Arial")); // refused: the font stays
        EXPECT_EQ(reinterpret_cast<HFONT>(text.SendMessage(WM_GETFONT)), font.Font());
        EXPECT_TRUE(font.Set("8I.Courier New", 0, FONTFLAG_UNDERLINE));
        second = font.Font();
        EXPECT_EQ(GetObjectType(first), 0u); // deleted once replaced
        LOGFONTA made = {};
        GetObjectA(font.Font(), sizeof(made), &made);
        EXPECT_TRUE(made.lfItalic && made.lfUnderline);
        EXPECT_STREQ(made.lfFaceName, "Courier New");
    }
    EXPECT_EQ(reinterpret_cast<HFONT>(text.SendMessage(WM_GETFONT)), original);
    EXPECT_EQ(GetObjectType(second), 0u);
}

TEST(FontDescription, ReadsWhatDescribeFontWrites)
{
    const char* roundTrips[] = {"8.MS Shell Dlg", "9B.Tahoma", "10BIF.Courier New", "12I.Arial", "72F.x", "11."};
    for (int dpi : {96, 120}) {
        for (const char* description : roundTrips) {
            LOGFONTA font;
            ASSERT_TRUE(ParseFontDescription(description, dpi, font)) << description;
            EXPECT_EQ(Text(DescribeFont(font, dpi)), description) << dpi;
            EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
        }
    }
    std::string longFace = "9." + std::string(LF_FACESIZE, 'f');
    const char* refused[] = {"",         "B.Arial",    "0.Arial",           "9Arial",         "9X.Arial",
                             "-9.Arial", "1001.Arial", "99999999999.Arial", longFace.c_str(), nullptr};
    for (const char* description : refused) {
        LOGFONTA font;
        EXPECT_FALSE(ParseFontDescription(description, 96, font)) << (description ? description : "(null)");
    }
}

} // namespace
