// Transparency, animation, the on-screen test and the stored window rectangle on real windows
// of Wine's window system and its registry; the colour and depth rules as plain functions.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "osys/registry.h"
#include "testlog.h"
#include "ui/window.h"
#include "ui/winutil.h"

namespace {

constexpr char TEST_KEY[] = "TarvoEffectsTest";

// A visible top-level window; the stored values under its test key go with the fixture.
class EffectsTest : public ::testing::Test {
protected:
    EffectsTest() : window(WS_OVERLAPPEDWINDOW | WS_VISIBLE, "effects", 60, 50, 300, 200, nullptr, 0, 0, "TarvoEffects")
    {
    }
    ~EffectsTest() override
    {
        REGISTRY parent(HKEY_CURRENT_USER, "Software\\Tarvo", nullptr, REGISTRY::OPEN_WRITE);
        parent.DeleteKey(TEST_KEY, true);
    }

    static std::string Shown(const RECT& rect)
    {
        char text[64];
        snprintf(text, sizeof(text), "(%d, %d, %d, %d)", static_cast<int>(rect.left), static_cast<int>(rect.top),
                 static_cast<int>(rect.right), static_cast<int>(rect.bottom));
        return text;
    }

    WINDOW window;
};

TEST_F(EffectsTest, TransparencyClampsAndLayers)
{
    BYTE alpha = 99;
    COLORREF key = 0;
    DWORD mode = 0;

    EXPECT_EQ(window.SetTransparency(-5, -1), 1);
    EXPECT_NE(window.GetExStyle() & WS_EX_LAYERED, 0u);
    ASSERT_TRUE(GetLayeredWindowAttributes(window.hWnd, &key, &alpha, &mode));
    EXPECT_EQ(alpha, 0);
    EXPECT_EQ(mode, static_cast<DWORD>(LWA_ALPHA));

    EXPECT_EQ(window.SetTransparency(300, -1), 1);
    EXPECT_EQ(window.GetExStyle() & WS_EX_LAYERED, 0u);

    EXPECT_EQ(window.SetTransparency(128, 0x00FF00), 1);
    ASSERT_TRUE(GetLayeredWindowAttributes(window.hWnd, &key, &alpha, &mode));
    EXPECT_EQ(mode, static_cast<DWORD>(LWA_COLORKEY));
    EXPECT_EQ(key, 0x00FF00u);
}

TEST_F(EffectsTest, AnimateLeavesTheAskedVisibility)
{
    struct Case {
        DWORD flags;
        int show;
    } cases[] = {{0, 0}, {0, 1}, {AW_BLEND, 0}, {AW_BLEND, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(window.Animate(c.flags, 20, c.show), 1);
        EXPECT_EQ(IsWindowVisible(window.hWnd) != FALSE, c.show != 0) << c.flags << " show " << c.show;
    }
}

TEST_F(EffectsTest, IsOnScreen)
{
    EXPECT_TRUE(window.IsOnScreen());
    RECT desktop = WINDOW::GetDesktopRect();
    window.Move(desktop.right + 50, desktop.bottom + 50);
    EXPECT_FALSE(window.IsOnScreen());
    window.Move(60, 50);
    window.Show(0);
    EXPECT_FALSE(window.IsOnScreen());
    EXPECT_EQ(window.StoreWindowPos(TEST_KEY, "Main"), 0); // hidden windows are not stored
    EXPECT_FALSE(REGISTRY::KeyExists(HKEY_CURRENT_USER, "Software\\Tarvo", TEST_KEY, REGISTRY::OPEN_READ));
}

TEST_F(EffectsTest, StoreThenRestoreOnTheSameDesktop)
{
    rig::TestLog log("effects-store.log");
    window.SetRect({70, 80, 370, 300});
    RECT stored = window.GetRect();
    ASSERT_EQ(window.StoreWindowPos(TEST_KEY, "Main"), 1);
    EXPECT_TRUE(log.Contains("WINDOW::StoreWindowPos" + Shown(stored) + "\r\n")) << log.Bytes();

    REGISTRY key(HKEY_CURRENT_USER, "Software\\Tarvo", TEST_KEY, REGISTRY::OPEN_READ);
    int32_t bytes[5] = {};
    DWORD size = sizeof(bytes), type = 0;
    STRING maximized;
    ASSERT_EQ(key.Read("Main", bytes, &size, &type) + key.ReadString("MainMaximized", maximized), 2);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(Shown({bytes[0], bytes[1], bytes[2], bytes[3]}), Shown(stored));
    EXPECT_STREQ(maximized.c_str(), "0");

    window.SetRect({10, 10, 110, 90});
    EXPECT_EQ(window.RestoreWindowPos(TEST_KEY, "Main", false), 1);
    EXPECT_EQ(Shown(window.GetRect()), Shown(stored));
    RECT desktop = WINDOW::GetDesktopRect();
    EXPECT_TRUE(log.Contains("WINDOW::RestoreWindowPos screen= " + Shown(desktop) + "\r\n"));
    EXPECT_TRUE(log.Contains("WINDOW::RestoreWindowPos rect= " + Shown(stored) + ", success= 1\r\n"));

    // Keeping the size moves only the origin.
    window.SetRect({10, 10, 210, 150});
    EXPECT_EQ(window.RestoreWindowPos(TEST_KEY, "Main", true), 1);
    EXPECT_EQ(Shown(window.GetRect()), Shown({stored.left, stored.top, stored.left + 200, stored.top + 140}));
}

TEST_F(EffectsTest, MaximizedWindowStoresItsNormalRectangle)
{
    window.SetRect({90, 70, 390, 270});
    RECT normal = window.GetRect();
    window.Maximize();
    ASSERT_TRUE(IsZoomed(window.hWnd));
    ASSERT_EQ(window.StoreWindowPos(TEST_KEY, "Main"), 1);
    window.Restore();
    window.SetRect({10, 10, 110, 90});
    ASSERT_FALSE(IsZoomed(window.hWnd));

    EXPECT_EQ(window.RestoreWindowPos(TEST_KEY, "Main", false), 1);
    EXPECT_TRUE(IsZoomed(window.hWnd));
    window.Restore();
    EXPECT_EQ(Shown(window.GetRect()), Shown(normal));
}

TEST_F(EffectsTest, UnusableStoredRectangleMovesNothing)
{
    RECT desktop = WINDOW::GetDesktopRect();
    const int32_t offDesktop[4] = {desktop.right - 10, 20, desktop.right + 200, 220};
    const int32_t aboveDesktop[4] = {20, desktop.top - 11, 220, 200};
    const int32_t fine[4] = {30, 40, 230, 240};
    struct Case {
        const char* name;
        const void* bytes; // null: no value at all
        DWORD count;
    } cases[] = {
        {"no value", nullptr, 0},
        {"15 bytes", fine, 15},
        {"left at the desktop's right edge - 10", offDesktop, 16},
        {"top above the desktop", aboveDesktop, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig::TestLog log("effects-restore.log");
        window.Restore();
        window.SetRect({10, 10, 110, 90});
        RECT before = window.GetRect();
        if (c.bytes) {
            REGISTRY key(HKEY_CURRENT_USER, "Software\\Tarvo", TEST_KEY, REGISTRY::OPEN_CREATE);
            ASSERT_EQ(key.WriteBinary("Main", c.bytes, c.count) + key.WriteString("MainMaximized", "1"), 2);
        }
        EXPECT_EQ(window.RestoreWindowPos(TEST_KEY, "Main", false), 0);
        EXPECT_TRUE(log.Contains(", success= 0\r\n")) << log.Bytes();
        // The maximized flag applies even so.
        EXPECT_EQ(IsZoomed(window.hWnd) != FALSE, c.bytes != nullptr);
        window.Restore();
        EXPECT_EQ(Shown(window.GetRect()), Shown(before));
    }
}

TEST(WindowColours, BlendMovesEachByte)
{
    // Truncation toward zero: 0xFF halfway to 0 is 0x80, 0 halfway to 0xFF is 0x7F.
    struct Case {
        uint32_t from, to;
        int percent;
        uint32_t expected;
    } cases[] = {
        {0x00000000, 0xFFFFFFFF, 0, 0x00000000},  {0x00000000, 0xFFFFFFFF, 100, 0xFFFFFFFF},
        {0x00000000, 0xFFFFFFFF, 50, 0x7F7F7F7F}, {0xFF804020, 0x00000000, 50, 0x80402010},
        {0x10203040, 0x40302010, 50, 0x28282828}, {0x12345678, 0x9ABCDEF0, 100, 0x9ABCDEF0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WINUTIL::BlendColour(c.from, c.to, c.percent), c.expected)
            << std::hex << c.from << " " << c.to << " " << std::dec << c.percent;
}

TEST(WindowColours, DepthOfBits)
{
    const int cases[][2] = {{1, 8}, {4, 8}, {8, 8}, {15, 8}, {16, 16}, {24, 24}, {32, 32}, {0, 8}, {48, 8}};
    for (const auto& c : cases)
        EXPECT_EQ(WINUTIL::DepthOfBits(c[0]), c[1]) << c[0];
    // The rig's screen runs at 24 bits per pixel.
    EXPECT_TRUE(WINUTIL::HasManyColours());
    EXPECT_GE(WINUTIL::DisplayDepth(), 16);
}

TEST_F(EffectsTest, WindowSystemUtilities)
{
    EXPECT_EQ(WINUTIL::FindTopLevel(nullptr, "TarvoEffects", "effects"), window.hWnd);
    EXPECT_EQ(WINUTIL::FindTopLevel(window.hWnd, "TarvoEffects", "effects"), nullptr);
    EXPECT_EQ(WINUTIL::GetClassProcedure(window.hWnd), &BASEWINDOW::WindowProcedure);
}

} // namespace
