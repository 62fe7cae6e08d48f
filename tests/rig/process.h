// Running a program under test as a child process while watching, recording and answering
// the message boxes it shows, so that no box can ever hang a test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace rig {

// One message box seen while the child ran: a top-level "#32770" window of the child's process.
struct MessageBoxSeen {
    std::string title;
    std::string text;    // the texts of its "Static" children, joined by "\n" when there are several
    std::string buttons; // the standard buttons it has, e.g. "OK" or "Yes|No"
};

// Which button answers a box. Boxes without the chosen button get OK (or Cancel when they have no OK).
enum class BoxAnswer { Ok, Yes, No };

struct RunResult {
    bool started = false;  // CreateProcess succeeded
    DWORD startError = 0;  // its error when it did not
    bool timedOut = false; // the child was still running at the deadline and was killed
    DWORD exitCode = 0;
    double seconds = 0; // wall time from creation to the end of the child
    std::vector<MessageBoxSeen> boxes;
    std::string output; // what the child wrote to its standard output and error (one pipe)
};

// Runs exe with the arguments appended one blank apart exactly as given (the caller adds quotes
// where it wants them, because programs split their command lines by their own rules).
// workdir empty: the caller's current directory. The child is killed at timeoutMs. Its standard
// output and error go to a pipe that the run reads into output.
RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args, const std::string& workdir,
                     DWORD timeoutMs, BoxAnswer answer);

// Answers the message boxes that the test process itself shows (a box blocks the thread that
// shows it), from a thread of its own while the object lives. The spared windows (a dialog of
// the test) are never answered.
class BoxAnswerer {
public:
    explicit BoxAnswerer(BoxAnswer answer, std::vector<HWND> spared = {});
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    // Ends the watching; the boxes seen.
    std::vector<MessageBoxSeen> Stop();
    // The boxes seen so far.
    std::vector<MessageBoxSeen> Boxes();

private:
    // Win32 primitives only: the standard thread headers would include the system's process.h,
    // which this header shadows on the rig's include path.
    static DWORD WINAPI Watch(void* self);
    BoxAnswer answer;
    std::vector<HWND> spared;
    SRWLOCK lock = SRWLOCK_INIT;
    RunResult seen;
    volatile LONG stopping = 0;
    HANDLE watcher = nullptr;
};

// Quotes an argument by the C runtime's rules when it holds blanks, tabs or quotes.
std::string QuoteArgument(const std::string& argument);

// A message box's line breaks in one form ("\r\n" and "\r" become "\n"), for comparing texts.
std::string NormalizeLineBreaks(const std::string& text);

} // namespace rig
