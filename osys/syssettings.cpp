#include "osys/syssettings.h"

#include <objidl.h>
#include <shlobj.h>

#include <cstring>
#include <memory>
#include <vector>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/nulldacl.h"
#include "osys/ostype.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "osys/registry.h"

namespace {

// The identity queries' bounds, in characters.
constexpr DWORD CURRENT_DIRECTORY_MAX = MAX_PATH;
constexpr DWORD PROGRAM_PATH_MAX = 256;
// Resource-text lookups are logged at the verbosity of the event lines.

const char* Shown(const char* text)
{
    return text ? text : "<NULL>";
}

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <class Interface>
using ComPtr = std::unique_ptr<Interface, ComRelease>;

// COM for the calling thread, for the length of one call; a thread that has it already keeps it.
class ComScope {
public:
    ComScope() : result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(result))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result;
};

class ClipboardSession {
public:
    ClipboardSession() : open(OpenClipboard(nullptr)) {}
    ~ClipboardSession()
    {
        if (open)
            CloseClipboard();
    }
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    explicit operator bool() const { return open; }

private:
    bool open;
};

struct GlobalFreeDeleter {
    void operator()(void* block) const { GlobalFree(block); }
};

// The text in UTF-16, converted in the system code page.
std::vector<wchar_t> Widen(const char* text)
{
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::vector<wchar_t> wide(n > 0 ? n : 1, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    return wide;
}

BOOL CALLBACK CloseVisibleWindow(HWND window, LPARAM)
{
    if (IsWindowVisible(window))
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

namespace OSYS {

STRING CurrentDirectory()
{
    char folder[CURRENT_DIRECTORY_MAX + 1] = {};
    DWORD n = GetCurrentDirectoryA(sizeof(folder), folder);
    return n > 0 && n < sizeof(folder) ? STRING(folder) : STRING("");
}

STRING ProgramFilePath()
{
    char path[PROGRAM_PATH_MAX + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
    // A path that filled the buffer was cut.
    return n > 0 && n < sizeof(path) ? STRING(path) : STRING("");
}

bool SetAutostart(const char* name, const char* command)
{
    REGISTRY run(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", nullptr,
                 REGISTRY::OPEN_CREATE);
    if (!command)
        return run.DeleteValue(name);
    STRING self = ProgramFilePath();
    STRING stored(command);
    if (strcmp(command, "1") == 0 || CompareNoCase(command, "<ownfile>", true) == 0 ||
        CompareNoCase(command, "<self>", true) == 0 || self.EqualsNoCase(command))
        stored.Format("\"%s\"", self.c_str());
    // With its terminating zero, as the shell's own entries are stored.
    LONG rc = run ? RegSetValueExA(run.Key(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(stored.c_str()),
                                   static_cast<DWORD>(stored.Length() + 1))
                  : ERROR_INVALID_HANDLE;
    LogPrint("OSYS::SetAutostart %s= %s, error=%d\n", Shown(name), stored.c_str(), static_cast<int>(rc));
    return rc == ERROR_SUCCESS;
}

bool Shutdown(bool reboot)
{
    GETPRIVILEGE privilege("SeShutdownPrivilege");
    UINT how = reboot ? EWX_REBOOT : EWX_SHUTDOWN | EWX_POWEROFF;
    BOOL ok = ExitWindowsEx(how, SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED);
    LogPrint("OSYS::Shutdown reboot= %d, privilege= %d, ok= %d\n", reboot, privilege.Granted(), ok);
    return ok;
}

bool SetClipboardText(const char* text)
{
    if (!TARVO_ASSERT(text != nullptr))
        return false;
    bool ok = false;
    ClipboardSession clipboard;
    if (clipboard && EmptyClipboard()) {
        size_t size = strlen(text) + 1;
        std::unique_ptr<void, GlobalFreeDeleter> block(GlobalAlloc(GMEM_MOVEABLE, size));
        if (void* bytes = block ? GlobalLock(block.get()) : nullptr) {
            memcpy(bytes, text, size);
            GlobalUnlock(block.get());
            // Once placed, the block belongs to the clipboard.
            ok = SetClipboardData(CF_OEMTEXT, block.get()) != nullptr;
            if (ok)
                block.release();
        }
    }
    LogPrint("OSYS::SetClipboardText %d bytes, ok= %d, error=%lu\n", static_cast<int>(strlen(text)), ok,
             ok ? 0UL : GetLastError());
    return ok;
}

bool LibraryPresent(const char* name)
{
    // Present is enough: the library is mapped without running its entry point.
    UniqueModule library(LoadResourceLibrary(name));
    LogPrint("OSYS::LibraryPresent %s returns %d\n", Shown(name), static_cast<bool>(library));
    return static_cast<bool>(library);
}

bool CreateShortcut(const char* linkFile, const char* target, const char* arguments, const char* workdir,
                    int showCommand, const char* iconFile, int iconIndex)
{
    LogPrint("OSYS::CreateShortcut %s for %s\n", Shown(linkFile), Shown(target));
    if (!TARVO_ASSERT(linkFile != nullptr && target != nullptr))
        return false;
    ComScope com;
    IShellLinkA* createdLink = nullptr;
    HRESULT hres = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&createdLink));
    if (!TARVO_CHECK(SUCCEEDED(hres), "SUCCEEDED(hres)", nullptr))
        return false;
    ComPtr<IShellLinkA> link(createdLink);
    STRING folder = workdir && *workdir ? STRING(workdir) : FILENAME(FILENAME(target).GetPath().c_str()).Text();
    link->SetPath(target);
    link->SetArguments(arguments ? arguments : "");
    link->SetWorkingDirectory(folder.c_str());
    link->SetShowCmd(showCommand);
    if (iconFile && *iconFile && iconIndex >= 0)
        link->SetIconLocation(iconFile, iconIndex);

    STRING name(linkFile);
    if (!EndsWithNoCase(name.c_str(), ".lnk"))
        name.Append(".LNK");
    IPersistFile* createdFile = nullptr;
    hres = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&createdFile));
    if (SUCCEEDED(hres)) {
        ComPtr<IPersistFile> file(createdFile);
        hres = file->Save(Widen(name.c_str()).data(), TRUE);
    }
    TARVO_CHECK(SUCCEEDED(hres), "SUCCEEDED(hres)", "Programgroup entry or desktop icon");
    return SUCCEEDED(hres);
}

bool WakeupHarddisk(const char* folder)
{
    static const char wakeup[] = "Time to Wakeup";
    FILENAME file(folder, "wakeup_harddisk.tmp");
    UniqueFileHandle handle(
        CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_WRITE_THROUGH, nullptr));
    bool ok = false;
    if (handle) {
        DWORD written = 0;
        ok = WriteFile(handle.get(), wakeup, sizeof(wakeup) - 1, &written, nullptr) && written == sizeof(wakeup) - 1;
        handle.reset();
        DeleteFileA(file.c_str());
    }
    LogPrint("OSYS::WakeupHarddisk %s ok= %d\n", file.c_str(), ok);
    return ok;
}

bool WakeupScreensaver()
{
    LogPrint("OSYS::WakeupScreensaver\n");
    if (GetOSType() == OSTYPE_NT4) {
        // NT4 runs the screen saver on a desktop of its own, which no input reaches.
        HDESK desktop = OpenDesktopA("Screen-saver", 0, FALSE, DESKTOP_READOBJECTS | DESKTOP_WRITEOBJECTS);
        if (desktop) {
            EnumDesktopWindows(desktop, CloseVisibleWindow, 0);
            CloseDesktop(desktop);
        }
        return SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDWININICHANGE);
    }
    INPUT shift[2] = {};
    shift[0].type = INPUT_KEYBOARD;
    shift[0].ki.wVk = VK_SHIFT;
    shift[1] = shift[0];
    shift[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, shift, sizeof(INPUT)) == 2;
}

} // namespace OSYS
