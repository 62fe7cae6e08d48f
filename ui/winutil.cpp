#include "ui/winutil.h"

#include <algorithm>

#include "osys/handles.h"

namespace WINUTIL {

HWND FindTopLevel(HWND after, const char* className, const char* title)
{
    return FindWindowExA(nullptr, after, className, title);
}

int MapPoints(HWND from, HWND to, POINT* points, int count)
{
    return MapWindowPoints(from, to, points, static_cast<UINT>(count));
}

WNDPROC GetClassProcedure(HWND window)
{
    return reinterpret_cast<WNDPROC>(GetClassLongPtrA(window, GCLP_WNDPROC));
}

bool HasManyColours()
{
    UniqueScreenDC screen(GetDC(nullptr));
    // The palette size query has no answer above 8 bits per pixel.
    return screen && GetDeviceCaps(screen.get(), NUMCOLORS) == -1;
}

int DisplayDepth()
{
    UniqueScreenDC screen(GetDC(nullptr));
    return DepthOfBits(screen ? GetDeviceCaps(screen.get(), BITSPIXEL) : 0);
}

int DepthOfBits(int bitsPerPixel)
{
    return bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32 ? bitsPerPixel : 8;
}

uint32_t BlendColour(uint32_t from, uint32_t to, int percent)
{
    percent = std::clamp(percent, 0, 100);
    uint32_t blended = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int start = static_cast<int>((from >> shift) & 0xFF);
        int end = static_cast<int>((to >> shift) & 0xFF);
        int value = start + (end - start) * percent / 100;
        blended |= static_cast<uint32_t>(value & 0xFF) << shift;
    }
    return blended;
}

} // namespace WINUTIL
