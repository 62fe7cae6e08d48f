// The crash dump handler: on an unhandled fault it writes a minidump of the process to the
// user's desktop, compresses it with gzip and opens the crash-report form in the browser.
// Off until a support switch (/CRASHDUMP, /LOGITHARD) sets a dump level above 0.
#pragma once

#include <windows.h>

#include <cstddef>

// The dump level of /CRASHDUMP without a number and of /LOGITHARD.
constexpr int CRASHDUMP_DEFAULT_LEVEL = 2;
// Size of the block set aside at installation and freed first thing in the handler, so that
// the handler finds memory even when the fault came from an exhausted heap.
constexpr size_t CRASH_RESERVE_SIZE = 65536;
// The crash user data keeps at most this many characters.
constexpr size_t CRASH_USER_DATA_MAX = 127;
// Characters of a user name (the system's own limit).
constexpr size_t CRASH_USER_NAME_MAX = 256;

// Raises the dump level to level (a lower level or 0 leaves it). While the level is above 0 the
// reserve is allocated (once) and TARVOAPP::WriteDumpToFileHandler is the process's
// unhandled-exception filter.
void SetCrashDumpLevel(int level);
int CrashDumpLevel();
// Text appended to the crash-report address; cut to CRASH_USER_DATA_MAX characters.
void SetCrashUserData(const char* text);
// Frees the reserve when it is allocated; the application root calls it at exit.
void ReleaseCrashReserve();
// Ends the program with a real fault, a write to an invalid address, so that the installed
// crash handler (or else the system) handles it as any other crash.
void RaiseCrashFault();

// The steps of the handler, each on fixed buffers; false when a result does not fit.
// The kind of a level (level mod 5): its name in the file name and its MINIDUMP_TYPE flags.
const char* CrashDumpKindName(int level);
DWORD CrashDumpType(int level);
// The application name followed by the version text, without '.', upper-cased: "SERVICE000".
bool CrashBaseName(char* out, size_t size, const char* appName, const char* version);
// folder (ending in '\') + "Tarvo.CrashInfo.<base>.<user><n>.<kind>.dmp"; n 0 adds no number.
// Blanks of the user become '_'; the user is cut so that the file's own name, with ".gz"
// appended, stays within the 255 characters a file system allows for a name.
bool CrashDumpFileName(char* out, size_t size, const char* folder, const char* base, const char* user, int n,
                       const char* kind);
// The text with every byte other than the unreserved characters of a URL (letters, digits,
// '-', '.', '_', '~') written as %XX.
bool PercentEncode(char* out, size_t size, const char* text);
// server + "/common/crashreport.php?filename=<dumpName>[&html=htm][&userdata=<userData>]",
// the values converted from the system code page to UTF-8 and percent-encoded, so that no
// value can end the query or add a key.
bool CrashReportAddress(char* out, size_t size, const char* server, const char* dumpName, bool german,
                        const char* userData);
// Writes a minidump of this process of the given MINIDUMP_TYPE into path (replaced).
// exception may be null. False when dbghelp or the file cannot be had or the dump fails.
bool WriteMiniDump(const char* path, DWORD dumpType, EXCEPTION_POINTERS* exception);
// Compresses path into a new file path + ".gz" (gzip, read in 4096-byte chunks); on success the
// uncompressed file is deleted. False (and no ".gz" of its own left) when the file is empty, the
// copy cannot be written, or something (a file, a link) already has the ".gz" name.
bool CompressDumpFile(const char* path);

namespace TARVOAPP {

// The unhandled-exception filter: hands the fault to the dump thread made at installation (or,
// without one, runs the report itself), which writes, compresses and reports the dump. Returns 1
// (the process ends without the system's error dialog), or 0 when dbghelp cannot be loaded
// (the system's default handling follows). exception may be null. Runs once: a fault inside it
// ends the process at once.
LONG WINAPI WriteDumpToFileHandler(EXCEPTION_POINTERS* exception);
// The report of a fault of faultingThread, written on the calling thread.
LONG WriteReportOnThisThread(EXCEPTION_POINTERS* exception, DWORD faultingThread);

} // namespace TARVOAPP
