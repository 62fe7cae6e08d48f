#include "ui/viziveru.h"

#include <cerrno>
#include <cstring>

#include "approot/approot.h"
#include "diag/logit.h"
#include "osys/ostype.h"
#include "osys/osys_win32.h"

namespace {

constexpr int MESSAGE_WIDTH = 55;
// The resource string that titles a box shown without a title.
constexpr int IDS_DEFAULT_BOX_TITLE = 10001;
// The resource string that reports a file that could not be opened.
constexpr int IDS_FILE_NOT_OPENED = 10110;

int ShowBox(const char* operation, HWND parent, const char* title, const char* text, UINT flags)
{
    LogPrint("VIZIVERU::%s title=%s text=%s\n", operation, title ? title : "<NULL>", text ? text : "<NULL>");
    TARVOAPP::InitCommonControls();
    HWND owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
    STRING body = WrapMessageText(STRING(text), MESSAGE_WIDTH, 0);
    STRING caption = title ? STRING(title) : OSYS::GetStringFromResource(IDS_DEFAULT_BOX_TITLE);
    return MessageBoxA(owner, body.c_str(), caption.c_str(), flags | MB_SETFOREGROUND);
}

} // namespace

namespace VIZIVERU {

void InfoMsgBox(HWND parent, const char* title, const char* text)
{
    ShowBox("InfoMsgBox", parent, title, text, MB_ICONINFORMATION | MB_OK);
}

void WarningMsgBox(HWND parent, const char* title, const char* text)
{
    ShowBox("WarningMsgBox", parent, title, text, MB_ICONWARNING | MB_OK);
}

void ErrorMsgBox(HWND parent, const char* title, const char* text)
{
    ShowBox("ErrorMsgBox", parent, title, text, MB_ICONERROR | MB_OK);
}

int YesNoMsgBox(HWND parent, const char* title, const char* text)
{
    return ShowBox("YesNoMsgBox", parent, title, text, MB_ICONQUESTION | MB_YESNO) == IDYES ? 1 : 0;
}

int YesNoCancelMsgBox(HWND parent, const char* title, const char* text)
{
    int answer = ShowBox("YesNoCancelMsgBox", parent, title, text, MB_ICONQUESTION | MB_YESNOCANCEL);
    return answer == IDYES ? 1 : answer == IDCANCEL ? -1 : 0;
}

void ReportFileOpenFailure(const char* fileName)
{
    // Read before anything below can change it.
    int error = errno;
    STRING text = OSYS::GetStringFromResource(IDS_FILE_NOT_OPENED);
    text.Replace("$FILENAME", fileName ? fileName : "");
    text.Replace("$ERROR", error ? strerror(error) : "-");
    ErrorMsgBox(nullptr, OSYS::GetStringFromResource(IDS_DEFAULT_BOX_TITLE).c_str(), text.c_str());
}

} // namespace VIZIVERU

STRING WrapMessageText(const STRING& text, int width, int force)
{
    STRING source(text);
    source.Replace("\r\n", "\r");
    source.Replace("\n", "\r");
    bool noWrap = false;
    if (source.Length() >= 11 && memcmp(source.c_str(), "##NOWRAP##\r", 11) == 0) {
        source.DeleteLeft(11);
        noWrap = true;
    }
    int length = source.Length();
    if (length < 2)
        return source;

    // Systems from Vista on wrap inside the box; older ones need the breaks in the text.
    bool wrap = !noWrap && (force || (OSYS::GetOSType() < OSYS::OSTYPE_VISTA && width != -1));
    const char* s = source.c_str();
    STRING result("", length + 16, 1252);
    result.Append(s[0]);
    int column = 1;
    for (int i = 1; i <= length - 2; i++) {
        char c = s[i], previous = s[i - 1], next = s[i + 1];
        char out = c;
        bool emit = true;
        if (c == '\r' && !noWrap) {
            if (previous == '\r' || next == '\r' || next == ' ' || next == '\t') {
                column = 0;
            } else if (previous == ' ') {
                emit = false; // the blank before the break already separates the words
            } else {
                out = ' ';
            }
        }
        column++;
        if (wrap && column > width && out == ' ') {
            out = '\r';
            column = 0;
        }
        if (emit)
            result.Append(out);
    }
    result.Append(s[length - 1]);
    return result;
}
