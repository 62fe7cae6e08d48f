#include "osys/stdoutput.h"

#include <windows.h>

#include <string>

#include "osys/handles.h"

namespace OSYS {
namespace {

struct STANDARDOUTPUT {
    HANDLE handle = nullptr; // the inherited handle, or the console's below
    UniqueFileHandle console;

    STANDARDOUTPUT()
    {
        HANDLE inherited = GetStdHandle(STD_OUTPUT_HANDLE);
        if (inherited && inherited != INVALID_HANDLE_VALUE && GetFileType(inherited) != FILE_TYPE_UNKNOWN) {
            handle = inherited;
            return;
        }
        // Started from a command prompt without a companion: the prompt's console, if any.
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return;
        console.reset(CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
        handle = console ? console.get() : nullptr;
    }
};

STANDARDOUTPUT& Output()
{
    static STANDARDOUTPUT output;
    return output;
}

} // namespace

bool HasStandardOutput()
{
    return Output().handle != nullptr;
}

bool WriteStandardLine(const char* text)
{
    HANDLE out = Output().handle;
    if (!out)
        return false;
    std::string line = text ? text : "";
    line += "\r\n";
    int wideLength = MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), wide.data(), wideLength);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode))
        return WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != FALSE;
    // A pipe or file is read as the command processor writes its own output: in the console's
    // code page, which is the OEM code page.
    UINT codepage = GetConsoleOutputCP();
    if (codepage == 0)
        codepage = GetOEMCP();
    int length = WideCharToMultiByte(codepage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codepage, 0, wide.data(), wideLength, bytes.data(), length, nullptr, nullptr);
    return WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

} // namespace OSYS
