// TarvoSample: the companion desktop application of the service controller's sample setup.
// It shows one top-level window of class "TarvoSampleMainWindow" and ends its process when its
// message loop receives WM_QUIT, which is how the service process asks it to stop.
// It appends what it saw to TarvoSample.record beside its exe, one "key=value" line each,
// flushed at once: its process id, command line, arguments, working directory, the window it
// made and how it ended, so tests can check how the service started and stopped it.
// Optional knobs in TarvoSample.ini beside the exe (it cannot take test switches, because under
// the service its only argument is "/service"):
//   NoWindow=1       create no window; sleep until killed or until ExitAfterMs
//   ExitAfterMs=n    end by itself after n milliseconds
//   ExitCode=n       the exit code of that end by itself (default 0); a quit from outside ends with 0
//   WindowClass=...  register and create another window class
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char kDefaultWindowClass[] = "TarvoSampleMainWindow";
constexpr UINT_PTR kExitTimer = 1;

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

std::string CurrentDirectory()
{
    DWORD size = GetCurrentDirectoryA(0, nullptr);
    std::string folder(size, '\0');
    DWORD length = GetCurrentDirectoryA(size, folder.data());
    folder.resize(length < size ? length : 0);
    return folder;
}

std::string Trim(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) {
        return {};
    }
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

bool SameKey(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && !b[i];
}

struct Settings {
    bool noWindow = false;
    DWORD exitAfterMs = 0; // 0: no time limit
    int exitCode = 0;      // when it ends by itself
    std::string windowClass = kDefaultWindowClass;
};

// "key=value" lines; blank lines, "[section]" lines and lines starting with ';' or '#' are skipped.
Settings ReadSettings(const std::string& path)
{
    Settings settings;
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) {
        return settings;
    }
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, file)) {
        std::string line = Trim(buffer);
        size_t equals = line.find('=');
        if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[' || equals == std::string::npos) {
            continue;
        }
        std::string key = Trim(line.substr(0, equals));
        std::string value = Trim(line.substr(equals + 1));
        if (SameKey(key, "NoWindow")) {
            settings.noWindow = std::atoi(value.c_str()) != 0;
        } else if (SameKey(key, "ExitAfterMs")) {
            settings.exitAfterMs = std::strtoul(value.c_str(), nullptr, 10);
        } else if (SameKey(key, "ExitCode")) {
            settings.exitCode = std::atoi(value.c_str());
        } else if (SameKey(key, "WindowClass") && !value.empty()) {
            settings.windowClass = value;
        }
    }
    std::fclose(file);
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
class SampleWindow {
public:
    SampleWindow(std::vector<std::string> lines, DWORD exitAfterMs, int exitCode)
        : lines(std::move(lines)), exitAfterMs(exitAfterMs), timerExitCode(exitCode)
    {
    }

    bool Create(HINSTANCE instance, const std::string& className, int show)
    {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &SampleWindow::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = className.c_str();
        if (!RegisterClassExA(&windowClass)) {
            return false;
        }
        HWND window = CreateWindowExA(0, className.c_str(), "Tarvo Sample Application", WS_OVERLAPPEDWINDOW,
                                      CW_USEDEFAULT, CW_USEDEFAULT, 520, 240, nullptr, nullptr, instance, this);
        if (!window) {
            return false;
        }
        ShowWindow(window, show);
        UpdateWindow(window);
        return true;
    }

    // Why the message loop ended; stays "WM_QUIT" when the quit message came from outside.
    const char* EndReason() const { return endReason; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<SampleWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        return self ? self->Route(window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
    }

    LRESULT Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_CREATE:
            if (exitAfterMs > 0) {
                SetTimer(window, kExitTimer, exitAfterMs, nullptr);
            }
            return 0;
        case WM_PAINT:
            Paint(window);
            return 0;
        case WM_TIMER:
            if (wParam == kExitTimer) {
                KillTimer(window, kExitTimer);
                endReason = "timer";
                quitCode = timerExitCode;
                DestroyWindow(window);
            }
            return 0;
        case WM_CLOSE:
            endReason = "WM_CLOSE";
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(quitCode);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
        }
    }

    void Paint(HWND window)
    {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (!dc) {
            return;
        }
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc, &metrics);
        int y = 12;
        for (const std::string& line : lines) {
            TextOutA(dc, 12, y, line.c_str(), static_cast<int>(line.size()));
            y += metrics.tmHeight + 4;
        }
        EndPaint(window, &paint);
    }

    std::vector<std::string> lines;
    DWORD exitAfterMs;
    int timerExitCode;
    int quitCode = 0;
    const char* endReason = "WM_QUIT";
};

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
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
    const std::string cwd = CurrentDirectory();
    record.Write("cwd", cwd);

    if (settings.noWindow) {
        record.Write("window", "none");
        Sleep(settings.exitAfterMs > 0 ? settings.exitAfterMs : INFINITE);
        record.Write("end", "timer");
        return settings.exitCode;
    }

    const bool asService = __argc == 2 && lstrcmpiA(__argv[1], "/service") == 0;
    std::vector<std::string> lines = {"Tarvo Sample Application"};
    lines.push_back(std::string("Process id: ").append(pid));
    lines.push_back(std::string("Arguments: ").append(arguments.empty() ? "(none)" : arguments));
    lines.push_back(std::string("Working directory: ").append(cwd));
    lines.push_back(asService ? "Started by the Tarvo service." : "Started by a user.");
    SampleWindow window(std::move(lines), settings.exitAfterMs, settings.exitCode);
    if (!window.Create(instance, settings.windowClass, show)) {
        record.Write("window error", std::to_string(GetLastError()));
        record.Write("end", "no window");
        return 1;
    }
    record.Write("window", settings.windowClass);

    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    record.Write("end", got == 0 ? window.EndReason() : "GetMessage error");
    return got == 0 ? static_cast<int>(message.wParam) : 1;
}
