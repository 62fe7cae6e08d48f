// FILENAME: the path type of the library. Paths are kept in Windows normal form; the
// tokens "<self>", "<tmp>", "<temp>" and the shell strings ("%APPDATA%", "$(USERHOME)",
// "~\", "%USERNAME%", ...) are expanded; files are tested, changed and opened with share
// modes that keep writers exclusive.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "text/strings.h"

class FILENAME {
public:
    // "<self>" (any case) becomes the program's full path, "<tmp>" and "<temp>" a new unique
    // file name in the TEMP folder; then shell strings are expanded and the normal form applied:
    // '/' becomes '\', trailing '\' go, a bare drive "C:" gets its '\'.
    explicit FILENAME(const char* text);
    // The folder plus the name, unless the name is absolute (then the name alone).
    FILENAME(const char* folder, const char* name);
    FILENAME(const char* folder1, const char* folder2, const char* name);

    const STRING& Text() const { return text; }
    const char* c_str() const { return text.c_str(); }

    static bool IsAbsolute(const char* text);
    bool IsAbsolute() const { return IsAbsolute(text.c_str()); }
    STRING GetName() const;     // the part after the last separator
    STRING GetPath() const;     // the part before it, "." when there is none
    STRING GetFullName() const; // absolute and in its long form where the system can tell

    bool Exists() const;
    bool IsFile() const;
    bool IsDirectory() const;
    bool IsReadOnly() const;
    bool IsHidden() const;
    bool IsArchive() const;
    bool SetReadOnly(bool on) const;
    bool SetHidden(bool on) const;
    bool SetArchive(bool on) const;
    bool IsReadable() const;
    bool IsWritable() const;
    long long Size() const; // -1 when it cannot be read
    bool GetModifiedTime(int64_t& calendar) const;
    STRING GetModifiedTimeText() const; // "%04d-%02d-%02d %02d:%02d:%02d", local time; empty on failure
    bool SetModifiedTime(const SYSTEMTIME& local) const;
    bool Delete() const;
    bool MakeFolder() const;
    bool RemoveFolder() const;
    bool CopyTo(const char* destination, bool overwrite) const;
    // The new name lies in the same folder; with replace an existing file of that name goes first.
    bool Rename(const char* newName, bool replace);
    // True only for a path on a remote drive.
    bool IsOnNetwork() const;

    // Opens with share modes that keep writers exclusive (share -1: chosen from the mode).
    static FILE* fsopen(const char* path, const char* mode, int share = -1);

    // The shell string table: folder tokens and their values, filled on first use.
    static void ShellStringsInit();
    static void ShellStringSet(const char* token, const char* value, int flag);
    static void ExpandShellString(STRING& text);
    // The reverse: known folders at the start become their tokens; with replaceHome the
    // home folder becomes "~" and the separators '/'.
    STRING AsShellStrings(bool replaceHome) const;

private:
    STRING text;
};

namespace OSYS {

// Creates every missing folder of the path; true when the whole path is then a folder.
bool CreateDirectoryPath(const char* path);

} // namespace OSYS
