// TarvoSample: the companion desktop application of the service controller's sample setup, and
// a small application of the class library. It shows one top-level window of class
// "TarvoSampleMainWindow" where it was last closed, and ends its process when its message loop
// receives WM_QUIT, which is how the service process asks it to stop. With its language library
// (lang\english.dll or lang\german.dll beside it) it also has the Ctrl+Q accelerator and, when
// a user started it, a notification-area icon whose menu shows the window or ends the program;
// without one it runs on its own resources, without either.
// It appends what it saw to TarvoSample.record beside its exe, one "key=value" line each,
// flushed at once: its process id, command line, arguments, working directory, the window it
// made and how it ended, so tests can check how the service started and stopped it.
// Optional knobs in TarvoSample.ini beside the exe (it cannot take test switches, because under
// the service its only argument is "/service"):
//   NoWindow=1       create no window; sleep until killed or until ExitAfterMs
//   ExitAfterMs=n    end by itself after n milliseconds
//   ExitCode=n       the exit code of that end by itself (default 0); a quit from outside ends with 0
//   WindowClass=...  register and create another window class
//   ModalDialog=1    once the window is shown, keep a modal dialog open until asked to quit
//   WindowAfterMs=n  wait n milliseconds before opening the window (a slow start)
//   Language=n       the language number (7 German; default English)
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "approot/approot.h"
#include "langids.h"
#include "osys/processvalues.h"
#include "sampleids.h"
#include "text/hash.h"
#include "ui/dialog.h"
#include "ui/menu.h"
#include "ui/taskbaricon.h"
#include "ui/window.h"

namespace {

constexpr char kDefaultWindowClass[] = "TarvoSampleMainWindow";
constexpr UINT_PTR kExitTimer = 1;
// Where the window's rectangle is kept, below "Software\Tarvo\".
constexpr char kPositionKey[] = "TarvoSample";
constexpr char kPositionValue[] = "MainWindow";

std::string ExePath()
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

struct Settings {
    bool noWindow = false;
    bool modalDialog = false;
    DWORD exitAfterMs = 0; // 0: no time limit
    DWORD windowAfterMs = 0;
    int exitCode = 0;      // when it ends by itself
    std::string windowClass = kDefaultWindowClass;
    int language = LANG_ENGLISH;
};

// The table format of the library (HASH): "key=value" lines, keys without regard to case,
// comments after // or #; a missing file leaves every default.
Settings ReadSettings(const std::string& path)
{
    Settings settings;
    HASH table;
    if (!table.Load(path.c_str()))
        return settings;
    auto number = [&](const char* key, long long fallback) {
        return table.HasKey(key) ? table.Lookup(key).ToInt() : fallback;
    };
    settings.noWindow = number("NoWindow", 0) != 0;
    settings.modalDialog = number("ModalDialog", 0) != 0;
    settings.exitAfterMs = static_cast<DWORD>(number("ExitAfterMs", 0));
    settings.exitCode = static_cast<int>(number("ExitCode", 0));
    settings.windowAfterMs = static_cast<DWORD>(number("WindowAfterMs", 0));
    if (table.HasKey("WindowClass") && table.Lookup("WindowClass").IsFilled())
        settings.windowClass = table.Lookup("WindowClass").c_str();
    settings.language = static_cast<int>(number("Language", LANG_ENGLISH));
    return settings;
}

// The record file, opened in append mode; every line is flushed so a test can read it at once.
class Record {
public:
    explicit Record(const std::string& path) : file(std::fopen(path.c_str(), "a")) {}
    ~Record()
    {
        if (file) {
            std::fclose(file);
        }
    }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    void Write(const char* key, const std::string& value)
    {
        if (file) {
            std::fprintf(file, "%s=%s\n", key, value.c_str());
            std::fflush(file);
        }
    }

private:
    FILE* file;
};

// The main window: paints who it is and how it was started, and keeps how the run ended.
class SampleWindow : public WINDOW {
public:
    SampleWindow(const std::string& className, std::vector<std::string> lines, DWORD exitAfterMs, int exitCode)
        : WINDOW(WS_OVERLAPPEDWINDOW, "Tarvo Sample Application", CW_USEDEFAULT, CW_USEDEFAULT, 520, 240, nullptr, 0,
                 0, className.c_str()),
          lines(std::move(lines)), exitAfterMs(exitAfterMs), timerExitCode(exitCode)
    {
    }
    // A quit from outside leaves the window open: it goes while this object is whole, so that
    // OnDestroy takes the notification icon away.
    ~SampleWindow() override { Destroy(); }

    // The notification-area icon with its menu; false when the notification area refused it.
    bool AddTrayIcon()
    {
        trayMenu = std::make_unique<MENU>(IDM_TRAY, MENU_RESOURCEMODULE);
        tray = std::make_unique<TASKBARICON>(hWnd, 1, "Tarvo Sample Application");
        return tray->upAndRunning != 0;
    }

    // Why the message loop ended; stays "WM_QUIT" when the quit message came from outside.
    const char* EndReason() const { return endReason; }
    // The exit code: the knob's after the timer, else 0.
    int ExitCode() const { return quitCode; }

    int OnCreate() override
    {
        if (exitAfterMs > 0)
            SetTimer(kExitTimer, exitAfterMs);
        return 0;
    }

    int OnPaint() override
    {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hWnd, &paint);
        if (!dc)
            return 1;
        FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_WINDOW));
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc, &metrics);
        int y = 12;
        for (const std::string& line : lines) {
            TextOutA(dc, 12, y, line.c_str(), static_cast<int>(line.size()));
            y += metrics.tmHeight + 4;
        }
        EndPaint(hWnd, &paint);
        return 1;
    }

    int OnTimer(UINT_PTR id) override
    {
        if (id != kExitTimer)
            return 0;
        KillTimer(kExitTimer);
        quitCode = timerExitCode;
        End("timer");
        return 1;
    }

    int OnClose() override
    {
        End("WM_CLOSE");
        return 1;
    }

    int OnMenuCommand(int id) override
    {
        if (id == IDM_EXIT) {
            End("menu");
            return 1;
        }
        if (id == IDM_SHOW) {
            Show(SW_SHOWNORMAL);
            SetForeground(0);
            return 1;
        }
        return 0;
    }

    // The notification icon reports its mouse messages in lParam.
    LRESULT OnUserMessage(UINT message, WPARAM, LPARAM lParam) override
    {
        if (message != MSG_TRAYNOTIFY || !trayMenu || !trayMenu->hMenu)
            return 0;
        if (lParam == WM_RBUTTONUP || lParam == WM_CONTEXTMENU) {
            MENU popup(trayMenu->GetSubMenu(0));
            int command = popup.TrackPopup(hWnd, nullptr, 1);
            if (command)
                OnMenuCommand(command);
        } else if (lParam == WM_LBUTTONDBLCLK) {
            OnMenuCommand(IDM_SHOW);
        }
        return 1;
    }

    int OnDestroy() override
    {
        if (tray)
            tray->Remove(0);
        PostQuitMessage(quitCode);
        return 0;
    }

private:
    // Remembers where the window was, then destroys it; the message loop ends with WM_QUIT.
    void End(const char* reason)
    {
        endReason = reason;
        StoreWindowPos(kPositionKey, kPositionValue);
        Destroy();
    }

    std::vector<std::string> lines;
    DWORD exitAfterMs;
    int timerExitCode;
    int quitCode = 0;
    const char* endReason = "WM_QUIT";
    std::unique_ptr<MENU> trayMenu;
    std::unique_ptr<TASKBARICON> tray;
};

} // namespace

// Started through the library's start routine (approot/winmain.cpp) like every program of the
// library, so that it gets the same library-search rules and switches.
int AppMain(int, char**, char**)
{
    const int show = SW_SHOWDEFAULT;
    const std::string folder = FolderOf(ExePath());
    Record record(folder + "\\TarvoSample.record");
    const Settings settings = ReadSettings(folder + "\\TarvoSample.ini");

    const std::string pid = std::to_string(GetCurrentProcessId());
    record.Write("start pid", pid);
    record.Write("commandline", GetCommandLineA());
    std::string arguments;
    record.Write("argc", std::to_string(__argc > 0 ? __argc - 1 : 0));
    for (int i = 1; i < __argc; ++i) {
        record.Write(std::string("arg").append(std::to_string(i)).c_str(), __argv[i]);
        if (i > 1) {
            arguments += ' ';
        }
        arguments += __argv[i];
    }
    // The folder it was started in: the start routine has made its own folder the current one.
    const std::string cwd = gWorkDir.c_str();
    record.Write("cwd", cwd);

    if (settings.noWindow) {
        record.Write("window", "none");
        Sleep(settings.exitAfterMs > 0 ? settings.exitAfterMs : INFINITE);
        record.Write("end", "timer");
        return settings.exitCode;
    }

    const bool asService = __argc == 2 && lstrcmpiA(__argv[1], "/service") == 0;
    gLocale = settings.language;
    // Silent: without a language library of its own the program runs on its own resources.
    const bool language = TARVOAPP::LoadLanguageModule(ExePath().c_str(), "lang", nullptr, "TarvoSample", 1);
    record.Write("language", language ? (IsGerman() ? "german" : "english") : "none");
    std::vector<std::string> lines = {"Tarvo Sample Application"};
    lines.push_back(std::string("Process id: ").append(pid));
    lines.push_back(std::string("Arguments: ").append(arguments.empty() ? "(none)" : arguments));
    lines.push_back(std::string("Working directory: ").append(cwd));
    lines.push_back(asService ? "Started by the Tarvo service." : "Started by a user.");
    Sleep(settings.windowAfterMs);
    SampleWindow window(settings.windowClass, std::move(lines), settings.exitAfterMs, settings.exitCode);
    if (!window.IsValid()) {
        record.Write("window error", std::to_string(GetLastError()));
        record.Write("end", "no window");
        return 1;
    }
    record.Write("window", settings.windowClass);
    window.RestoreWindowPos(kPositionKey, kPositionValue, false);
    window.Show(show);
    // A service has no user to click an icon.
    if (language && !asService)
        record.Write("trayicon", window.AddTrayIcon() ? "1" : "0");

    if (settings.modalDialog) {
        DIALOG waiting(IDD_SAMPLE_WAITING, window.Hwnd(), GetModuleHandleA(nullptr));
        record.Write("modal", waiting.IsValid() ? "open" : "none");
        record.Write("modal end", std::to_string(waiting.RunModal(0)));
    }
    TARVOAPP::MainDispatchLoop(window.Hwnd(), language ? IDA_MAIN : 0);
    // A quit from outside finds the window still there.
    if (window.IsValid())
        window.StoreWindowPos(kPositionKey, kPositionValue);
    record.Write("end", window.EndReason());
    return window.ExitCode();
}
