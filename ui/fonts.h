// Font descriptions: a font as text "<points>[B][I][F].<face>" (bold, italic, fixed pitch),
// the form the dialog template rewrite reads the message font in.
#pragma once

#include <windows.h>

#include "text/strings.h"

// The description of font at a vertical resolution of verticalDpi dots per inch: the point
// size rounded from the height, "B" for a weight of 700 or more, "I" for italic, "F" when the
// pitch-and-family byte has any of the bits 0x30, then "." and the face.
STRING DescribeFont(const LOGFONTA& font, int verticalDpi);
// The description of the system's message font; empty when the system does not answer.
STRING DescribeMessageFont();
