// The entry point of the resource-only language libraries: they run no code of their own.
#include <windows.h>

BOOL WINAPI LanguageLibraryEntry(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
