#include "ui/infowindow.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/processvalues.h"
#include "osys/registry.h"
#include "ui/fonts.h"
#include "ui/winprocedure.h"

namespace {

// Hidden until shown.
constexpr DWORD WINDOW_STYLE = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN; // 0x06CF0000
constexpr DWORD TEXT_STYLE = ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL;  // 0x00200844
constexpr DWORD CHECKBOX_STYLE = BS_AUTOCHECKBOX;
constexpr char CHOICES_KEY[] = "Software\\Tarvo";

} // namespace

INFOWINDOW::INFOWINDOW(HWND parent, const char* title, const char* text, const char* registryKey,
                       const char* valueName)
    : WINDOW(WINDOW_STYLE, title, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, ID_WINDOW, 0,
             "TarvoWinClassInfoWindow"),
      TextArea(hWnd, ID_TEXT, "EDIT", TEXT_STYLE, 10, 10, 40, 40, text),
      CheckBox(hWnd, ID_CHECKBOX, "Button", CHECKBOX_STYLE, 10, 60, 10, 100, "Do not show this window again"),
      Font(CreateDescribedFont("10.MS Shell Dlg")), RegistryKey(registryKey), ValueName(valueName ? valueName : "")
{
    if (!IsValid())
        return;
    EnableThemeTexture();
    TextArea.AddExStyle(WS_EX_CLIENTEDGE);
    SetWindowPos(TextArea.Hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    CheckBox.Show(RemembersChoice() ? SW_SHOW : SW_HIDE);
    if (Font) {
        TextArea.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(Font.get()), TRUE);
        CheckBox.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(Font.get()), TRUE);
    }
    TextArea.Show(SW_SHOW);

    SIZE measured = MeasureText(text ? text : "");
    // The margins around the text area leave no room for its scroll bar, edge and inner margins:
    // without them every line as wide as the widest wraps.
    LRESULT margins = TextArea.SendMessage(EM_GETMARGINS);
    int textAreaChrome = GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE) + LOWORD(margins) +
                         HIWORD(margins);
    SIZE size = WindowSize(measured.cx + textAreaChrome, measured.cy);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    // Centred by the work area's size alone, as on a single monitor whose work area starts at 0.
    int x = ((work.right - work.left) - size.cx) / 2;
    int y = ((work.bottom - work.top) - size.cy) / 2;
    SetRect(RECT{x, y, x + size.cx, y + size.cy});

    if (IsGerman())
        CheckBox.SetText("Dieses Fenster nicht mehr anzeigen");
    CheckBox.AddExStyle(WS_EX_TRANSPARENT);
}

INFOWINDOW::~INFOWINDOW()
{
    if (RemembersChoice() && CheckState) {
        REGISTRY key(HKEY_CURRENT_USER, CHOICES_KEY, RegistryKey.c_str(), REGISTRY::OPEN_CREATE);
        int ok = key.WriteBinary(ValueName.c_str(), &CheckState, sizeof(CheckState));
        TARVO_ASSERT(ok);
    }
}

bool INFOWINDOW::IsSuppressed(const char* registryKey, const char* valueName)
{
    REGISTRY key(HKEY_CURRENT_USER, CHOICES_KEY, registryKey, REGISTRY::OPEN_READ);
    if (!key)
        return false;
    // Up to 4 bytes of any type; a longer value does not count as a choice.
    uint32_t choice = 0;
    DWORD size = sizeof(choice);
    return key.Read(valueName, &choice, &size) && choice != 0;
}

SIZE INFOWINDOW::WindowSize(int textWidth, int textHeight)
{
    return SIZE{textWidth + 30, textHeight + 85};
}

SIZE INFOWINDOW::MeasureText(const char* text)
{
    SIZE measured = MeasureTextLines(TextArea.Hwnd(), Font.get(), text);
    return SIZE{std::max<LONG>(measured.cx, 50), 50 + measured.cy};
}

void INFOWINDOW::Layout(int clientWidth, int clientHeight)
{
    TextArea.Move(10, 10, clientWidth - 20, clientHeight - 45);
    CheckBox.Move(10, clientHeight - 20, clientWidth - 20, 16);
}

LRESULT INFOWINDOW::WinProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            Layout(LOWORD(lParam), HIWORD(lParam));
        return 1;
    case WM_CLOSE:
        CheckState = CheckBox.GetCheck() == BST_CHECKED ? 1 : 0;
        // The window owns its object: unlink it first, so that the destruction of the window
        // below reaches no object.
        WINPROCEDURE::Unlink(hWnd, this);
        delete this;
        return 1;
    default:
        return WINDOW::WinProc(message, wParam, lParam);
    }
}

int INFOWINDOW::OnPaint()
{
    PAINTSTRUCT paint;
    if (HDC dc = BeginPaint(hWnd, &paint)) {
        FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
        EndPaint(hWnd, &paint);
    }
    return 1;
}

HWND ShowInfoWindow(HWND parent, const char* title, const char* text, const char* registryKey,
                    const char* valueName)
{
    // An empty key name is a key all the same: "Software\Tarvo" itself.
    bool remembers = registryKey && valueName && *valueName;
    if (remembers && INFOWINDOW::IsSuppressed(registryKey, valueName)) {
        LogPrint("ShowInfoWindow not shown: %s\\%s is set\n", registryKey, valueName);
        return nullptr;
    }
    auto window = std::make_unique<INFOWINDOW>(parent, title, text, registryKey, valueName);
    if (!window->IsValid())
        return nullptr;
    window->Show(SW_SHOW);
    // From here the window owns its object and deletes it when it is closed.
    return window.release()->Hwnd();
}
