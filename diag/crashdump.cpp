#include "diag/crashdump.h"

#include <dbghelp.h>
#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/osys_win32.h"
#include "osys/processvalues.h"
#include "osys/security.h"

#ifndef TARVO_CRASH_REPORT_SERVER
#error "TARVO_CRASH_REPORT_SERVER names the web server of the crash-report form"
#endif

// What runs after a fault: the filter, on the faulting thread, only hands the fault to the dump
// thread made when the handler was installed and waits for it, since a thread that overflowed its
// stack has a few kilobytes left. The dump thread frees the reserve, builds every text in fixed
// buffers on its own stack (the heap may be what failed, and the text pool's lock may be held by
// the faulting thread), loads dbghelp, which allocates, writes the dump and compresses it with
// zlib's state in an arena set aside at installation. The log, the question box and the report
// address take the heap as before.

namespace {

constexpr size_t CHUNK_SIZE = 4096;
// A path, an address and a question text of the handler.
constexpr size_t PATH_SIZE = 1024;
constexpr size_t ADDRESS_SIZE = 4096;
constexpr size_t QUESTION_SIZE = 4096;
// A file system allows 255 characters for one name.
constexpr size_t NAME_MAX_LENGTH = 255;

std::atomic<int> dumpLevel{0};
std::unique_ptr<char[]> reserve;
// zlib's deflate state for a 15-bit window and memory level 8 is about 270 KB in a few blocks.
constexpr size_t DEFLATE_ARENA_SIZE = 320 * 1024;
std::unique_ptr<char[]> deflateArena;
size_t deflateArenaUsed = 0;
char userData[CRASH_USER_DATA_MAX + 1] = {};
// The thread inside the handler; 0 while no fault is handled.
std::atomic<DWORD> handlerThread{0};

struct DumpKind {
    const char* name;
    DWORD type;
};

constexpr DumpKind dumpKinds[5] = {
    {"TINY", MiniDumpNormal},
    {"MINI", MiniDumpScanMemory | MiniDumpWithIndirectlyReferencedMemory | MiniDumpWithProcessThreadData},
    {"TARVO", MiniDumpScanMemory | MiniDumpWithIndirectlyReferencedMemory | MiniDumpWithProcessThreadData |
                  MiniDumpWithDataSegs | MiniDumpWithHandleData},
    {"MIDI", MiniDumpWithDataSegs | MiniDumpWithHandleData | MiniDumpWithUnloadedModules |
                 MiniDumpWithProcessThreadData | MiniDumpWithPrivateReadWriteMemory},
    {"MAXI", MiniDumpWithFullMemory | MiniDumpWithHandleData | MiniDumpWithUnloadedModules |
                 MiniDumpWithProcessThreadData},
};

const DumpKind& KindOf(int level)
{
    int index = level % 5;
    return dumpKinds[index < 0 ? index + 5 : index];
}

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

bool FileExists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Appends text to out at *used; false when it does not fit.
bool Append(char* out, size_t size, size_t* used, const char* text)
{
    int n = snprintf(out + *used, size - *used, "%s", text);
    if (n < 0 || static_cast<size_t>(n) >= size - *used)
        return false;
    *used += static_cast<size_t>(n);
    return true;
}

// The desktop folder as the user's shell folders name it, ending in '\'; false when there is
// none. Read here into a fixed buffer rather than through OSYS::GetSystemPath, whose text
// takes the text pool's lock.
bool DesktopFolder(char* out, size_t size)
{
    char raw[PATH_SIZE] = {};
    DWORD rawSize = sizeof(raw) - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                     "Desktop", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, raw,
                     &rawSize) != ERROR_SUCCESS)
        return false;
    DWORD n = ExpandEnvironmentStringsA(raw, out, static_cast<DWORD>(size) - 1);
    if (n <= 1 || n > size - 1)
        return false;
    size_t length = strlen(out);
    if (out[length - 1] != '\\') {
        if (length + 2 > size)
            return false;
        out[length] = '\\';
        out[length + 1] = 0;
    }
    return true;
}

// The folder of the program file, ending in '\'.
bool ProgramFolder(char* out, size_t size)
{
    DWORD n = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(size));
    if (n == 0 || n >= size)
        return false;
    char* slash = strrchr(out, '\\');
    if (!slash)
        return false;
    slash[1] = 0;
    return true;
}

// Converts text from the system code page to UTF-8 into out; false when it does not fit.
bool SystemToUtf8(char* out, size_t size, const char* text)
{
    wchar_t wide[ADDRESS_SIZE];
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(std::size(wide)));
    if (n <= 0)
        return false;
    return WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, static_cast<int>(size), nullptr, nullptr) > 0;
}

bool AppendEncoded(char* out, size_t size, size_t* used, const char* value)
{
    char utf8[ADDRESS_SIZE];
    char encoded[ADDRESS_SIZE];
    return SystemToUtf8(utf8, sizeof(utf8), value) && PercentEncode(encoded, sizeof(encoded), utf8) &&
           Append(out, size, used, encoded);
}

bool WriteDumpWith(MiniDumpWriteDumpFn writeDump, HANDLE file, DWORD dumpType, EXCEPTION_POINTERS* exception,
                   DWORD faultingThread)
{
    MINIDUMP_EXCEPTION_INFORMATION parameter = {faultingThread, exception, FALSE};
    if (!writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, static_cast<MINIDUMP_TYPE>(dumpType),
                   exception ? &parameter : nullptr, nullptr, nullptr)) {
        LogPrint("TARVOAPP::WriteDumpToFileHandler MiniDumpWriteDump failed (error %lu)\n", GetLastError());
        return false;
    }
    return true;
}

// The name chosen for the dump: the first candidate that exists neither plain nor as ".gz";
// when all 100 exist, the last one.
bool ChooseDumpName(char* out, size_t size, const char* folder, const char* base, const char* user,
                    const char* kind)
{
    char compressed[PATH_SIZE + 4];
    for (int n = 0; n < 100; n++) {
        if (!CrashDumpFileName(out, size, folder, base, user, n, kind))
            return false;
        snprintf(compressed, sizeof(compressed), "%s.gz", out);
        if (!FileExists(out) && !FileExists(compressed))
            return true;
    }
    return true;
}

// Creates the dump's file under the first candidate name that is free, as ChooseDumpName picks
// it; a name where something appeared meanwhile (or a link the existence test cannot see) is
// passed over. When all 100 names are taken, the last name and its ".gz" are removed (a link
// itself, not what it points to) and the file is made anew. The name goes to path.
UniqueFileHandle CreateDumpFile(char* path, size_t size, const char* folder, const char* base, const char* user,
                                const char* kind)
{
    char compressed[PATH_SIZE + 4];
    for (int n = 0; n < 100; n++) {
        if (!CrashDumpFileName(path, size, folder, base, user, n, kind))
            return UniqueFileHandle();
        snprintf(compressed, sizeof(compressed), "%s.gz", path);
        if (FileExists(compressed))
            continue;
        UniqueFileHandle file = OSYS::CreateNewFile(path);
        DWORD error = GetLastError();
        if (file)
            return file;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            LogPrint("TARVOAPP::WriteDumpToFileHandler cannot create %s (error %lu)\n", path, error);
            return file;
        }
    }
    DeleteFileA(path);
    DeleteFileA(compressed);
    UniqueFileHandle file = OSYS::CreateNewFile(path);
    if (!file)
        LogPrint("TARVOAPP::WriteDumpToFileHandler cannot create %s (error %lu)\n", path, GetLastError());
    return file;
}

// The Yes/No question before anything is written; true for Yes.
bool AskToWrite(const char* base, const char* fileName, const char* folder)
{
    char folderText[PATH_SIZE];
    snprintf(folderText, sizeof(folderText), "%s", folder);
    size_t length = strlen(folderText);
    if (length > 0 && folderText[length - 1] == '\\')
        folderText[length - 1] = 0;
    char question[QUESTION_SIZE];
    if (IsGerman())
        snprintf(question, sizeof(question),
                 "Das Programm %s hat einen Fehler verursacht und muss beendet werden.\n\nSie k\xF6nnen eine Datei "
                 "mit Crash-Informationen per Web-Upload oder Email \nan Tarvo senden. Dies kann helfen, den Fehler "
                 "in zuk\xFCnftigen Versionen\nzu beheben.\n\n Filename: %s\n (im Ordner '%s')\n\nWollen Sie die "
                 "Crash-Informationen erzeugen und an Tarvo senden(zum Upload \xF6\x66\x66net sich ein "
                 "Web-Formular)?",
                 base, fileName, folderText);
    else
        snprintf(question, sizeof(question),
                 "The program %s has encountered an error and will be terminated.\n\nYou can choose to create a file "
                 "containing crash-debugging information,\nfor upload to Tarvo. These files can help to fix these "
                 "crashes in \nfuture versions of the product.\n\n Filename: %s\n (in folder '%s')\n\nDo you now want "
                 "to create and send the crash-information (a web browser will open with an upload form to send the "
                 "file)?",
                 base, fileName, folderText);
    return MessageBoxA(nullptr, question, gAppName.c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

// Steps 2 to 10 of the handler; returns the filter result.
LONG WriteReport(EXCEPTION_POINTERS* exception, DWORD faultingThread)
{
    char folder[PATH_SIZE];
    bool onDesktop = DesktopFolder(folder, sizeof(folder));
    if (!onDesktop && !ProgramFolder(folder, sizeof(folder)))
        folder[0] = 0;

    char user[CRASH_USER_NAME_MAX + 1] = {};
    DWORD userSize = sizeof(user);
    if (!GetUserNameA(user, &userSize))
        user[0] = 0;

    UniqueModule dbghelp(OSYS::LoadSystemLibrary("dbghelp.dll"));
    auto writeDump = OSYS::GetFunction<MiniDumpWriteDumpFn>(dbghelp.get(), "MiniDumpWriteDump");
    if (!dbghelp || !writeDump) {
        LogPrint("TARVOAPP::WriteDumpToFileHandler failed to load dll or proc address (%p/%p)\n",
                 static_cast<void*>(dbghelp.get()), reinterpret_cast<void*>(writeDump));
        return 0;
    }

    int level = dumpLevel.load();
    char base[256];
    char dumpPath[PATH_SIZE];
    if (!CrashBaseName(base, sizeof(base), gAppName.c_str(), VersionText()) ||
        !ChooseDumpName(dumpPath, sizeof(dumpPath), folder, base, user, CrashDumpKindName(level))) {
        LogPrint("TARVOAPP::WriteDumpToFileHandler no room for the dump's name\n");
        return 1;
    }
    const char* fileName = dumpPath + strlen(folder);

    // In the service role nobody can answer a question: the dump is written without one.
    bool serviceRole = OSYS::InServiceRole();
    if (!LogIsEnabled() && !serviceRole && !AskToWrite(base, fileName, folder))
        return 1;

    {
        UniqueFileHandle file = CreateDumpFile(dumpPath, sizeof(dumpPath), folder, base, user, CrashDumpKindName(level));
        if (!file || !WriteDumpWith(writeDump, file.get(), CrashDumpType(level), exception, faultingThread))
            return 1;
    }
    fileName = dumpPath + strlen(folder);
    if (!CompressDumpFile(dumpPath))
        LogPrint("TARVOAPP::WriteDumpToFileHandler kept the dump uncompressed\n");
    LogPrint("TARVOAPP::WriteDumpToFileHandler dump file written (%s)\n", dumpPath);

    // The form asks the user to upload a file from the desktop; a dump elsewhere goes by hand,
    // and the service role opens nothing for a user.
    if (onDesktop && !serviceRole) {
        char address[ADDRESS_SIZE];
        if (CrashReportAddress(address, sizeof(address), TARVO_CRASH_REPORT_SERVER, fileName, IsGerman(), userData))
            OSYS::OpenDocument(address, nullptr);
    }
    return 1;
}

// The dump thread: made when the handler is installed, it waits for a fault handed over by the
// filter and writes the report on its own stack.
struct DumpThread {
    UniqueHandle requested; // set by the filter
    UniqueHandle done;      // set by the dump thread when the report is written
    UniqueHandle thread;
    DWORD threadId = 0;
    EXCEPTION_POINTERS* exception = nullptr;
    DWORD faultingThread = 0;
    LONG result = 0;
};
DumpThread dumpThread;
// dbghelp and the shell need more than the default stack reservation's committed start.
constexpr SIZE_T DUMP_THREAD_STACK = 1024 * 1024;

DWORD WINAPI RunDumpThread(void*)
{
    WaitForSingleObject(dumpThread.requested.get(), INFINITE);
    dumpThread.result = TARVOAPP::WriteReportOnThisThread(dumpThread.exception, dumpThread.faultingThread);
    SetEvent(dumpThread.done.get());
    return 0;
}

void StartDumpThread()
{
    dumpThread.requested.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    dumpThread.done.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (dumpThread.requested && dumpThread.done)
        dumpThread.thread.reset(CreateThread(nullptr, DUMP_THREAD_STACK, RunDumpThread, nullptr,
                                             STACK_SIZE_PARAM_IS_A_RESERVATION, &dumpThread.threadId));
    LogPrint("SetCrashDumpLevel dump thread %lu\n", static_cast<unsigned long>(dumpThread.threadId));
}

// A stack overflow is taken first, before the system searches for a handler: the search, and
// the way to the unhandled-exception filter, need more stack than the faulting thread has left
// (seen under Wine: a second overflow there, which ends the thread and never the process). The
// dump is written as for any fault, and the process ends here with the fault's code.
LONG CALLBACK HandleStackOverflow(EXCEPTION_POINTERS* exception)
{
    if (!exception || !exception->ExceptionRecord ||
        exception->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW)
        return EXCEPTION_CONTINUE_SEARCH;
    TARVOAPP::WriteDumpToFileHandler(exception);
    TerminateProcess(GetCurrentProcess(), EXCEPTION_STACK_OVERFLOW);
    return EXCEPTION_CONTINUE_SEARCH;
}

// zlib's allocator for the gzip copy: blocks from the arena set aside at installation, the heap
// when there is none (a copy made outside the handler) or it is used up.
voidpf ArenaAlloc(voidpf, uInt items, uInt size)
{
    size_t bytes = (static_cast<size_t>(items) * size + 15) & ~static_cast<size_t>(15);
    if (deflateArena && bytes <= DEFLATE_ARENA_SIZE - deflateArenaUsed) {
        void* block = deflateArena.get() + deflateArenaUsed;
        deflateArenaUsed += bytes;
        return block;
    }
    return calloc(items, size);
}

void ArenaFree(voidpf, voidpf block)
{
    char* bytes = static_cast<char*>(block);
    if (!deflateArena || bytes < deflateArena.get() || bytes >= deflateArena.get() + DEFLATE_ARENA_SIZE)
        free(block);
}

bool WriteAll(HANDLE file, const unsigned char* bytes, size_t count)
{
    DWORD written = 0;
    return WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count;
}

} // namespace

void SetCrashDumpLevel(int level)
{
    int current = dumpLevel.load();
    while (level != 0 && level > current && !dumpLevel.compare_exchange_weak(current, level)) {
    }
    if (dumpLevel.load() == 0)
        return;
    if (!reserve) {
        reserve = std::make_unique<char[]>(CRASH_RESERVE_SIZE);
        deflateArena = std::make_unique<char[]>(DEFLATE_ARENA_SIZE);
        StartDumpThread();
        AddVectoredExceptionHandler(1, HandleStackOverflow);
        // Checked once, at the first installation; the handler checks again when it runs.
        UniqueModule dbghelp(OSYS::LoadSystemLibrary("dbghelp.dll"));
        bool canDump = OSYS::GetFunction<MiniDumpWriteDumpFn>(dbghelp.get(), "MiniDumpWriteDump") != nullptr;
        LogPrint("SetCrashDumpLevel %d: dumps %s, debugger %s\n", dumpLevel.load(),
                 canDump ? "can be written" : "cannot be written (no dbghelp)",
                 IsDebuggerPresent() ? "attached" : "not attached");
    }
    SetUnhandledExceptionFilter(TARVOAPP::WriteDumpToFileHandler);
}

int CrashDumpLevel()
{
    return dumpLevel.load();
}

void SetCrashUserData(const char* text)
{
    snprintf(userData, sizeof(userData), "%s", text ? text : "");
}

void ReleaseCrashReserve()
{
    reserve.reset();
}

void RaiseCrashFault()
{
    // Through a volatile address the compiler cannot prove invalid, so the write is kept.
    volatile uintptr_t invalidAddress = 0x10;
    *reinterpret_cast<volatile int*>(invalidAddress) = 0;
}

const char* CrashDumpKindName(int level)
{
    return KindOf(level).name;
}

DWORD CrashDumpType(int level)
{
    return KindOf(level).type;
}

bool CrashBaseName(char* out, size_t size, const char* appName, const char* version)
{
    if (size == 0)
        return false;
    size_t used = 0;
    for (const char* part : {appName, version}) {
        for (const char* p = part; *p; p++) {
            if (*p == '.')
                continue;
            if (used + 1 >= size)
                return false;
            // Upper-cased as STRING::ToUpper does: ASCII letters only.
            out[used++] = (*p >= 'a' && *p <= 'z') ? static_cast<char>(*p - 'a' + 'A') : *p;
        }
    }
    out[used] = 0;
    return true;
}

bool CrashDumpFileName(char* out, size_t size, const char* folder, const char* base, const char* user, int n,
                       const char* kind)
{
    char suffix[8] = {};
    if (n > 0)
        snprintf(suffix, sizeof(suffix), "%d", n);
    // The name around the user: "Tarvo.CrashInfo." base "." user suffix "." kind ".dmp.gz".
    size_t fixed = strlen("Tarvo.CrashInfo.") + strlen(base) + 1 + strlen(suffix) + 1 + strlen(kind) +
                   strlen(".dmp.gz");
    if (fixed >= NAME_MAX_LENGTH)
        return false;
    size_t userRoom = NAME_MAX_LENGTH - fixed;
    char userPart[CRASH_USER_NAME_MAX + 1];
    size_t length = 0;
    for (; user[length] && length < userRoom && length < CRASH_USER_NAME_MAX; length++)
        userPart[length] = user[length] == ' ' ? '_' : user[length];
    userPart[length] = 0;
    int written =
        snprintf(out, size, "%sTarvo.CrashInfo.%s.%s%s.%s.dmp", folder, base, userPart, suffix, kind);
    return written > 0 && static_cast<size_t>(written) < size;
}

bool PercentEncode(char* out, size_t size, const char* text)
{
    static const char hex[] = "0123456789ABCDEF";
    if (size == 0)
        return false;
    size_t used = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; p++) {
        bool unreserved = (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9') ||
                          *p == '-' || *p == '.' || *p == '_' || *p == '~';
        size_t need = unreserved ? 1 : 3;
        if (used + need >= size)
            return false;
        if (unreserved) {
            out[used++] = static_cast<char>(*p);
        } else {
            out[used++] = '%';
            out[used++] = hex[*p >> 4];
            out[used++] = hex[*p & 0xF];
        }
    }
    out[used] = 0;
    return true;
}

bool CrashReportAddress(char* out, size_t size, const char* server, const char* dumpName, bool german,
                        const char* userData)
{
    size_t used = 0;
    if (size == 0)
        return false;
    out[0] = 0;
    return Append(out, size, &used, server) && Append(out, size, &used, "/common/crashreport.php?filename=") &&
           AppendEncoded(out, size, &used, dumpName) && (!german || Append(out, size, &used, "&html=htm")) &&
           (!userData || !*userData ||
            (Append(out, size, &used, "&userdata=") && AppendEncoded(out, size, &used, userData)));
}

bool WriteMiniDump(const char* path, DWORD dumpType, EXCEPTION_POINTERS* exception)
{
    UniqueModule dbghelp(OSYS::LoadSystemLibrary("dbghelp.dll"));
    auto writeDump = OSYS::GetFunction<MiniDumpWriteDumpFn>(dbghelp.get(), "MiniDumpWriteDump");
    UniqueFileHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        LogPrint("TARVOAPP::WriteDumpToFileHandler cannot create %s (error %lu)\n", path, GetLastError());
    return writeDump && file && WriteDumpWith(writeDump, file.get(), dumpType, exception, GetCurrentThreadId());
}

bool CompressDumpFile(const char* path)
{
    char compressedPath[PATH_SIZE + 4];
    int n = snprintf(compressedPath, sizeof(compressedPath), "%s.gz", path);
    if (n < 0 || static_cast<size_t>(n) >= sizeof(compressedPath))
        return false;
    bool written = false;
    {
        UniqueFileHandle dump(
            CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        UniqueFileHandle compressed = dump ? OSYS::CreateNewFile(compressedPath) : UniqueFileHandle();
        if (!compressed)
            return false;
        // Each copy starts the arena anew: the state of an earlier one is gone with its deflateEnd.
        deflateArenaUsed = 0;
        z_stream stream = {};
        stream.zalloc = ArenaAlloc;
        stream.zfree = ArenaFree;
        // Window bits 15 + 16: a gzip member, as gzopen writes it.
        if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return false;
        unsigned char chunk[CHUNK_SIZE], out[CHUNK_SIZE];
        DWORD got = 0;
        unsigned long long total = 0;
        bool ok = true;
        int flush = Z_NO_FLUSH;
        do {
            ok = ReadFile(dump.get(), chunk, sizeof(chunk), &got, nullptr) != FALSE;
            total += got;
            flush = !ok || got == 0 ? Z_FINISH : Z_NO_FLUSH;
            stream.next_in = chunk;
            stream.avail_in = got;
            int rc = Z_OK;
            do {
                stream.next_out = out;
                stream.avail_out = sizeof(out);
                rc = deflate(&stream, flush);
                ok = ok && rc != Z_STREAM_ERROR && WriteAll(compressed.get(), out, sizeof(out) - stream.avail_out);
            } while (ok && stream.avail_out == 0);
            ok = ok && (flush != Z_FINISH || rc == Z_STREAM_END);
        } while (ok && flush != Z_FINISH);
        deflateEnd(&stream);
        written = ok && total > 0;
    }
    if (!written) {
        DeleteFileA(compressedPath);
        return false;
    }
    DeleteFileA(path);
    return true;
}

namespace TARVOAPP {

LONG WriteReportOnThisThread(EXCEPTION_POINTERS* exception, DWORD faultingThread)
{
    LogPrint("TARVOAPP::WriteDumpToFileHandler entered\n");
    ReleaseCrashReserve();
    LONG result = WriteReport(exception, faultingThread);
    LogPrint("TARVOAPP::WriteDumpToFileHandler finished\n");
    LogSwitch("/LOGITCLOSE");
    return result;
}

LONG WINAPI WriteDumpToFileHandler(EXCEPTION_POINTERS* exception)
{
    DWORD self = GetCurrentThreadId();
    DWORD exitCode =
        exception && exception->ExceptionRecord ? exception->ExceptionRecord->ExceptionCode : EXCEPTION_ACCESS_VIOLATION;
    // A fault while the dump is written (on the dump thread, or in the handler without one) ends
    // the process here instead of entering the handler again.
    if (self == dumpThread.threadId)
        TerminateProcess(GetCurrentProcess(), exitCode);
    DWORD running = 0;
    if (!handlerThread.compare_exchange_strong(running, self)) {
        if (running == self)
            TerminateProcess(GetCurrentProcess(), exitCode);
        // Another thread faulted while the dump is written: the first fault ends the process.
        Sleep(INFINITE);
    }
    if (!dumpThread.thread)
        return WriteReportOnThisThread(exception, self);
    dumpThread.exception = exception;
    dumpThread.faultingThread = self;
    SetEvent(dumpThread.requested.get());
    WaitForSingleObject(dumpThread.done.get(), INFINITE);
    return dumpThread.result;
}

} // namespace TARVOAPP
