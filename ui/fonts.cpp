#include "ui/fonts.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "diag/assert.h"
#include "diag/logit.h"

namespace {

// Font heights are given in points of 1/72 inch.
constexpr int POINTS_PER_INCH = 72;
// "F" stands for any bit of the modern family's value, so roman and swiss faces count as well.
constexpr BYTE FIXED_FAMILY_BITS = FF_MODERN;
// Larger sizes are not fonts but typing errors; the bound also keeps the height arithmetic small.
constexpr int MAX_FONT_POINTS = 1000;

// The screen's vertical dots per inch as the screen answers; the default without a screen context.
int ScreenDeviceDpi()
{
    UniqueScreenDC screen(GetDC(nullptr));
    return screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
}

int ScreenVerticalDpi()
{
    int dpi = ScreenDeviceDpi();
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

} // namespace

STRING DescribeFont(const LOGFONTA& font, int verticalDpi)
{
    int points = verticalDpi > 0 ? MulDiv(abs(font.lfHeight), POINTS_PER_INCH, verticalDpi) : 0;
    // The face of a LOGFONTA need not be terminated: take at most its 32 bytes.
    char face[LF_FACESIZE + 1] = {};
    memcpy(face, font.lfFaceName, LF_FACESIZE);
    STRING text;
    text.Format("%d%s%s%s.%s", points, font.lfWeight >= FW_BOLD ? "B" : "", font.lfItalic ? "I" : "",
                (font.lfPitchAndFamily & FIXED_FAMILY_BITS) ? "F" : "", face);
    return text;
}

bool ReadMessageFont(LOGFONTA& font)
{
    // The size of the metrics record before the padded-border field was added: every system
    // answers it, where a newer record is refused by older systems.
    constexpr UINT METRICS_SIZE = 340;
    static_assert(offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth) == METRICS_SIZE);
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = METRICS_SIZE;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, METRICS_SIZE, &metrics, 0)) {
        LogPrint("ReadMessageFont SPI_GETNONCLIENTMETRICS (%u bytes) failed, error=%lu\n", METRICS_SIZE, GetLastError());
        return false;
    }
    font = metrics.lfMessageFont;
    return true;
}

STRING DescribeMessageFont()
{
    LOGFONTA font = {};
    if (!ReadMessageFont(font))
        return STRING();
    return DescribeFont(font, ScreenDeviceDpi());
}

SIZE MeasureTextLines(HWND window, HFONT font, const char* text)
{
    SIZE size = {0, 0};
    UniqueWindowDC dc(window, GetDC(window));
    if (!TARVO_CHECK(dc.get() != nullptr, "hdc", nullptr))
        return size;
    HGDIOBJ previous = font ? SelectObject(dc.get(), font) : nullptr;
    for (const char* line = text ? text : "";;) {
        size_t length = strcspn(line, "\r\n");
        SIZE extent = {};
        GetTextExtentPoint32A(dc.get(), length ? line : " ", length ? static_cast<int>(length) : 1, &extent);
        size.cx = std::max(size.cx, extent.cx);
        size.cy += extent.cy;
        const char* end = line + length;
        if (!*end)
            break;
        line = end + (end[0] == '\r' && end[1] == '\n' ? 2 : 1);
    }
    // The font goes out of the context before the context is released.
    if (previous)
        SelectObject(dc.get(), previous);
    return size;
}

bool ParseFontDescription(const char* description, int verticalDpi, LOGFONTA& font)
{
    font = {};
    if (!description || verticalDpi <= 0 || *description < '0' || *description > '9')
        return false;
    int points = 0;
    const char* p = description;
    for (; *p >= '0' && *p <= '9'; p++) {
        points = points * 10 + (*p - '0');
        if (points > MAX_FONT_POINTS)
            return false;
    }
    if (points == 0)
        return false;
    font.lfWeight = FW_NORMAL;
    for (; *p && *p != '.'; p++) {
        switch (*p) {
        case 'B':
            font.lfWeight = FW_BOLD;
            break;
        case 'I':
            font.lfItalic = TRUE;
            break;
        case 'F':
            font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
            break;
        default:
            return false;
        }
    }
    if (*p != '.')
        return false;
    const char* face = p + 1;
    size_t faceLength = strlen(face);
    if (faceLength >= LF_FACESIZE)
        return false;
    memcpy(font.lfFaceName, face, faceLength + 1);
    font.lfHeight = -MulDiv(points, verticalDpi, POINTS_PER_INCH);
    font.lfCharSet = ANSI_CHARSET; // code page 1252
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    return true;
}

UniqueFont CreateDescribedFont(const char* description, int size, int flags)
{
    int dpi = ScreenVerticalDpi();
    LOGFONTA font;
    if (!ParseFontDescription(description, dpi, font)) {
        LogPrint("CreateDescribedFont %s refused\n", NullGuard(description, nullptr));
        return UniqueFont();
    }
    if (size > 0 && size <= MAX_FONT_POINTS)
        font.lfHeight = -MulDiv(size, dpi, POINTS_PER_INCH);
    if (flags & FONTFLAG_BOLD)
        font.lfWeight = FW_BOLD;
    if (flags & FONTFLAG_ITALIC)
        font.lfItalic = TRUE;
    if (flags & FONTFLAG_UNDERLINE)
        font.lfUnderline = TRUE;
    return UniqueFont(CreateFontIndirectA(&font));
}
