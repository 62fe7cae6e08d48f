// Move-only owners of Win32 handles, one type per handle kind:
//   UniqueHandle      - kernel object handle, null when empty (processes, threads)
//   UniqueFileHandle  - file handle from CreateFile, INVALID_HANDLE_VALUE when empty
//   UniqueFindHandle  - FindFirstFile search handle, INVALID_HANDLE_VALUE when empty
//   UniqueScHandle    - Service Control Manager or service handle, null when empty
//   UniqueLocalMemory - memory the system allocated with LocalAlloc for the caller, null when empty
//   UniqueRegKey      - open registry key, null when empty
//   UniqueEventSource - event log source from RegisterEventSource, null when empty
//   UniqueModule      - loaded library, null when empty
//   UniqueFont        - GDI font, null when empty
//   UniqueIcon        - icon loaded or created for the caller (not a shared one), null when empty
//   UniqueScreenDC    - device context of the whole screen from GetDC (null), null when empty
//   UniqueWindowDC    - device context of a window from GetDC (window), released to that window
//   UniqueMenu        - menu loaded or created for the caller and not handed to a window, null when empty
//   UniqueAccelerator - accelerator table loaded for the caller, null when empty
#pragma once

#include <windows.h>

#include <utility>

// Owns one handle described by Traits (its type, its empty value and how it is closed).
template <typename Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() = default;
    explicit UniqueResource(Handle handle) : value(handle) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Handle get() const { return value; }
    explicit operator bool() const { return value != Traits::Empty(); }

    Handle release() { return std::exchange(value, Traits::Empty()); }

    // Closing keeps the thread's last error, so a failure is reported with the error that caused it.
    void reset(Handle handle = Traits::Empty())
    {
        Handle old = std::exchange(value, handle);
        if (old != Traits::Empty()) {
            DWORD error = GetLastError();
            Traits::Close(old);
            SetLastError(error);
        }
    }

private:
    Handle value = Traits::Empty();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { FindClose(handle); }
};

struct ScHandleTraits {
    using Handle = SC_HANDLE;
    static Handle Empty() { return nullptr; }
    static void Close(Handle handle) { CloseServiceHandle(handle); }
};

struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Empty() { return nullptr; }
    static void Close(Handle memory) { LocalFree(memory); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    static void Close(Handle handle) { RegCloseKey(handle); }
};

struct EventSourceTraits {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static void Close(Handle source) { DeregisterEventSource(source); }
};

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static void Close(Handle handle) { FreeLibrary(handle); }
};

struct FontTraits {
    using Handle = HFONT;
    static Handle Empty() { return nullptr; }
    static void Close(Handle font) { DeleteObject(font); }
};

struct IconTraits {
    using Handle = HICON;
    static Handle Empty() { return nullptr; }
    static void Close(Handle icon) { DestroyIcon(icon); }
};

struct ScreenDCTraits {
    using Handle = HDC;
    static Handle Empty() { return nullptr; }
    static void Close(Handle dc) { ReleaseDC(nullptr, dc); }
};

struct MenuTraits {
    using Handle = HMENU;
    static Handle Empty() { return nullptr; }
    static void Close(Handle menu) { DestroyMenu(menu); }
};

struct AcceleratorTraits {
    using Handle = HACCEL;
    static Handle Empty() { return nullptr; }
    static void Close(Handle table) { DestroyAcceleratorTable(table); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueScHandle = UniqueResource<ScHandleTraits>;
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;
using UniqueRegKey = UniqueResource<RegKeyTraits>;
using UniqueEventSource = UniqueResource<EventSourceTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueFont = UniqueResource<FontTraits>;
using UniqueIcon = UniqueResource<IconTraits>;
using UniqueScreenDC = UniqueResource<ScreenDCTraits>;
using UniqueMenu = UniqueResource<MenuTraits>;
using UniqueAccelerator = UniqueResource<AcceleratorTraits>;

// ReleaseDC needs the window the context was got for, which the context alone does not carry,
// so this owner keeps both. It lives within one block and is neither copied nor moved.
class UniqueWindowDC {
public:
    UniqueWindowDC(HWND window, HDC dc) : window(window), dc(dc) {}
    // Keeps the thread's last error, as UniqueResource does.
    ~UniqueWindowDC()
    {
        if (dc) {
            DWORD error = GetLastError();
            ReleaseDC(window, dc);
            SetLastError(error);
        }
    }

    UniqueWindowDC(const UniqueWindowDC&) = delete;
    UniqueWindowDC& operator=(const UniqueWindowDC&) = delete;

    HDC get() const { return dc; }
    explicit operator bool() const { return dc != nullptr; }

private:
    HWND window;
    HDC dc;
};
