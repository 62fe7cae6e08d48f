#include "ui/control.h"

#include "diag/assert.h"
#include "diag/logit.h"
#include "ui/modules.h"

namespace {

HWND AttachedHandle(HWND parent, int id)
{
    if (id == -1)
        return parent;
    return parent ? GetDlgItem(parent, id) : nullptr;
}

} // namespace

CONTROL::CONTROL(HWND parent, int id) : WINDOW(AttachedHandle(parent, id)) {}

namespace {

void LogCreation(HWND parent, int id, const char* className, DWORD style, const char* title, DWORD exStyle)
{
    LogPrint("CONTROL::CONTROL %p, %d, %s, %s, %x, %x\n", static_cast<void*>(parent), id, NullGuard(className, nullptr),
             NullGuard(title, nullptr), static_cast<unsigned>(style), static_cast<unsigned>(exStyle));
    LogPrint("CONTROL::CONTROL %d\n", IsWindow(parent) ? 1 : 0);
}

} // namespace

CONTROL::CONTROL(HWND parent, int id, const char* className, DWORD style, int x, int y, int width, int height,
                 const char* title, DWORD exStyle)
{
    LogCreation(parent, id, className, style, title, exStyle);
    RECT rect = {x, y, x + width, y + height};
    if (CreateControl(parent, id, className, style, rect, title, exStyle))
        Adopt(parent, id);
}

CONTROL::CONTROL(HWND parent, int id, const char* className, DWORD style, int placeholderId, const char* title,
                 DWORD exStyle)
{
    LogCreation(parent, id, className, style, title, exStyle);
    CONTROL placeholder(parent, placeholderId);
    if (!CreateControl(parent, id, className, style, placeholder.GetRect(), title, exStyle))
        return;
    if (placeholder.hWnd) {
        SetZOrder(+1, placeholder.hWnd);
        DestroyWindow(placeholder.hWnd);
    }
    // The new control may reuse the placeholder's id: the lookup must now find it.
    TARVO_CHECK(CONTROL(parent, id).Hwnd() == this->hWnd, "CONTROL(hwndparent, id).Hwnd()==this->hWnd", nullptr);
    Adopt(parent, id);
}

CONTROL::~CONTROL() = default;

bool CONTROL::CreateControl(HWND parent, int id, const char* className, DWORD style, const RECT& rect,
                            const char* title, DWORD exStyle)
{
    // No creation parameter: the control keeps its class's own procedure, and its
    // notifications reach the parent's object.
    hWnd = CreateWindowExA(exStyle, className, title, style | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)),
                           ToolkitProgramModule(), nullptr);
    return TARVO_ASSERT(this->hWnd);
}

void CONTROL::Adopt(HWND parent, int id)
{
    WindowId = id;
    AutoDestroy = 1;
    if (HFONT font = reinterpret_cast<HFONT>(::SendMessageA(parent, WM_GETFONT, 0, 0)))
        ::SendMessageA(hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

bool CONTROL::IsClass(const char* name, int type1, int type2, int type3) const
{
    char className[64] = {};
    if (!hWnd || !GetClassNameA(hWnd, className, sizeof(className)))
        return false;
    if (CompareNoCase(className, name, true) != 0)
        return false;
    if (type1 == -1)
        return true;
    int type = static_cast<int>(GetStyle() & 0xF);
    return type == type1 || type == type2 || type == type3;
}

bool CONTROL::IsButton() const
{
    return IsClass("Button", BS_PUSHBUTTON, BS_USERBUTTON, BS_DEFPUSHBUTTON);
}

bool CONTROL::IsListView() const
{
    return IsClass("SysListView32");
}

bool CONTROL::IsTreeView() const
{
    return IsClass("SysTreeView32");
}

bool CONTROL::IsTabControl() const
{
    return IsClass("SysTabControl32");
}

bool CONTROL::IsListBox() const
{
    return IsClass("ListBox");
}

bool CONTROL::IsComboBox() const
{
    return IsClass("ComboBox");
}

bool CONTROL::IsDropdownList() const
{
    return IsComboBox() && (GetStyle() & 7) == CBS_DROPDOWNLIST;
}

bool CONTROL::IsDropdownCombo() const
{
    return IsComboBox() && (GetStyle() & 7) == CBS_DROPDOWN;
}

int CONTROL::GetCheck() const
{
    return static_cast<int>(SendMessage(BM_GETCHECK));
}
