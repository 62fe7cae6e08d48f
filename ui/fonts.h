// Font descriptions: a font as text "<points>[B][I][F].<face>" (bold, italic, fixed pitch),
// the form the dialog template rewrite reads the message font in.
#pragma once

#include <windows.h>

#include "osys/handles.h"
#include "text/strings.h"

// The description of font at a vertical resolution of verticalDpi dots per inch: the point
// size rounded from the height, "B" for a weight of 700 or more, "I" for italic, "F" when the
// pitch-and-family byte has any of the bits 0x30, then "." and the face.
STRING DescribeFont(const LOGFONTA& font, int verticalDpi);
// The system's message font, read with the metrics record that every system answers; false
// when the system does not answer.
bool ReadMessageFont(LOGFONTA& font);
// The description of the system's message font; empty when the system does not answer.
STRING DescribeMessageFont();
// The size text takes in font (null: the window's device context's own) on window's device
// context: the widest line and the sum of the line heights. Lines end at CR LF, CR or LF; an
// empty line is as high as a blank.
SIZE MeasureTextLines(HWND window, HFONT font, const char* text);

// Font factory, the reverse of DescribeFont: builds a font from a description
// "<points>[B][I][F].<face>" for code page 1252.
constexpr int FONTFLAG_BOLD = 0x1;
constexpr int FONTFLAG_ITALIC = 0x2;
constexpr int FONTFLAG_UNDERLINE = 0x4;

// Fills font from description at verticalDpi dots per inch ("F" gives a fixed-pitch modern
// face); false for a description that is not of that form or whose face does not fit.
bool ParseFontDescription(const char* description, int verticalDpi, LOGFONTA& font);
// A new font from description at the screen's resolution; size, when above 0, replaces the
// described point size, and the FONTFLAG bits are added. Empty on failure.
UniqueFont CreateDescribedFont(const char* description, int size = 0, int flags = 0);
