// MENU, ICONIMAGE and TASKBARICON on real menus, windows and Wine's notification area.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "checkrecorder.h"
#include "ui/iconimage.h"
#include "ui/menu.h"
#include "ui/taskbaricon.h"
#include "ui/window.h"

namespace {

constexpr int TEST_ICON = 300;
constexpr int TEST_BITMAP = 301;
constexpr int TEST_MENU = 310;

std::string ItemText(HMENU menu, UINT position)
{
    char text[256] = {};
    GetMenuStringA(menu, position, text, sizeof(text), MF_BYPOSITION);
    return text;
}

class TestWindow : public WINDOW {
public:
    TestWindow()
        : WINDOW(WS_OVERLAPPEDWINDOW | WS_VISIBLE, "menus", 50, 50, 300, 200, nullptr, 0, 0, "TarvoMenusWindow")
    {
    }
};

// A free menu with the items "One" (101), a separator, "Two" (102).
MENU ThreeItems()
{
    MENU menu(static_cast<HMENU>(nullptr));
    menu.CreateEmpty();
    menu.InsertItem("Two", 102, 0);
    menu.InsertItem(nullptr, 0, 0);
    menu.InsertItem("One", 101, 0);
    return menu;
}

TEST(Menu, ItemsReadBackThroughThePlatform)
{
    MENU menu = ThreeItems();
    HMENU handle = menu.hMenu;
    ASSERT_EQ(GetMenuItemCount(handle), 3);
    EXPECT_EQ(ItemText(handle, 0), "One");
    EXPECT_EQ(ItemText(handle, 2), "Two");
    EXPECT_TRUE(GetMenuState(handle, 1, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(menu.FindPosition(102), 2);
    EXPECT_EQ(menu.FindPosition(999), -1);
    EXPECT_TRUE(menu.IsSeparator(1));
    EXPECT_FALSE(menu.IsSeparator(0));

    EXPECT_TRUE(menu.EnableItem(101, 0));
    EXPECT_TRUE(GetMenuState(handle, 101, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(menu.IsEnabled(101));
    EXPECT_TRUE(menu.EnableItem(101, 1));
    EXPECT_TRUE(menu.IsEnabled(101));
    EXPECT_FALSE(menu.IsEnabled(999)); // the state of a missing item cannot be read

    EXPECT_TRUE(menu.CheckItem(102, 1));
    EXPECT_TRUE(GetMenuState(handle, 102, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(menu.IsChecked(102));
    EXPECT_FALSE(menu.EnableItem(999, 1));

    // A new text keeps the id; the 8-bit text goes through the system code page.
    EXPECT_TRUE(menu.SetItemText(2, "Zw\xF6lf", 1));
    EXPECT_EQ(ItemText(handle, 2), "Zw\xF6lf");
    EXPECT_EQ(menu.GetItemId(2), 102);
    EXPECT_STREQ(menu.GetMenuItemText(102, 0).c_str(), "Zw\xF6lf");
    // No position 101: the item with command id 101 is taken instead; nothing at all gives "".
    EXPECT_STREQ(menu.GetMenuItemText(101, 1).c_str(), "One");
    EXPECT_STREQ(menu.GetMenuItemText(555, 1).c_str(), "");

    EXPECT_TRUE(menu.RemoveItem(0, 1));
    EXPECT_EQ(GetMenuItemCount(handle), 2);
    EXPECT_TRUE(menu.Destroy());
    EXPECT_FALSE(IsMenu(handle));
    EXPECT_EQ(menu.Destroy(), 0);
}

TEST(Menu, OwnershipFollowsHowTheMenuWasMade)
{
    HMENU created;
    {
        MENU menu(static_cast<HMENU>(nullptr));
        ASSERT_TRUE(menu.CreateEmpty());
        created = menu.hMenu;
        MENU copy(menu);
        EXPECT_EQ(copy.hMenu, created);
        EXPECT_EQ(copy.owned, 0);
    }
    EXPECT_TRUE(IsMenu(created)) << "an empty menu is meant for a window and survives its object";
    DestroyMenu(created);

    HMENU loaded;
    {
        MENU menu(TEST_MENU, MENU_RESOURCEMODULE);
        ASSERT_TRUE(menu.hMenu);
        loaded = menu.hMenu;
        EXPECT_EQ(menu.owned, 1);
        EXPECT_EQ(menu.GetItemCount(), 2);
        EXPECT_FALSE(menu.LoadFromResource(999, GetModuleHandleW(nullptr)));
        EXPECT_FALSE(IsMenu(loaded)) << "loading again destroys the owned menu first";
        EXPECT_EQ(menu.owned, 0);
        ASSERT_TRUE(menu.LoadFromResource(TEST_MENU, GetModuleHandleW(nullptr)));
        loaded = menu.hMenu;
    }
    EXPECT_FALSE(IsMenu(loaded));
}

TEST(Menu, DeleteMenuItemSeparator)
{
    const struct {
        int position;
        int nowarn;
        int deleted;
        int countAfter;
        size_t reports;
    } cases[] = {
        {1, 0, 1, 2, 0}, // the separator
        {0, 1, 0, 3, 0}, // a text item, quietly
        {0, 0, 0, 3, 1}, // a text item, reported
        {7, 1, 0, 3, 0}, // no item there
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "position " << c.position << " nowarn " << c.nowarn);
        rig::CheckRecorder checks;
        MENU menu = ThreeItems();
        EXPECT_EQ(menu.DeleteMenuItemSeparator(c.position, c.nowarn), c.deleted);
        EXPECT_EQ(GetMenuItemCount(menu.hMenu), c.countAfter);
        ASSERT_EQ(checks.Total(), c.reports);
        if (c.reports) {
            EXPECT_EQ(checks.Conditions()[0], "nowarn || item_is_separator");
        }
        menu.Destroy();
    }
}

TEST(Menu, GetHelpMenuLooksAtTheLastItemOnly)
{
    const struct {
        const char* last;
        bool found;
    } cases[] = {
        {"&Help", true},    {"&Hilfe", true},   {"HE&LP", true},  {"hilfe", true},
        {"&Extras", false}, {"Help me", false}, {nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.last ? c.last : "(no last item)");
        MENU bar(static_cast<HMENU>(nullptr));
        bar.LoadFromResource(TEST_MENU);
        HMENU help = bar.GetSubMenu(1);
        if (c.last) {
            bar.SetItemText(1, c.last, 1);
        } else {
            bar.RemoveItem(1, 1);
            DestroyMenu(help);
        }
        EXPECT_EQ(bar.GetHelpMenu(), c.found ? help : nullptr);
    }
    MENU empty(static_cast<HMENU>(nullptr));
    empty.CreateEmpty();
    EXPECT_EQ(empty.GetHelpMenu(), nullptr);
    empty.Destroy();
}

TEST(Menu, WindowMenuBar)
{
    TestWindow window;
    MENU loaded(TEST_MENU, MENU_RESOURCEMODULE);
    ASSERT_TRUE(SetMenu(window.Hwnd(), loaded.hMenu));
    loaded.owned = 0; // the window destroys it now

    MENU bar(window.Hwnd());
    EXPECT_EQ(bar.hMenu, loaded.hMenu);
    EXPECT_EQ(bar.window, window.Hwnd());
    HMENU help = bar.GetSubMenu(1);
    EXPECT_TRUE(bar.RemoveItem(1, 1));
    EXPECT_TRUE(IsMenu(help)) << "a removed submenu may have an owner of its own";
    EXPECT_EQ(GetMenuItemCount(GetMenu(window.Hwnd())), 1);
    DestroyMenu(help);
}

// Posts keys that the popup's own loop reads, so that tracking ends without a user.
void PostKeys(HWND window, std::initializer_list<WPARAM> keys)
{
    for (WPARAM key : keys) {
        PostMessageW(window, WM_KEYDOWN, key, 1);
        PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    }
}

TEST(Menu, TrackPopupEndsOnKeysAndKeepsTheMenu)
{
    TestWindow window;
    MENU bar(TEST_MENU, MENU_RESOURCEMODULE);
    MENU file(bar.GetSubMenu(0));
    POINT at = {60, 60};

    PostKeys(window.Hwnd(), {VK_ESCAPE});
    EXPECT_EQ(file.TrackPopup(window.Hwnd(), &at, 1), 0);

    PostKeys(window.Hwnd(), {VK_DOWN, VK_RETURN});
    EXPECT_EQ(file.TrackPopup(window.Hwnd(), &at, 1 | 8), 311) << "bit 0 returns the chosen id";

    // Without bit 0 the choice goes to the window as a command; the result only says "chosen".
    PostKeys(window.Hwnd(), {VK_DOWN, VK_RETURN});
    EXPECT_EQ(file.TrackPopup(window.Hwnd(), nullptr, 0), 1);

    EXPECT_TRUE(IsMenu(file.hMenu));
    EXPECT_EQ(bar.GetSubMenu(0), file.hMenu) << "the popup stays in its own menu";
}

// A top-level window with icons of its own.
class IconWindow : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.IsValid());
        window.SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
        window.SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    }
    HICON Icon(WPARAM which) const { return reinterpret_cast<HICON>(window.SendMessage(WM_GETICON, which)); }

    TestWindow window;
    HICON small = LoadIconW(nullptr, MAKEINTRESOURCEW(32516)); // the standard information icon
    HICON big = LoadIconW(nullptr, MAKEINTRESOURCEW(32515));   // the standard warning icon
};

TEST_F(IconWindow, AttachAndDestructionPutThePreviousIconsBack)
{
    rig::CheckRecorder checks;
    HICON shown;
    {
        ICONIMAGE image(TEST_ICON, window.Hwnd());
        ASSERT_TRUE(image.IsLoaded());
        shown = image.GetIcon();
        EXPECT_EQ(Icon(ICON_SMALL), shown);
        EXPECT_EQ(Icon(ICON_BIG), shown);
        EXPECT_EQ(image.AttachFlags, 3);

        EXPECT_TRUE(image.Detach(1));
        EXPECT_EQ(Icon(ICON_SMALL), small);
        EXPECT_EQ(Icon(ICON_BIG), shown);
        EXPECT_TRUE(image.IsAttached());

        // Attaching again ends the earlier attachment first: what it remembers are the window's own icons.
        EXPECT_TRUE(image.Attach(window.Hwnd(), 1));
        EXPECT_EQ(Icon(ICON_BIG), big);
        EXPECT_EQ(image.AttachFlags, 1);
        EXPECT_TRUE(image.Attach(window.Hwnd(), 3));
    }
    EXPECT_EQ(Icon(ICON_SMALL), small);
    EXPECT_EQ(Icon(ICON_BIG), big);
    EXPECT_TRUE(checks.Conditions().empty());
}

TEST_F(IconWindow, LoadingAndReleasing)
{
    rig::CheckRecorder checks;
    ICONIMAGE image;
    EXPECT_FALSE(image.IsLoaded());
    EXPECT_EQ(image.Attach(window.Hwnd(), 3), 0);

    EXPECT_TRUE(image.LoadIconSized(TEST_ICON, 16, 16, GetModuleHandleW(nullptr)));
    EXPECT_EQ(image.GetId(), TEST_ICON);
    EXPECT_TRUE(image.LoadIcon(0)) << "id 0 keeps what is loaded";
    image.Attach(window.Hwnd(), 3);
    EXPECT_EQ(image.Release(), 1);
    EXPECT_EQ(Icon(ICON_SMALL), small) << "releasing detaches";
    EXPECT_EQ(image.Release(), 0);
    EXPECT_FALSE(image.LoadIcon(999));

    // A bitmap cannot stand in the title bar.
    ASSERT_TRUE(image.LoadBitmap(TEST_BITMAP, 0, 0));
    EXPECT_EQ(image.GetIcon(), nullptr);
    EXPECT_EQ(image.Attach(window.Hwnd(), 3), 0);
    EXPECT_EQ(Icon(ICON_BIG), big);
    EXPECT_EQ(checks.Conditions(), std::vector<std::string>{"this->IsIcon"});
}

TEST_F(IconWindow, ButtonImages)
{
    HWND button = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 5, 5, 40, 40, window.Hwnd(),
                                  reinterpret_cast<HMENU>(700), nullptr, nullptr);
    ASSERT_TRUE(button);
    const struct {
        bool icon;
        LONG style;
        WPARAM type;
    } cases[] = {{true, BS_ICON, IMAGE_ICON}, {false, BS_BITMAP, IMAGE_BITMAP}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.icon ? "icon" : "bitmap");
        rig::CheckRecorder checks;
        ICONIMAGE image;
        ASSERT_TRUE(c.icon ? image.LoadIcon(TEST_ICON) : image.LoadBitmap(TEST_BITMAP, 0, 0));
        EXPECT_TRUE(image.SetButtonImage(window.Hwnd(), 700));
        EXPECT_TRUE(GetWindowLongW(button, GWL_STYLE) & c.style);
        EXPECT_EQ(reinterpret_cast<HANDLE>(SendMessageW(button, BM_GETIMAGE, c.type, 0)), image.GetHandle());
        EXPECT_TRUE(image.ClearButtonImage(window.Hwnd(), 700));
        EXPECT_FALSE(GetWindowLongW(button, GWL_STYLE) & c.style);
        EXPECT_TRUE(checks.Conditions().empty());

        // Taking off an image that another put there is reported.
        HANDLE other = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(c.icon ? TEST_ICON : TEST_BITMAP),
                                  c.icon ? IMAGE_ICON : IMAGE_BITMAP, 0, 0, 0);
        SendMessageW(button, BM_SETIMAGE, c.type, reinterpret_cast<LPARAM>(other));
        image.ClearButtonImage(window.Hwnd(), 700);
        EXPECT_EQ(checks.Conditions(), std::vector<std::string>{"hiconlast==this->hIcon"});
        c.icon ? DestroyIcon(static_cast<HICON>(other)) : DeleteObject(other);
    }
}

TEST(TaskbarTooltip, AmpersandsAndLength)
{
    const std::string longText(1000, 'x');
    const struct {
        const char* text;
        std::string stored;
    } cases[] = {
        {"Save & Exit", "Save &&& Exit"},
        {longText.c_str(), std::string(63, 'x')},
        {"&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&", std::string(63, '&')},
        {"", ""},
        {nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        EXPECT_EQ(std::string(TaskbarTooltipText(c.text).c_str()), c.stored);
    }
}

// The calls that reach the notification area, passed on to the real one; modifications can be
// made to fail as a notification area that lost its icons does.
struct NotifyRecorder {
    NotifyRecorder()
    {
        previous = SetNotifyIconFunction(&Record);
        calls.clear();
        failModify = false;
    }
    ~NotifyRecorder() { SetNotifyIconFunction(previous); }
    NotifyRecorder(const NotifyRecorder&) = delete;
    NotifyRecorder& operator=(const NotifyRecorder&) = delete;

    static BOOL WINAPI Record(DWORD message, NOTIFYICONDATAA* data)
    {
        calls.push_back(message);
        if (failModify && message == NIM_MODIFY)
            return FALSE;
        return Shell_NotifyIconA(message, data);
    }
    static inline std::vector<DWORD> calls;
    static inline bool failModify = false;
    NOTIFYICONFUNCTION previous;
};

TEST(TaskbarIcon, WineNotificationArea)
{
    TestWindow window;
    NotifyRecorder recorder;
    TASKBARICON icon(window.Hwnd(), TEST_ICON, "Save & Exit");
    EXPECT_STREQ(icon.tooltip.c_str(), "Save &&& Exit");
    // Under Xvfb, with no tray on the X display, Wine's explorer still takes the icon.
    EXPECT_TRUE(icon.upAndRunning);
    EXPECT_TRUE(icon.IsVersion5());
    EXPECT_EQ(recorder.calls, std::vector<DWORD>{NIM_ADD});
    EXPECT_TRUE(icon.SetTooltip("Ready"));
    EXPECT_TRUE(icon.SetIcon(TEST_ICON));
    EXPECT_TRUE(icon.SetBalloon(NIIF_INFO, "Title", "Text", -1));

    // An icon that vanished from the notification area is added again by the next update.
    NOTIFYICONDATAA gone{};
    gone.cbSize = NOTIFYICONDATAA_V2_SIZE;
    gone.hWnd = window.Hwnd();
    gone.uID = TEST_ICON;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &gone));
    recorder.calls.clear();
    EXPECT_FALSE(icon.SetTooltip("Again"));
    EXPECT_EQ(recorder.calls, (std::vector<DWORD>{NIM_MODIFY, NIM_DELETE, NIM_ADD, NIM_MODIFY}));
    EXPECT_TRUE(icon.SetTooltip("Again")) << "the icon is back";

    EXPECT_TRUE(icon.Remove(1));
    EXPECT_EQ(icon.window, window.Hwnd());
    EXPECT_FALSE(icon.Remove(0)) << "already gone";
    EXPECT_EQ(icon.window, nullptr);
    EXPECT_TRUE(icon.tooltip.IsNull());
}

TEST(TaskbarIcon, RecreateGuardStopsAtOneReAdd)
{
    TestWindow window;
    NotifyRecorder recorder;
    TASKBARICON icon(window.Hwnd(), TEST_ICON, "Tip");
    recorder.failModify = true;
    recorder.calls.clear();

    EXPECT_FALSE(icon.SetTooltip("Never shown"));
    EXPECT_EQ(recorder.calls, (std::vector<DWORD>{NIM_MODIFY, NIM_DELETE, NIM_ADD, NIM_MODIFY}));
    EXPECT_EQ(icon.reAddGuard, 0);

    // Recreate without force first asks with the tooltip; forced, it re-adds and asks once more.
    recorder.calls.clear();
    EXPECT_FALSE(icon.Recreate(0));
    EXPECT_EQ(recorder.calls,
              (std::vector<DWORD>{NIM_MODIFY, NIM_DELETE, NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_ADD, NIM_MODIFY}));
    recorder.failModify = false;
    EXPECT_TRUE(icon.Recreate(0));
}

} // namespace
