#include "ui/helpfile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "approot/approot.h"
#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "osys/registry.h"
#include "text/textinternal.h"

namespace {

// Commands of the HTML Help engine.
constexpr UINT ENGINE_DISPLAY_TOPIC = 0x00;
constexpr UINT ENGINE_DISPLAY_CONTENTS = 0x01;
constexpr UINT ENGINE_INITIALIZE = 0x1C;
constexpr UINT ENGINE_UNINITIALIZE = 0x1D;
constexpr UINT ENGINE_PRETRANSLATE = 0xFD;
// The engine's 8-bit entry point.
constexpr WORD ENGINE_ENTRY_ORDINAL = 14;
constexpr const char* ENGINE_CLASS_KEY = "SOFTWARE\\Classes\\CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}";

using ENGINEFUNC = HWND(WINAPI*)(HWND owner, const char* file, UINT command, DWORD_PTR data);

// Located once per process: after a failure the engine is never looked for again.
struct ENGINE {
    UniqueModule library;
    ENGINEFUNC entry = nullptr;
    bool failed = false;
};

ENGINE& Engine()
{
    static ENGINE engine;
    return engine;
}

// The engine registered for the HTML Help class on the machine, else the system folder's
// hhctrl.ocx. Not HKEY_CLASSES_ROOT: it lays the user's own classes over the machine's, and an
// elevated program must not load a library that the same user's unelevated programs named.
UniqueModule LoadEngineLibrary()
{
    REGISTRY key(HKEY_LOCAL_MACHINE, ENGINE_CLASS_KEY, "InprocServer32", REGISTRY::OPEN_READ);
    STRING path;
    if (key && key.ReadString(nullptr, path) && path.IsFilled()) {
        char expanded[MAX_PATH] = {};
        DWORD length = ExpandEnvironmentStringsA(path.c_str(), expanded, sizeof(expanded));
        if (length > 0 && length <= sizeof(expanded)) {
            UniqueModule library(LoadLibraryA(expanded));
            LogPrint("HELPFILE engine %s loaded= %d\n", expanded, library ? 1 : 0);
            if (library)
                return library;
        }
    }
    return UniqueModule(OSYS::LoadSystemLibrary("hhctrl.ocx"));
}

ENGINEFUNC EngineEntry()
{
    ENGINE& engine = Engine();
    if (engine.entry || engine.failed)
        return engine.entry;
    engine.library = LoadEngineLibrary();
    engine.entry = OSYS::GetFunction<ENGINEFUNC>(engine.library.get(), MAKEINTRESOURCEA(ENGINE_ENTRY_ORDINAL));
    engine.failed = engine.entry == nullptr;
    if (engine.failed)
        LogPrint("HELPFILE engine not available\n");
    return engine.entry;
}

// Every engine call answers 0 when the engine cannot be had.
HWND CallEngine(HWND owner, const char* file, UINT command, DWORD_PTR data)
{
    ENGINEFUNC entry = EngineEntry();
    return entry ? entry(owner, file, command, data) : nullptr;
}

// The list file beside the help file: its name with the last three characters replaced.
STRING ListFileName(const STRING& helpFile, const char* ending)
{
    STRING name = helpFile.Left(helpFile.Length() >= 3 ? helpFile.Length() - 3 : 0);
    name.Append(ending);
    return name;
}

std::unique_ptr<HELPFILE> helpFile;

} // namespace

STRING HelpTopicText(const char* file, const char* topic)
{
    char text[HELPFILE::TOPIC_TEXT_MAX + 1];
    int length = snprintf(text, sizeof(text), "%s::html/topic-%s.html", file ? file : "", topic ? topic : "");
    if (length < 0)
        return STRING("");
    return STRING(text);
}

STRING HelpFileTempCopy(const char* file)
{
    const char* temp = getenv("TEMP");
    if (!file || !temp || !*temp)
        return STRING(file);
    LogPrint("HELPFILE::SetFilename file is on network\n");
    FILENAME source(file);
    UniqueFileHandle from(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!from)
        return STRING(file);
    // A fresh name that nothing holds yet, made by this process alone: neither an older copy
    // nor a link planted at a name that can be foreseen is ever written through.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; attempt++) {
        char prefix[48];
        snprintf(prefix, sizeof(prefix), "tarvo-%lx-%x-", static_cast<unsigned long>(GetCurrentProcessId()),
                 ++counter);
        FILENAME copy(temp, (STRING(prefix) + source.GetName()).c_str());
        UniqueFileHandle to = OSYS::CreateNewFile(copy.c_str());
        if (!to) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            return STRING(file);
        }
        char block[16384];
        DWORD got = 0, written = 0;
        bool ok = true;
        while (ok && ReadFile(from.get(), block, sizeof(block), &got, nullptr) && got > 0)
            ok = WriteFile(to.get(), block, got, &written, nullptr) && written == got;
        to.reset();
        if (!ok) {
            DeleteFileA(copy.c_str());
            return STRING(file);
        }
        LogPrint("HELPFILE::SetFilename copy to temp (%s) done\n", copy.c_str());
        return copy.Text();
    }
    return STRING(file);
}

STRING HelpListLineTopic(const char* line)
{
    const char* equals = strchr(line, '=');
    const char* start = equals ? equals + 1 : line;
    const char* blank = strchr(start, ' ');
    STRING topic("");
    topic.Append(start, blank ? static_cast<int>(blank - start) : static_cast<int>(strlen(start)));
    return topic;
}

HELPFILE::HELPFILE()
{
    LogPrint("HELPFILE::HELPFILE\n");
    for (HELPMAPPING& mapping : Mappings) {
        mapping.Id = "";
        mapping.Topic = "";
    }
    LogPrint("HELPFILE::HELPFILE done\n");
}

HELPFILE::~HELPFILE()
{
    LogPrint("HELPFILE::~HELPFILE\n");
    // The engine is loaded only once a help file is set.
    if (Html && HasFile())
        CallEngine(nullptr, nullptr, ENGINE_UNINITIALIZE, Cookie);
    else if (!Html)
        WinHelpA(Owner, Filename.c_str(), HELP_QUIT, 0);
    if (tempCopy.IsFilled())
        DeleteFileA(tempCopy.c_str());
    LogPrint("HELPFILE::~HELPFILE done\n");
}

void HELPFILE::SetFilename(const char* name, int html)
{
    LogPrint("HELPFILE::SetFilename %s (html= %d)\n", name ? name : "<NULL>", html);
    if (name) {
        Html = html;
        if (Html) {
            // Received in a full pointer-sized value, whatever width the engine writes.
            DWORD_PTR cookie = 0;
            CallEngine(nullptr, nullptr, ENGINE_INITIALIZE, reinterpret_cast<DWORD_PTR>(&cookie));
            Cookie = static_cast<uint32_t>(cookie);
        }
        Filename = name;
        ReadTopicList();
        // The engine refuses to show the pages of a file on a network drive.
        if (Html && FILENAME(Filename.c_str()).IsOnNetwork()) {
            STRING copy = HelpFileTempCopy(Filename.c_str());
            if (!copy.Equals(Filename.c_str()))
                tempCopy = copy;
            Filename = copy;
        }
    }
    LogPrint("HELPFILE::SetFilename done, file is %s (html= %d)\n", Filename.c_str(), Html);
}

void HELPFILE::ReadTopicList()
{
    STRING listName = ListFileName(Filename, "ids");
    if (!FILENAME(listName.c_str()).IsFile())
        listName = ListFileName(Filename, "cnt");
    UNIQUEFILE list(FILENAME::fsopen(listName.c_str(), "r"));
    if (!TARVO_CHECK(list != nullptr, "fhelpcnt!=NULL", listName.c_str()))
        return;
    char line[LIST_LINE_MAX + 1];
    while (fgets(line, sizeof(line), list.get())) {
        size_t length = strlen(line);
        if (length > 0 && line[length - 1] == '\n')
            line[length - 1] = 0;
        Topics.Add(HelpListLineTopic(line));
    }
}

bool HELPFILE::HasFile() const
{
    return Filename.IsFilled();
}

int HELPFILE::ShowTopic(unsigned long id)
{
    STRING topic(id);
    for (int i = 0; i < NumMappings; i++)
        if (Mappings[i].Id.EqualsNoCase(topic.c_str())) {
            topic = Mappings[i].Topic;
            break;
        }
    if (Topics.IndexOf(topic.c_str(), 0) < 0)
        return 0;
    LogPrint("HELPFILE::ShowTopic %lu topic= %s\n", id, topic.c_str());
    if (Html)
        LastViewer = CallEngine(Owner, HelpTopicText(Filename.c_str(), topic.c_str()).c_str(), ENGINE_DISPLAY_TOPIC, 0);
    else
        WinHelpA(Owner, Filename.c_str(), HELP_CONTEXT, strtoul(topic.c_str(), nullptr, 10));
    return 1;
}

int HELPFILE::ShowHelpForWindow(HWND window)
{
    for (; window; window = GetParent(window)) {
        auto id = static_cast<unsigned long>(GetWindowLongPtrA(window, GWLP_ID));
        if (int shown = ShowTopic(id))
            return shown;
    }
    return 0;
}

intptr_t HELPFILE::ShowContents(int finder)
{
    if (Html)
        return reinterpret_cast<intptr_t>(CallEngine(Owner, Filename.c_str(), ENGINE_DISPLAY_CONTENTS, 0));
    return WinHelpA(Owner, Filename.c_str(), finder ? HELP_FINDER : HELP_CONTENTS, 0);
}

void HELPFILE::AddMapping(unsigned long id, unsigned long topic)
{
    STRING idText(id);
    for (int i = 0; i < NumMappings; i++)
        if (Mappings[i].Id.EqualsNoCase(idText.c_str())) {
            Mappings[i].Topic = STRING(topic);
            return;
        }
    if (!TARVO_CHECK(NumMappings < MAPPINGS_MAX, "this->NumMappings<ARRAYMAX(this->Mappings)", idText.c_str()))
        return;
    Mappings[NumMappings].Id = idText;
    Mappings[NumMappings].Topic = STRING(topic);
    NumMappings++;
}

bool HELPFILE::PreTranslate(MSG* message)
{
    // Without a help file no viewer can be open: the engine is not loaded for every message loop.
    if (!Html || !HasFile())
        return false;
    return CallEngine(nullptr, nullptr, ENGINE_PRETRANSLATE, reinterpret_cast<DWORD_PTR>(message)) != nullptr;
}

int HELPFILE::GetDefaultTopic() const
{
    return DefaultTopic.ToInt();
}

HELPFILE& GetHelpFile()
{
    if (!helpFile) {
        helpFile = std::make_unique<HELPFILE>();
        // The application's shutdown releases it; the core cannot name the toolkit's class.
        TARVOAPP::AddShutdownHook(DestroyHelpFile);
    }
    return *helpFile;
}

void DestroyHelpFile()
{
    helpFile.reset();
}
