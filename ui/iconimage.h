// ICONIMAGE: an icon or bitmap resource that can stand in a window's title bar (putting the
// window's own icons back when it leaves) or on a button.
#pragma once

#include <windows.h>

class ICONIMAGE {
public:
    HANDLE hIcon = nullptr;        // the icon or bitmap, null when nothing is loaded
    HWND hwndAttach = nullptr;     // the window whose title-bar icons it replaces, or null
    HICON previousSmall = nullptr; // that window's icons before, to put back
    HICON previousBig = nullptr;
    int resourceId = 0;  // the id it was loaded from
    int AttachFlags = 0; // bit 1: small icon attached, bit 2: big icon attached
    int IsIcon = 0;      // 1 for an icon, 0 for a bitmap

    // Loads icon id (nothing for 0 or -1) from the default modules and, with a window,
    // attaches it as both title-bar icons.
    explicit ICONIMAGE(int id = 0, HWND window = nullptr);
    ICONIMAGE(const ICONIMAGE&) = delete;
    ICONIMAGE& operator=(const ICONIMAGE&) = delete;
    // Puts the window's icons back when the window still exists, then releases the image.
    virtual ~ICONIMAGE();

    // Shows the image on button item of parent (adding the icon or bitmap style); 1 on success.
    virtual int SetButtonImage(HWND parent, int itemId);
    // Takes the image off the button and removes the style again; reports an image that was not
    // this one's.
    virtual int ClearButtonImage(HWND parent, int itemId);
    // Flags 1: the window's small icon, 2: its big icon. Any earlier attachment ends first.
    // 1 when attached; 0 when nothing is loaded or the image is a bitmap.
    virtual int Attach(HWND window, int flags);
    // Puts back the window icons of the flags given; forgets the window when none remain.
    virtual int Detach(int flags);
    // Without a module: the resource module, failing that the program module. Id 0 loads
    // nothing and changes nothing. True when an icon is loaded.
    virtual bool LoadIcon(int id, HMODULE module = nullptr);
    virtual bool LoadIconSized(int id, int width, int height, HMODULE module = nullptr);
    // The standard 3D colours mapped to the system's, the top-left pixel's colour transparent.
    virtual bool LoadBitmap(int id, int width, int height, HMODULE module = nullptr);
    // Detaches and destroys the image; 1, or 0 when nothing was loaded.
    virtual int Release();
    virtual bool IsAttached() const;
    virtual int GetId() const;
    virtual HANDLE GetHandle() const;
    // The icon; null for a bitmap or when nothing is loaded.
    virtual HICON GetIcon() const;
    virtual bool IsLoaded() const;

private:
    // Loads from module, or from the resource module and failing that the program module.
    static HANDLE LoadFromModules(int id, UINT type, int width, int height, UINT flags, HMODULE module);
};
