#include "osys/osysfile.h"

#include <direct.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/osys_win32.h"
#include "text/textinternal.h"

namespace {

struct ShellString {
    STRING token; // "%APPDATA%"
    STRING alt;   // "$(APPDATA)"
    STRING value; // the folder
    int flag = 0;
};

constexpr int SHELL_STRINGS_MAX = 32;
ShellString shellStrings[SHELL_STRINGS_MAX];
int shellStringCount = 0;
bool shellStringsInitializing = false;

STRING ProgramPath()
{
    char path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return STRING();
    return STRING(path);
}

STRING TemporaryFileName()
{
    const char* folder = getenv("TEMP");
    char name[MAX_PATH] = {};
    bool ok = folder && GetTempFileNameA(folder, "tvo", 0, name) != 0;
    TARVO_CHECK(ok, "fname", nullptr);
    return ok ? STRING(name) : STRING("");
}

void SlashesToBackslashes(STRING& text)
{
    for (int i = 0; i < text.Length(); i++)
        if (text.Buffer[i] == '/')
            text.Buffer[i] = '\\';
}

// '/' becomes '\', trailing '\' go, and a bare drive keeps its root backslash.
void Normalise(STRING& text)
{
    if (text.IsNull())
        return;
    SlashesToBackslashes(text);
    while (text.StrLen > 0 && text.Buffer[text.StrLen - 1] == '\\')
        text.Truncate(text.StrLen - 1);
    if (text.StrLen == 2 && text.Buffer[1] == ':')
        text.Append('\\');
}

// A folder value without its trailing separators, for joining with the rest of a path.
STRING WithoutTrailingSeparators(const STRING& folder)
{
    STRING value(folder);
    value.Trim('R', "\\/");
    return value;
}

// An empty prefix matches nothing here: an unset folder must not replace the start of a path.
bool StartsWithFolder(const STRING& text, const STRING& prefix)
{
    return prefix.IsFilled() && StartsWithNoCase(text.c_str(), prefix.c_str());
}

// Replaces the first n bytes of text by replacement.
void ReplaceStart(STRING& text, int n, const STRING& replacement)
{
    STRING rest = text.Mid(n);
    text = replacement;
    text.Append(rest);
}

// Position of the last path separator, or of the ':' of a leading drive; -1 when none.
int LastSeparator(const STRING& text)
{
    for (int i = text.Length() - 1; i >= 0; i--) {
        char c = text.Buffer[i];
        if (c == '\\' || c == '/' || (c == ':' && i == 1))
            return i;
    }
    return -1;
}

DWORD Attributes(const STRING& text)
{
    return GetFileAttributesA(text.c_str());
}

bool HasAttribute(const STRING& text, DWORD bit)
{
    DWORD attributes = Attributes(text);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & bit);
}

bool SetAttribute(const STRING& text, DWORD bit, bool on)
{
    DWORD attributes = Attributes(text);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    attributes = on ? (attributes | bit) : (attributes & ~bit);
    return SetFileAttributesA(text.c_str(), attributes) != FALSE;
}

} // namespace

FILENAME::FILENAME(const char* name) : text(name)
{
    // Tokens are matched in normal form: "<self>\" must not survive as a literal name that
    // turns into the program's path when it is read again.
    Normalise(text);
    if (text.EqualsNoCase("<self>"))
        text = ProgramPath();
    else if (text.EqualsNoCase("<tmp>") || text.EqualsNoCase("<temp>"))
        text = TemporaryFileName();
    ExpandShellString(text);
}

FILENAME::FILENAME(const char* folder, const char* name)
{
    STRING expandedName(name ? name : "");
    ExpandShellString(expandedName);
    if (IsAbsolute(expandedName.c_str())) {
        text = expandedName;
    } else {
        text = (folder && *folder) ? folder : ".";
        SlashesToBackslashes(text);
        text.Trim('R', "\\");
        text.Append('\\');
        text.Append(expandedName);
    }
    ExpandShellString(text);
    LogPrint("FILENAME::FILENAME returns %s\n", text.c_str());
}

FILENAME::FILENAME(const char* folder1, const char* folder2, const char* name)
{
    STRING first((folder1 && *folder1) ? folder1 : ".");
    STRING second((folder2 && *folder2) ? folder2 : ".");
    STRING last((name && *name) ? name : ".");
    for (STRING* part : {&first, &second, &last}) {
        SlashesToBackslashes(*part);
        part->Trim('R', "\\");
    }
    text = first + "\\" + second + "\\" + last;
    ExpandShellString(text);
    // One pass leaves a "\.\" where two overlapped ("\.\.\"), so repeat until none is left;
    // each pass shortens the text. The normal form then keeps a drive root's backslash.
    while (text.Find("\\.\\"))
        text.Replace("\\.\\", "\\");
    Normalise(text);
    LogPrint("FILENAME::FILENAME returns %s\n", text.c_str());
}

bool FILENAME::IsAbsolute(const char* name)
{
    if (!name || !*name)
        return false;
    return name[0] == '\\' || name[0] == '/' || name[1] == ':' || name[0] == '~';
}

STRING FILENAME::GetName() const
{
    int sep = LastSeparator(text);
    if (sep < 0 && text.Length() > 0 && text.Buffer[0] == '~')
        sep = 0;
    STRING name = text.Mid(sep + 1);
    while (name.Length() > 0 && name.Buffer[0] == '\\')
        name.DeleteLeft(1);
    return name;
}

STRING FILENAME::GetPath() const
{
    int sep = LastSeparator(text);
    if (sep < 0)
        return STRING(".");
    // A drive's own colon ends the path after it ("C:x" lies in "C:").
    STRING path = text.Left(text.Buffer[sep] == ':' ? sep + 1 : sep);
    while (path.StrLen > 0 && path.Buffer[path.StrLen - 1] == '\\')
        path.Truncate(path.StrLen - 1);
    return path;
}

STRING FILENAME::GetFullName() const
{
    STRING result(text);
    char full[MAX_PATH] = {};
    DWORD n = GetFullPathNameA(text.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH)
        return result;
    result = full;
    char longName[MAX_PATH] = {};
    n = GetLongPathNameA(full, longName, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        result = longName;
    return result;
}

bool FILENAME::Exists() const
{
    if (_access(text.c_str(), 0) == 0)
        return true;
    LogPrint("FILENAME::Exists '%s' returns %s\n", text.c_str(), strerror(errno));
    return false;
}

bool FILENAME::IsDirectory() const
{
    return HasAttribute(text, FILE_ATTRIBUTE_DIRECTORY);
}

bool FILENAME::IsFile() const
{
    DWORD attributes = Attributes(text);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FILENAME::IsReadOnly() const
{
    return HasAttribute(text, FILE_ATTRIBUTE_READONLY);
}

bool FILENAME::IsHidden() const
{
    return HasAttribute(text, FILE_ATTRIBUTE_HIDDEN);
}

bool FILENAME::IsArchive() const
{
    return HasAttribute(text, FILE_ATTRIBUTE_ARCHIVE);
}

bool FILENAME::SetReadOnly(bool on) const
{
    return SetAttribute(text, FILE_ATTRIBUTE_READONLY, on);
}

bool FILENAME::SetHidden(bool on) const
{
    return SetAttribute(text, FILE_ATTRIBUTE_HIDDEN, on);
}

bool FILENAME::SetArchive(bool on) const
{
    return SetAttribute(text, FILE_ATTRIBUTE_ARCHIVE, on);
}

bool FILENAME::IsReadable() const
{
    return _access(text.c_str(), 4) == 0;
}

bool FILENAME::IsWritable() const
{
    if (IsFile()) {
        if (_access(text.c_str(), 2) != 0)
            return false;
        return UNIQUEFILE(fopen(text.c_str(), "rb+")) != nullptr;
    }
    if (Exists())
        return false;
    return _access(GetPath().c_str(), 2) == 0;
}

long long FILENAME::Size() const
{
    struct _stat64 status = {};
    if (_stat64(text.c_str(), &status) != 0)
        return -1;
    return status.st_size;
}

bool FILENAME::GetModifiedTime(int64_t& calendar) const
{
    struct _stat64 status = {};
    if (_stat64(text.c_str(), &status) != 0)
        return false;
    calendar = status.st_mtime;
    return true;
}

STRING FILENAME::GetModifiedTimeText() const
{
    int64_t calendar = 0;
    if (!GetModifiedTime(calendar))
        return STRING("");
    __time64_t t = calendar;
    struct tm local = {};
    _localtime64_s(&local, &t);
    STRING when;
    when.Format("%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, local.tm_sec);
    return when;
}

bool FILENAME::SetModifiedTime(const SYSTEMTIME& local) const
{
    FILETIME localTime, utc;
    if (!SystemTimeToFileTime(&local, &localTime) || !LocalFileTimeToFileTime(&localTime, &utc))
        return false;
    UniqueFileHandle file(CreateFileA(text.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file)
        return false;
    return SetFileTime(file.get(), nullptr, nullptr, &utc) != FALSE;
}

bool FILENAME::Delete() const
{
    return remove(text.c_str()) == 0;
}

bool FILENAME::MakeFolder() const
{
    return _mkdir(text.c_str()) == 0;
}

bool FILENAME::RemoveFolder() const
{
    return _rmdir(text.c_str()) == 0;
}

bool FILENAME::CopyTo(const char* destination, bool overwrite) const
{
    if (!destination || (!overwrite && FILENAME(destination).Exists()))
        return false;
    UNIQUEFILE in(fsopen(text.c_str(), "rb"));
    if (!in)
        return false;
    UNIQUEFILE out(fsopen(destination, "wb"));
    if (!out)
        return false;
    char block[4096];
    bool complete = true;
    size_t read;
    while (complete && (read = fread(block, 1, sizeof(block), in.get())) > 0)
        complete = fwrite(block, 1, read, out.get()) == read;
    complete = complete && !ferror(in.get());
    in.reset();
    // The copy is whole only when the last buffered bytes reached the file: the close is checked.
    return fclose(out.release()) == 0 && complete;
}

bool FILENAME::Rename(const char* newName, bool replace)
{
    FILENAME target(GetPath().c_str(), FILENAME(newName).GetName().c_str());
    if (replace && target.IsFile())
        target.Delete();
    if (!MoveFileA(text.c_str(), target.c_str()))
        return false;
    text = target.text;
    return true;
}

bool FILENAME::IsOnNetwork() const
{
    LogPrint("FILENAME::IsOnNetwork file= %s\n", text.c_str());
    STRING full = GetFullName();
    if (!full.IsFilled()) {
        AssertCheck(0, "fullname.NotEmpty()", __FILE__, __LINE__, nullptr, 1);
        return false;
    }
    bool remote = false;
    const char* f = full.c_str();
    if (((f[0] >= 'A' && f[0] <= 'Z') || (f[0] >= 'a' && f[0] <= 'z')) && f[1] == ':' && f[2] == '\\') {
        char root[4] = {f[0], ':', '\\', 0};
        UINT rc = GetDriveTypeA(root);
        if (rc == DRIVE_UNKNOWN || rc == DRIVE_NO_ROOT_DIR)
            AssertCheck(0, "rc!=0 && rc!=1", __FILE__, __LINE__, root, 1);
        remote = rc == DRIVE_REMOTE;
    }
    LogPrint("FILENAME::IsOnNetwork fullname %s returns %d\n", f, remote);
    return remote;
}

FILE* FILENAME::fsopen(const char* path, const char* mode, int share)
{
    LogPrint("FILENAME::fsopen(%s, %s, %d)\n", path ? path : "<NULL>", mode ? mode : "<NULL>", share);
    if (!path || !mode)
        return nullptr;
    if (share == -1) {
        // Writers keep the file to themselves; readers only keep others from writing.
        if (strchr(mode, 'w') || strchr(mode, 'a'))
            share = _SH_DENYRW;
        else if (strchr(mode, 'r'))
            share = strchr(mode, '+') ? _SH_DENYRW : _SH_DENYWR;
        else
            share = 0;
    }
    FILE* f = _fsopen(path, mode, share);
    if (f && strchr(mode, 'a'))
        fseek(f, 0, SEEK_END);
    LogPrint("FILENAME::fsopen(%s, %s, %d) returns f= %p, fd= %d\n", path, mode, share, static_cast<void*>(f),
             f ? _fileno(f) : -1);
    return f;
}

void FILENAME::ShellStringsInit()
{
    if (shellStringsInitializing || shellStringCount > 0)
        return;
    shellStringsInitializing = true;
    LogPrint("FILENAME::ShellStringsInit\n");
    const std::pair<const char*, int> builtIn[] = {
        {"%USERHOME%", 6}, {"%USERPROFILE%", 6},     {"%USERDOCUMENTS%", 14},  {"%USERDESKTOP%", 8},
        {"%APPDATA%", 5},  {"%ALLUSERAPPDATA%", 13}, {"%ALLUSERPROFILE%", 12}, {"%USERPICTURES%", 7},
    };
    for (const auto& [token, folder] : builtIn)
        ShellStringSet(token, OSYS::GetSystemPath(folder).c_str(), 0);
    LogPrint("FILENAME::ShellStringsInit done\n");
    shellStringsInitializing = false;
}

void FILENAME::ShellStringSet(const char* token, const char* value, int flag)
{
    LogPrint("FILENAME::ShellStringSet %s %s\n", token ? token : "<NULL>", value ? value : "<NULL>");
    if (!token)
        return;
    ShellStringsInit();
    int slot = -1;
    for (int i = 0; i < shellStringCount && slot < 0; i++)
        if (shellStrings[i].token.EqualsNoCase(token))
            slot = i;
    if (slot < 0) {
        if (shellStringCount >= SHELL_STRINGS_MAX)
            return; // a full table keeps what it has
        slot = shellStringCount++;
    }
    ShellString& entry = shellStrings[slot];
    entry.token = token;
    entry.alt = entry.token;
    entry.alt.Replace("%", "");
    entry.alt = STRING("$(") + entry.alt + ")";
    entry.value = value ? value : "";
    entry.flag = flag;
    // Longest value first, so that the most specific folder wins when text is turned back
    // into tokens; equal lengths keep their order.
    for (int i = 1; i < shellStringCount; i++)
        for (int j = i; j > 0 && shellStrings[j].value.Length() > shellStrings[j - 1].value.Length(); j--)
            std::swap(shellStrings[j], shellStrings[j - 1]);
}

void FILENAME::ExpandShellString(STRING& text)
{
    bool identity = text.iFind("%USERNAME%") || text.iFind("%COMPUTERNAME%");
    char first = text.Length() > 0 ? text.Buffer[0] : 0;
    if (text.IsFilled() && (first == '$' || first == '%' || first == '~' || identity)) {
        STRING before(text);
        ShellStringsInit();
        SlashesToBackslashes(text);
        if (text.Length() >= 2 && text.Buffer[0] == '~' && text.Buffer[1] == '\\')
            ReplaceStart(text, 1, STRING("%USERHOME%"));
        if (identity) {
            STRING user = OSYS::UserName();
            STRING computer = OSYS::ComputerName();
            text.Replace("%USERNAME%", user.c_str(), 0);
            text.Replace("%COMPUTERNAME%", computer.IsFilled() ? computer.c_str() : "<N/A>", 0);
        }
        for (int i = 0; i < shellStringCount; i++) {
            const ShellString& entry = shellStrings[i];
            if (!entry.value.IsFilled())
                continue;
            STRING folder = WithoutTrailingSeparators(entry.value);
            if (StartsWithFolder(text, entry.token))
                ReplaceStart(text, entry.token.Length(), folder);
            if (StartsWithFolder(text, entry.alt))
                ReplaceStart(text, entry.alt.Length(), folder);
        }
        LogPrint("FILENAME::ExpandShellString %s -> %s\n", before.c_str(), text.c_str());
    }
    Normalise(text);
}

STRING FILENAME::AsShellStrings(bool replaceHome) const
{
    LogPrint("FILENAME::AsShellStrings %s\n", text.c_str());
    ShellStringsInit();
    STRING result(text);
    SlashesToBackslashes(result);
    for (int i = 0; i < shellStringCount; i++) {
        const ShellString& entry = shellStrings[i];
        if (entry.flag != 0 || !entry.value.IsFilled())
            continue;
        STRING folder = WithoutTrailingSeparators(entry.value);
        if (StartsWithFolder(result, folder))
            ReplaceStart(result, folder.Length(), entry.token);
    }
    STRING user = OSYS::UserName();
    if (user.IsFilled())
        result.Replace(("\\" + user + "\\").c_str(), "\\%USERNAME%\\", 0);
    if (replaceHome) {
        for (const char* home : {"%USERPROFILE%", "%USERHOME%", "$(USERPROFILE)", "$(USERHOME)"}) {
            STRING token(home);
            if (StartsWithFolder(result, token)) {
                ReplaceStart(result, token.Length(), STRING("~"));
                break;
            }
        }
        for (int i = 0; i < result.Length(); i++)
            if (result.Buffer[i] == '\\')
                result.Buffer[i] = '/';
        if (result.Equals("~"))
            result.Append('/');
    }
    LogPrint("FILENAME::AsShellStrings done %s\n", result.c_str());
    return result;
}

namespace OSYS {

bool CreateDirectoryPath(const char* path)
{
    STRING whole(path ? path : "");
    SlashesToBackslashes(whole);
    int position = 0;
    STRING prefix;
    if (whole.Length() >= 2 && whole.Buffer[0] == '\\' && whole.Buffer[1] == '\\') {
        // A network path starts at "\\server\share".
        int serverEnd = whole.Pos("\\", 2);
        if (serverEnd < 0)
            return FILENAME(whole.c_str()).IsDirectory();
        position = serverEnd + 1;
        prefix = whole.Left(position);
    }
    while (position < whole.Length()) {
        int end = whole.Pos("\\", position);
        if (end < 0)
            end = whole.Length();
        prefix = whole.Left(end);
        position = end + 1;
        // A drive ("C:") exists or not; it is not made. The share of a network path is taken
        // like a folder: a missing share cannot be made, and the whole path then fails.
        if (prefix.Length() == 0 || (prefix.Length() == 2 && prefix.Buffer[1] == ':'))
            continue;
        if (!FILENAME(prefix.c_str()).IsDirectory()) {
            bool ok = _mkdir(prefix.c_str()) == 0;
            LogPrint("OSYS::CreateDirectoryPath mkdir %s returns ok= %d\n", prefix.c_str(), ok);
            if (!ok)
                return false;
        }
    }
    return FILENAME(whole.c_str()).IsDirectory();
}

} // namespace OSYS
