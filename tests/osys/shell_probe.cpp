// Takes the library's path that loads the shell library by its bare name (opening a document
// that does not exist), then reports which shell library it got: 0 the system's (it has
// ShellExecuteA), 1 another library of that name, 2 none.
#include "osys/osys_win32.h"

int main()
{
    OSYS::ShellExecuteRun(nullptr, "no-such-document.tarvo-probe", nullptr, nullptr);
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (!shell)
        return 2;
    return GetProcAddress(shell, "ShellExecuteA") ? 0 : 1;
}
