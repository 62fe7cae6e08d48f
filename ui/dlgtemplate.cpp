// The dialog template rewrite: plain logic over the template's bytes, without a window.
#include <cstring>

#include "osys/ostype.h"
#include "text/wstring.h"
#include "ui/dialog.h"

namespace {

// The longest face name a font can have, without its terminating zero.
constexpr size_t FACE_MAX = LF_FACESIZE - 1;

unsigned Word(const unsigned char* bytes, size_t offset)
{
    return bytes[offset] | (bytes[offset + 1] << 8);
}

void PutWord(unsigned char* bytes, size_t offset, unsigned value)
{
    bytes[offset] = static_cast<unsigned char>(value & 0xFF);
    bytes[offset + 1] = static_cast<unsigned char>(value >> 8);
}

// The offset after the zero-terminated wide text at offset; 0 when it runs past size.
size_t SkipWideText(const unsigned char* bytes, size_t size, size_t offset)
{
    for (; offset + 1 < size; offset += 2) {
        if (Word(bytes, offset) == 0)
            return offset + 2;
    }
    return 0;
}

size_t AlignToFour(size_t offset)
{
    return (offset + 3) & ~static_cast<size_t>(3);
}

} // namespace

std::vector<unsigned char> RewriteDialogTemplate(const unsigned char* bytes, size_t size, int osType, int pointSize,
                                                 const char* face)
{
    std::vector<unsigned char> copy(bytes, bytes + size);
    // The extended header: version, signature 0xFFFF, help id, extended style, style, item
    // count (16), position and size, then the menu (26) and the class (28), which the
    // rewrite expects to be absent, and the title (30).
    constexpr size_t TITLE = 30;
    if (size < TITLE + 2 || Word(bytes, 2) != 0xFFFF || osType < OSYS::OSTYPE_VISTA)
        return copy;
    if (pointSize <= 0 || !face || !*face)
        return copy;
    DWORD style = bytes[12] | (bytes[13] << 8) | (bytes[14] << 16) | (static_cast<DWORD>(bytes[15]) << 24);
    if (!(style & DS_SETFONT) || Word(bytes, 26) != 0 || Word(bytes, 28) != 0)
        return copy;
    size_t font = SkipWideText(bytes, size, TITLE);
    if (!font || font + 6 > size || Word(bytes, font) != 8)
        return copy;
    size_t faceStart = font + 6; // after point size, weight, italic and charset
    size_t faceEnd = SkipWideText(bytes, size, faceStart);
    static constexpr char shellFace[] = "MS Shell Dlg";
    constexpr size_t shellLength = sizeof(shellFace) - 1;
    if (faceEnd != faceStart + 2 * (shellLength + 1))
        return copy;
    for (size_t i = 0; i < shellLength; i++) {
        if (Word(bytes, faceStart + 2 * i) != static_cast<unsigned char>(shellFace[i]))
            return copy;
    }
    WSTRING newFace(face, UNICODE_CPSYSTEM);
    size_t faceLength = static_cast<size_t>(newFace.Length());
    if (faceLength > FACE_MAX)
        faceLength = FACE_MAX;
    size_t oldItems = AlignToFour(faceEnd) < size ? AlignToFour(faceEnd) : size;
    size_t newItems = AlignToFour(faceStart + 2 * (faceLength + 1));
    // Sized for the face actually written, so that no face length can run past the copy.
    copy.assign(newItems + (size - oldItems), 0);
    memcpy(copy.data(), bytes, faceStart);
    PutWord(copy.data(), font, static_cast<unsigned>(pointSize));
    const wchar_t* chars = newFace.c_str();
    for (size_t i = 0; i < faceLength; i++)
        PutWord(copy.data(), faceStart + 2 * i, chars[i]);
    memcpy(copy.data() + newItems, bytes + oldItems, size - oldItems);
    return copy;
}

