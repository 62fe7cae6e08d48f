#include "e2e_support.h"

#include <algorithm>
#include <cctype>

#include "service/schandle.h"

namespace e2e {

// The build passes the programs' paths as the build system sees them.
std::string ServiceExe()
{
    return rig::WindowsPathOf(TARVO_SERVICE_EXE);
}
std::string SampleExe()
{
    return rig::WindowsPathOf(TARVO_SAMPLE_EXE);
}
std::string SampleConfig()
{
    return rig::WindowsPathOf(TARVO_SAMPLE_CFG);
}
std::string TestServiceExe()
{
    return rig::WindowsPathOf(TARVO_TESTSERVICE_EXE);
}
std::string CompanionExe()
{
    return rig::WindowsPathOf(TARVO_COMPANION_EXE);
}

ConfigEntries RequiredEntries(const std::string& serviceName)
{
    return {{"AppName", serviceName},
            {"AppExe", "TarvoSample.exe"},
            {"AppHelp", "help\\\\TarvoSample_|100"},
            {"AppRegKey", "TarvoTest"},
            {"AppWinClass", "TarvoSampleMainWindow"}};
}

ConfigEntries Without(ConfigEntries entries, const std::string& key)
{
    std::erase_if(entries, [&](const auto& entry) { return entry.first == key; });
    return entries;
}

ConfigEntries With(ConfigEntries entries, const std::string& key, const std::string& value)
{
    for (auto& entry : entries) {
        if (entry.first == key) {
            entry.second = value;
            return entries;
        }
    }
    entries.emplace_back(key, value);
    return entries;
}

std::string ConfigText(const ConfigEntries& entries, const std::string& lineEnd)
{
    std::string text;
    for (const auto& [key, value] : entries) {
        text += key + "=" + value + lineEnd;
    }
    return text;
}

ControllerFolder::ControllerFolder(const std::string& label, const std::string& programName)
    : folder(label), programName(programName)
{
    EXPECT_TRUE(folder.Valid()) << "scratch folder " << folder.Path();
    EXPECT_TRUE(folder.CopyIn(ServiceExe(), programName)) << "copy of " << ServiceExe();
}

bool ControllerFolder::WriteConfig(const std::string& text, const std::string& name)
{
    return folder.Write(name, text);
}

rig::RunResult ControllerFolder::Run(const std::vector<std::string>& args, rig::BoxAnswer answer, DWORD timeoutMs)
{
    return RunChecked(Exe(), args, answer, timeoutMs);
}

rig::RunResult ControllerFolder::RunCompanion(const std::vector<std::string>& args)
{
    std::string companion = folder.PathOf("service.com");
    if (GetFileAttributesA(companion.c_str()) == INVALID_FILE_ATTRIBUTES) {
        EXPECT_TRUE(folder.CopyIn(CompanionExe(), "service.com"));
    }
    return RunChecked(companion, args, rig::BoxAnswer::Ok, kRunTimeoutMs);
}

rig::RunResult ControllerFolder::RunChecked(const std::string& program, const std::vector<std::string>& args,
                                            rig::BoxAnswer answer, DWORD timeoutMs)
{
    std::vector<rig::FileStamp> before;
    for (const std::string& name : watched) {
        before.push_back(rig::StampOf(folder.PathOf(name)));
    }
    rig::RunResult result = rig::RunProgram(program, args, folder.Path(), timeoutMs, answer);
    EXPECT_TRUE(result.started) << "CreateProcess error " << result.startError;
    EXPECT_FALSE(result.timedOut) << "service.exe still ran after " << timeoutMs << " ms" << Describe(result);
    for (size_t i = 0; i < watched.size(); ++i) {
        // The controller only reads its configuration; a changed file is a write.
        EXPECT_TRUE(rig::StampOf(folder.PathOf(watched[i])) == before[i]) << watched[i] << " was changed";
    }
    return result;
}

std::string Describe(const rig::RunResult& result)
{
    std::string text =
        "\n  exit code " + std::to_string(result.exitCode) + ", " + std::to_string(result.boxes.size()) + " box(es)";
    for (const rig::MessageBoxSeen& box : result.boxes) {
        text += "\n  box [" + box.buttons + "] title=\"" + box.title + "\" text=\"" + box.text + "\"";
    }
    return text;
}

void ExpectSingleBox(const rig::RunResult& result, DWORD exitCode, const std::string& title, const std::string& text)
{
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, exitCode) << Describe(result);
    ASSERT_EQ(result.boxes.size(), 1u) << Describe(result);
    EXPECT_EQ(result.boxes[0].title, title);
    EXPECT_EQ(rig::NormalizeLineBreaks(result.boxes[0].text), rig::NormalizeLineBreaks(text));
    EXPECT_EQ(result.boxes[0].buttons, "OK");
}

void ExpectNoBox(const rig::RunResult& result, DWORD exitCode)
{
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, exitCode) << Describe(result);
    EXPECT_TRUE(result.boxes.empty()) << Describe(result);
}

bool Record::Has(const std::string& key) const
{
    return std::any_of(lines.begin(), lines.end(), [&](const auto& line) { return line.first == key; });
}

std::string Record::Value(const std::string& key) const
{
    std::string value;
    for (const auto& line : lines) {
        if (line.first == key) {
            value = line.second;
        }
    }
    return value;
}

std::vector<std::string> Record::Values(const std::string& key) const
{
    std::vector<std::string> values;
    for (const auto& line : lines) {
        if (line.first == key) {
            values.push_back(line.second);
        }
    }
    return values;
}

Record ReadRecord(const std::string& path)
{
    Record record;
    std::string text = rig::ReadFileBytes(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        size_t equals = line.find('=');
        if (equals != std::string::npos) {
            record.lines.emplace_back(line.substr(0, equals), line.substr(equals + 1));
        }
    }
    return record;
}

bool WaitForRecordKey(const std::string& path, const std::string& key, DWORD timeoutMs)
{
    ULONGLONG begin = GetTickCount64();
    for (;;) {
        if (ReadRecord(path).Has(key)) {
            return true;
        }
        if (GetTickCount64() - begin > timeoutMs) {
            return false;
        }
        Sleep(50);
    }
}

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

SERVICE_STATUS ServiceStatusOf(const std::string& name)
{
    SERVICE_STATUS status{};
    ServiceHandles handles = OpenServiceHandles(name.c_str(), SERVICE_QUERY_STATUS);
    if (!handles || !QueryServiceStatus(handles.service.get(), &status)) {
        return SERVICE_STATUS{};
    }
    return status;
}

} // namespace e2e
