#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

#include "osys/osys_win32.h"
#include "osys/syssettings.h"
#include "checkrecorder.h"
#include "osys_support.h"
#include "scratch.h"

namespace {

std::string SelfPath()
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return self;
}

TEST(OSYS, SystemPathNumbers)
{
    char documents[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents), S_OK);
    for (int folder : {6, 14, 18, 19})
        EXPECT_STREQ(OSYS::GetSystemPath(folder).c_str(), (std::string(documents) + "\\").c_str()) << folder;
    rig::CheckRecorder checks;
    for (int folder : {3, 4, 20})
        EXPECT_STREQ(OSYS::GetSystemPath(folder).c_str(), "") << folder;
    EXPECT_EQ(checks.Conditions(), (std::vector<std::string>(3, "FALSE")));
}

TEST(OSYS, StringFromResource)
{
    std::string longText;
    for (int i = 0; i < 110; ++i)
        longText += "0123456789";
    struct Case {
        int id;
        std::string text;
    } cases[] = {{4711, "Resource text"}, {4712, longText.substr(0, OSYS::RESOURCE_STRING_MAX)}, {4713, "<STR-ERR>"}};
    for (const Case& c : cases) {
        EXPECT_EQ(std::string(OSYS::GetStringFromResource(c.id).c_str()), c.text) << c.id;
        EXPECT_EQ(std::string(OSYS::GetStringFromResource(c.id, GetModuleHandleA(nullptr)).c_str()), c.text) << c.id;
    }
}

TEST(OSYS, IdentityQueries)
{
    rig::ScratchFolder folder("identity");
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
    EXPECT_STREQ(OSYS::CurrentDirectory().c_str(), folder.Path().c_str());
    SetCurrentDirectoryA(previous);
    EXPECT_STREQ(OSYS::ProgramFilePath().c_str(), SelfPath().c_str());
}

TEST(OSYS, AutostartEntry)
{
    const char* run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::string name = "TarvoTestAutostart" + std::to_string(GetCurrentProcessId());
    std::string self = SelfPath(), quoted = "\"" + self + "\"", lowerSelf = self;
    CharLowerA(lowerSelf.data());
    struct Case {
        const char* command;
        std::string stored;
    } cases[] = {{"1", quoted},
                 {"<ownfile>", quoted},
                 {"<SELF>", quoted},
                 {lowerSelf.c_str(), quoted},
                 {"other.exe /x", "other.exe /x"}};
    for (const Case& c : cases) {
        EXPECT_TRUE(OSYS::SetAutostart(name.c_str(), c.command)) << c.command;
        RawValue raw = QueryRaw(HKEY_CURRENT_USER, run, name.c_str());
        EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ)) << c.command;
        EXPECT_EQ(raw.bytes, c.stored + '\0') << c.command;
    }
    EXPECT_TRUE(OSYS::SetAutostart(name.c_str(), nullptr));
    EXPECT_EQ(QueryRaw(HKEY_CURRENT_USER, run, name.c_str()).rc, ERROR_FILE_NOT_FOUND);
}

TEST(OSYS, ClipboardText)
{
    UINT earlier = RegisterClipboardFormatA("TarvoTestFormat");
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(earlier, GlobalAlloc(GMEM_MOVEABLE, 4));
    CloseClipboard();

    ASSERT_TRUE(OSYS::SetClipboardText("Tarvo clipboard"));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(IsClipboardFormatAvailable(earlier));
    HANDLE data = GetClipboardData(CF_OEMTEXT);
    const char* text = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    EXPECT_STREQ(text, "Tarvo clipboard");
    if (text)
        GlobalUnlock(data);
    CloseClipboard();
}

TEST(OSYS, LibraryPresent)
{
    EXPECT_TRUE(OSYS::LibraryPresent("kernel32.dll"));
    EXPECT_FALSE(OSYS::LibraryPresent("tarvo_no_such_library.dll"));
}

TEST(OSYS, Shortcut)
{
    rig::ScratchFolder folder("shortcut");
    std::string self = SelfPath(), selfFolder = self.substr(0, self.rfind('\\'));
    struct Case {
        const char* name;
        const char* arguments;
        const char* workdir;
        int show;
        const char* icon;
        int iconIndex;
        const char* savedAs;
        std::string wantArguments, wantFolder, wantIcon;
        int wantIndex;
    } cases[] = {
        {"full", "/a b", "C:\\windows", SW_SHOWMINNOACTIVE, self.c_str(), 2, "full.LNK", "/a b", "C:\\windows", self,
         2},
        {"plain.lnk", nullptr, nullptr, SW_SHOWNORMAL, nullptr, 0, "plain.lnk", "", selfFolder, "", 0},
        {"noicon", nullptr, nullptr, SW_SHOWNORMAL, self.c_str(), -1, "noicon.LNK", "", selfFolder, "", 0},
    };
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (const Case& c : cases) {
        std::string file = folder.PathOf(c.name);
        ASSERT_TRUE(
            OSYS::CreateShortcut(file.c_str(), self.c_str(), c.arguments, c.workdir, c.show, c.icon, c.iconIndex))
            << c.name;
        WIN32_FIND_DATAA found = {};
        HANDLE search = FindFirstFileA(folder.PathOf(c.savedAs).c_str(), &found);
        ASSERT_NE(search, INVALID_HANDLE_VALUE) << c.savedAs;
        FindClose(search);
        EXPECT_STREQ(found.cFileName, c.savedAs);
        // Wine's link reader does not give the show command back: it is read from the
        // file's header, where it follows the icon index.
        std::string header = rig::ReadFileBytes(folder.PathOf(c.savedAs));
        ASSERT_GE(header.size(), 0x40u);
        EXPECT_EQ(*reinterpret_cast<const int32_t*>(header.data() + 0x3C), c.show) << c.name;

        IShellLinkA* link = nullptr;
        IPersistFile* persist = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)),
                  S_OK);
        link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
        std::string saved = folder.PathOf(c.savedAs);
        std::wstring wide(saved.begin(), saved.end());
        EXPECT_EQ(persist->Load(wide.c_str(), STGM_READ), S_OK);
        char text[MAX_PATH] = {};
        int number = -1;
        link->GetPath(text, MAX_PATH, nullptr, 0);
        EXPECT_STREQ(text, self.c_str()) << c.name;
        link->GetArguments(text, MAX_PATH);
        EXPECT_EQ(text, c.wantArguments) << c.name;
        link->GetWorkingDirectory(text, MAX_PATH);
        EXPECT_EQ(text, c.wantFolder) << c.name;
        link->GetIconLocation(text, MAX_PATH, &number);
        EXPECT_EQ(text, c.wantIcon) << c.name;
        EXPECT_EQ(number, c.wantIndex) << c.name;
        persist->Release();
        link->Release();
    }
    CoUninitialize();
}

TEST(OSYS, WakeupHarddisk)
{
    rig::ScratchFolder folder("wakeup");
    EXPECT_TRUE(OSYS::WakeupHarddisk(folder.Path().c_str()));
    EXPECT_EQ(GetFileAttributesA(folder.PathOf("wakeup_harddisk.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(OSYS::WakeupHarddisk(folder.PathOf("missing").c_str()));
}

TEST(OSYS, WakeupScreensaverIsInput)
{
    LASTINPUTINFO before = {sizeof(before), 0}, after = {sizeof(after), 0};
    GetLastInputInfo(&before);
    Sleep(50);
    EXPECT_TRUE(OSYS::WakeupScreensaver());
    GetLastInputInfo(&after);
    EXPECT_GT(after.dwTime, before.dwTime);
}

} // namespace
