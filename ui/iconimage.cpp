// ICONIMAGE: loading, title-bar attachment and button images.
#include "ui/iconimage.h"

#include "diag/assert.h"
#include "ui/control.h"
#include "ui/modules.h"

ICONIMAGE::ICONIMAGE(int id, HWND window)
{
    if (id == 0 || id == -1)
        return;
    LoadIcon(id);
    if (window)
        Attach(window, 3);
}

ICONIMAGE::~ICONIMAGE()
{
    // A destroyed window has no icons to take back.
    if (hwndAttach && IsWindow(hwndAttach))
        Detach(3);
    hwndAttach = nullptr;
    AttachFlags = 0;
    Release();
}

HANDLE ICONIMAGE::LoadFromModules(int id, UINT type, int width, int height, UINT flags, HMODULE module)
{
    if (module)
        return LoadImageW(module, MAKEINTRESOURCEW(id), type, width, height, flags);
    HANDLE image = LoadImageW(ToolkitResourceModule(), MAKEINTRESOURCEW(id), type, width, height, flags);
    if (!image)
        image = LoadImageW(ToolkitProgramModule(), MAKEINTRESOURCEW(id), type, width, height, flags);
    return image;
}

bool ICONIMAGE::LoadIcon(int id, HMODULE module)
{
    // Without a size the system's standard icon size; never LR_SHARED, so that it can be destroyed.
    return LoadIconSized(id, 0, 0, module);
}

bool ICONIMAGE::LoadIconSized(int id, int width, int height, HMODULE module)
{
    if (id == 0)
        return IsLoaded();
    Release();
    UINT flags = (width == 0 && height == 0) ? LR_DEFAULTSIZE : 0;
    hIcon = LoadFromModules(id, IMAGE_ICON, width, height, flags, module);
    if (hIcon) {
        resourceId = id;
        IsIcon = 1;
    }
    return hIcon != nullptr;
}

bool ICONIMAGE::LoadBitmap(int id, int width, int height, HMODULE module)
{
    Release();
    hIcon = LoadFromModules(id, IMAGE_BITMAP, width, height, LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT, module);
    if (hIcon)
        resourceId = id;
    return hIcon != nullptr;
}

int ICONIMAGE::Release()
{
    if (!hIcon)
        return 0;
    Detach(3);
    if (IsIcon)
        DestroyIcon(static_cast<HICON>(hIcon));
    else
        DeleteObject(hIcon);
    hIcon = nullptr;
    resourceId = 0;
    IsIcon = 0;
    return 1;
}

int ICONIMAGE::Attach(HWND window, int flags)
{
    if (!hIcon)
        return 0;
    if (!TARVO_CHECK(IsIcon, "this->IsIcon", nullptr))
        return 0;
    Detach(3);
    TARVO_CHECK(!hwndAttach, "!this->hwndAttach", nullptr);
    TARVO_CHECK(!AttachFlags, "!this->AttachFlags", nullptr);
    if (flags & 1) {
        previousSmall =
            reinterpret_cast<HICON>(SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
        AttachFlags |= 1;
    }
    if (flags & 2) {
        previousBig =
            reinterpret_cast<HICON>(SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon)));
        AttachFlags |= 2;
    }
    if (AttachFlags)
        hwndAttach = window;
    SendMessageW(window, WM_NCPAINT, 1, 0);
    return 1;
}

int ICONIMAGE::Detach(int flags)
{
    if (!hwndAttach) {
        TARVO_CHECK(!AttachFlags, "!this->AttachFlags", nullptr);
        return 0;
    }
    TARVO_CHECK(IsIcon, "this->IsIcon", nullptr);
    TARVO_CHECK(AttachFlags, "this->AttachFlags", nullptr);
    if ((flags & 1) && (AttachFlags & 1)) {
        SendMessageW(hwndAttach, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(previousSmall));
        previousSmall = nullptr;
        AttachFlags &= ~1;
    }
    if ((flags & 2) && (AttachFlags & 2)) {
        SendMessageW(hwndAttach, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(previousBig));
        previousBig = nullptr;
        AttachFlags &= ~2;
    }
    if (!AttachFlags)
        hwndAttach = nullptr;
    return 1;
}

int ICONIMAGE::SetButtonImage(HWND parent, int itemId)
{
    CONTROL button(parent, itemId);
    if (!button.IsValid() || !hIcon)
        return 0;
    button.AddStyle(IsIcon ? BS_ICON : BS_BITMAP);
    button.SendMessage(BM_SETIMAGE, IsIcon ? IMAGE_ICON : IMAGE_BITMAP, reinterpret_cast<LPARAM>(hIcon));
    return 1;
}

int ICONIMAGE::ClearButtonImage(HWND parent, int itemId)
{
    CONTROL button(parent, itemId);
    if (!button.IsValid())
        return 0;
    HANDLE hiconlast = reinterpret_cast<HANDLE>(button.SendMessage(BM_SETIMAGE, IsIcon ? IMAGE_ICON : IMAGE_BITMAP, 0));
    button.RemoveStyle(IsIcon ? BS_ICON : BS_BITMAP);
    TARVO_CHECK(hiconlast == hIcon, "hiconlast==this->hIcon", nullptr);
    return 1;
}

bool ICONIMAGE::IsAttached() const
{
    return hwndAttach != nullptr;
}

int ICONIMAGE::GetId() const
{
    return resourceId;
}

HANDLE ICONIMAGE::GetHandle() const
{
    return hIcon;
}

HICON ICONIMAGE::GetIcon() const
{
    return IsIcon ? static_cast<HICON>(hIcon) : nullptr;
}

bool ICONIMAGE::IsLoaded() const
{
    return hIcon != nullptr;
}
