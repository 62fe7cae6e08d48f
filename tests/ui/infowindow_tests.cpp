// The information window: its remembered choice in the registry, its items and its layout.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ui/infowindow.h"

namespace {

const std::string kKey = "TarvoTestInfo" + std::to_string(GetCurrentProcessId());
const std::string kKeyPath = "Software\\Tarvo\\" + kKey;

void StoreChoice(DWORD value)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, kKeyPath.c_str(), "Choice", REG_BINARY, &value, sizeof value);
}

RECT ChildRect(HWND window, int id)
{
    HWND child = GetDlgItem(window, id);
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST(InfoWindow, RemembersOnlyANonZeroChoice)
{
    RegDeleteKeyA(HKEY_CURRENT_USER, kKeyPath.c_str());
    // No value, then a stored 0: shown with the check box; closing unchecked stores nothing.
    for (bool storedZero : {false, true}) {
        if (storedZero)
            StoreChoice(0);
        HWND window = ShowInfoWindow(nullptr, "Info", "text", kKey.c_str(), "Choice");
        ASSERT_TRUE(window);
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, INFOWINDOW::ID_CHECKBOX)));
        SendMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_FALSE(INFOWINDOW::IsSuppressed(kKey.c_str(), "Choice"));
    }
    // Ticked and closed: the choice is stored and the next call shows nothing.
    HWND window = ShowInfoWindow(nullptr, "Info", "text", kKey.c_str(), "Choice");
    ASSERT_TRUE(window);
    SendMessageA(GetDlgItem(window, INFOWINDOW::ID_CHECKBOX), BM_CLICK, 0, 0);
    SendMessageA(window, WM_CLOSE, 0, 0);
    DWORD value = 0, size = sizeof value, type = 0;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, kKeyPath.c_str(), "Choice", RRF_RT_ANY, &type, &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(ShowInfoWindow(nullptr, "Info", "text", kKey.c_str(), "Choice"), nullptr);
    StoreChoice(7);
    EXPECT_EQ(ShowInfoWindow(nullptr, "Info", "text", kKey.c_str(), "Choice"), nullptr);
    RegDeleteKeyA(HKEY_CURRENT_USER, kKeyPath.c_str());
}

TEST(InfoWindow, WithoutAValueNameTheCheckBoxIsHidden)
{
    for (const char* key : {static_cast<const char*>(nullptr), kKey.c_str()}) {
        HWND window = ShowInfoWindow(nullptr, "Info", "text", key, key ? nullptr : "Choice");
        ASSERT_TRUE(window);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, INFOWINDOW::ID_CHECKBOX)));
        SendMessageA(window, WM_CLOSE, 0, 0);
    }
}

TEST(InfoWindow, SizedByItsTextAndLaidOutOnResize)
{
    HWND small = ShowInfoWindow(nullptr, "Info", "", nullptr, nullptr);
    ASSERT_TRUE(small);
    RECT rect{};
    GetWindowRect(small, &rect);
    // The smallest text measures 50 x 50; the frame adds 30 x 85.
    EXPECT_GE(rect.right - rect.left, 80);
    EXPECT_GE(rect.bottom - rect.top, 135);
    SendMessageA(small, WM_CLOSE, 0, 0);

    std::string text = std::string(40, 'w') + "\r\nsecond line\r\n\r\nfourth";
    HWND window = ShowInfoWindow(nullptr, "Info", text.c_str(), nullptr, nullptr);
    ASSERT_TRUE(window);
    char read[400] = "";
    GetWindowTextA(GetDlgItem(window, INFOWINDOW::ID_TEXT), read, sizeof read);
    EXPECT_EQ(read, text);
    // Wide enough that no line wraps beside the scroll bar.
    EXPECT_EQ(SendMessageA(GetDlgItem(window, INFOWINDOW::ID_TEXT), EM_GETLINECOUNT, 0, 0), 4);

    SetWindowPos(window, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    GetClientRect(window, &client);
    RECT textArea = ChildRect(window, INFOWINDOW::ID_TEXT);
    RECT checkBox = ChildRect(window, INFOWINDOW::ID_CHECKBOX);
    EXPECT_EQ(textArea.left, 10);
    EXPECT_EQ(textArea.top, 10);
    EXPECT_EQ(textArea.right, client.right - 10);
    EXPECT_EQ(textArea.bottom, client.bottom - 35);
    EXPECT_EQ(checkBox.top, client.bottom - 20);
    EXPECT_EQ(checkBox.bottom - checkBox.top, 16);
    SendMessageA(window, WM_CLOSE, 0, 0);
}

} // namespace
