#include "process.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <map>

#include "handles.h"
#include "windowfind.h"

namespace rig {

namespace {

constexpr DWORD kBoxPollMs = 20;
constexpr int kStartAttempts = 3;
// A box that is still there this long after its answer was posted is answered again.
constexpr ULONGLONG kReanswerMs = 1000;

std::string ClassOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct BoxSearch {
    DWORD processId;
    std::vector<HWND> found;
    const std::vector<HWND>* spared = nullptr;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<BoxSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    // Only visible boxes: before that the box may not have its text yet.
    bool spared = search->spared && std::find(search->spared->begin(), search->spared->end(), window) !=
                                        search->spared->end();
    if (owner == search->processId && !spared && IsWindowVisible(window) && ClassOf(window) == "#32770") {
        search->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM context)
{
    auto* texts = reinterpret_cast<std::vector<std::string>*>(context);
    if (ClassOf(child) == "Static") {
        std::string text = WindowText(child);
        if (!text.empty()) {
            texts->push_back(text);
        }
    }
    return TRUE;
}

std::string ButtonsOf(HWND box)
{
    static const struct {
        int id;
        const char* name;
    } kButtons[] = {{IDOK, "OK"},       {IDYES, "Yes"},     {IDNO, "No"},        {IDCANCEL, "Cancel"},
                    {IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
    std::string buttons;
    for (const auto& button : kButtons) {
        if (GetDlgItem(box, button.id)) {
            buttons += (buttons.empty() ? "" : "|");
            buttons += button.name;
        }
    }
    return buttons;
}

int ChooseButton(HWND box, BoxAnswer answer)
{
    if (answer == BoxAnswer::Yes && GetDlgItem(box, IDYES)) {
        return IDYES;
    }
    if (answer == BoxAnswer::No && GetDlgItem(box, IDNO)) {
        return IDNO;
    }
    if (GetDlgItem(box, IDOK)) {
        return IDOK;
    }
    if (GetDlgItem(box, IDYES) && !GetDlgItem(box, IDCANCEL)) {
        return answer == BoxAnswer::No ? IDNO : IDYES;
    }
    return IDCANCEL;
}

MessageBoxSeen ReadBox(HWND box)
{
    MessageBoxSeen seen;
    seen.title = WindowText(box);
    std::vector<std::string> texts;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&texts));
    for (const std::string& text : texts) {
        seen.text += (seen.text.empty() ? "" : "\n");
        seen.text += text;
    }
    seen.buttons = ButtonsOf(box);
    return seen;
}

// Records boxes not seen before and answers every box of the child that is open.
void WatchBoxes(DWORD processId, BoxAnswer answer, std::map<HWND, ULONGLONG>& answered, RunResult& result,
                const std::vector<HWND>* spared = nullptr)
{
    BoxSearch search{processId, {}, spared};
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));

    // Forget boxes that have closed, so that a later box that reuses a handle is recorded too.
    for (auto it = answered.begin(); it != answered.end();) {
        bool open = false;
        for (HWND window : search.found) {
            open = open || window == it->first;
        }
        it = open ? std::next(it) : answered.erase(it);
    }

    ULONGLONG now = GetTickCount64();
    for (HWND box : search.found) {
        auto it = answered.find(box);
        if (it == answered.end()) {
            result.boxes.push_back(ReadBox(box));
            it = answered.emplace(box, 0).first;
        } else if (now - it->second < kReanswerMs) {
            continue;
        }
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(ChooseButton(box, answer), BN_CLICKED), 0);
        it->second = now;
    }
}

} // namespace

std::string QuoteArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
        } else if (c == '"') {
            // Backslashes before a quote are doubled, and the quote itself escaped.
            quoted.append(backslashes + 1, '\\');
            backslashes = 0;
        } else {
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, '\\');
    quoted += '"';
    return quoted;
}

std::string NormalizeLineBreaks(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            result += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            result += text[i];
        }
    }
    return result;
}

RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args, const std::string& workdir,
                     DWORD timeoutMs, BoxAnswer answer)
{
    RunResult result;
    std::string commandLine = QuoteArgument(exe);
    for (const std::string& arg : args) {
        commandLine += ' ';
        commandLine += arg;
    }

    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inherited, 0);
    UniqueHandle pipe(readEnd);
    UniqueHandle childEnd(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info{};
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           workdir.empty() ? nullptr : workdir.c_str(), &startup, &info)) {
            break;
        }
        result.startError = GetLastError();
        // Wine now and then fails a process creation with an internal error; the program under
        // test never ran then, so another attempt hides nothing about it.
        if (result.startError != ERROR_INTERNAL_ERROR || attempt == kStartAttempts) {
            return result;
        }
        Sleep(200);
    }
    result.startError = 0;
    ULONGLONG begin = GetTickCount64();
    auto clockBegin = std::chrono::steady_clock::now();
    result.started = true;
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    childEnd.reset();
    // Whatever is in the pipe, without waiting for more: a child's own children may hold it open.
    auto drain = [&] {
        DWORD available = 0;
        while (PeekNamedPipe(pipe.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            char buffer[4096];
            DWORD read = 0;
            if (!ReadFile(pipe.get(), buffer, sizeof buffer, &read, nullptr) || read == 0)
                break;
            result.output.append(buffer, read);
        }
    };

    std::map<HWND, ULONGLONG> answered;
    for (;;) {
        DWORD wait = WaitForSingleObject(process.get(), kBoxPollMs);
        drain();
        WatchBoxes(info.dwProcessId, answer, answered, result);
        if (wait != WAIT_TIMEOUT) {
            break;
        }
        if (GetTickCount64() - begin > timeoutMs) {
            result.timedOut = true;
            TerminateProcess(process.get(), ERROR_TIMEOUT);
            WaitForSingleObject(process.get(), 10000);
            break;
        }
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - clockBegin).count();
    drain();
    GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

BoxAnswerer::BoxAnswerer(BoxAnswer answer, std::vector<HWND> spared) : answer(answer), spared(std::move(spared))
{
    watcher = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

BoxAnswerer::~BoxAnswerer()
{
    Stop();
}

std::vector<MessageBoxSeen> BoxAnswerer::Stop()
{
    InterlockedExchange(&stopping, 1);
    if (watcher) {
        WaitForSingleObject(watcher, INFINITE);
        CloseHandle(watcher);
        watcher = nullptr;
    }
    return Boxes();
}

std::vector<MessageBoxSeen> BoxAnswerer::Boxes()
{
    AcquireSRWLockExclusive(&lock);
    std::vector<MessageBoxSeen> boxes = seen.boxes;
    ReleaseSRWLockExclusive(&lock);
    return boxes;
}

DWORD WINAPI BoxAnswerer::Watch(void* self)
{
    auto* answerer = static_cast<BoxAnswerer*>(self);
    std::map<HWND, ULONGLONG> answered;
    while (!answerer->stopping) {
        AcquireSRWLockExclusive(&answerer->lock);
        WatchBoxes(GetCurrentProcessId(), answerer->answer, answered, answerer->seen, &answerer->spared);
        ReleaseSRWLockExclusive(&answerer->lock);
        Sleep(kBoxPollMs);
    }
    return 0;
}

} // namespace rig
