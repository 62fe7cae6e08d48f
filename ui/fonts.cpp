#include "ui/fonts.h"

#include <cstdlib>

#include "diag/logit.h"

STRING DescribeFont(const LOGFONTA& font, int verticalDpi)
{
    int points = verticalDpi > 0 ? MulDiv(abs(font.lfHeight), 72, verticalDpi) : 0;
    // The face of a LOGFONTA need not be terminated: take at most its 32 bytes.
    char face[LF_FACESIZE + 1] = {};
    memcpy(face, font.lfFaceName, LF_FACESIZE);
    STRING text;
    text.Format("%d%s%s%s.%s", points, font.lfWeight >= FW_BOLD ? "B" : "", font.lfItalic ? "I" : "",
                (font.lfPitchAndFamily & 0x30) ? "F" : "", face);
    return text;
}

STRING DescribeMessageFont()
{
    // The size of the metrics record before the padded-border field was added: every system
    // answers it, where a newer record is refused by older systems.
    constexpr UINT METRICS_SIZE = 340;
    static_assert(sizeof(NONCLIENTMETRICSA) >= METRICS_SIZE);
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = METRICS_SIZE;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, METRICS_SIZE, &metrics, 0)) {
        LogPrint("DescribeMessageFont SPI_GETNONCLIENTMETRICS (%u bytes) failed, error=%lu\n", METRICS_SIZE,
                 GetLastError());
        return STRING();
    }
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return DescribeFont(metrics.lfMessageFont, dpi);
}
