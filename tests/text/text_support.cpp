#include "text_support.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "diag/logit.h"
#include "osys/osysfile.h"
#include "text/binary.h"
#include "text/stringpool.h"
#include "text/wstring.h"

namespace {

std::filesystem::path& RunFolder()
{
    static std::filesystem::path folder;
    return folder;
}

// Every run works in a folder of its own: "assert.log" and scratch files land there.
class TextTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("text_tests_" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(folder);
        RunFolder() = folder;
        startFolder = std::filesystem::current_path();
        std::filesystem::current_path(folder);
    }
    void TearDown() override
    {
        StringPoolShutdown();
        // After the shutdown every buffer comes from the heap and texts still work.
        STRING after("after the pool");
        after.Append(" is gone");
        EXPECT_STREQ("after the pool is gone", after.c_str());
        std::error_code ignored;
        std::filesystem::current_path(startFolder, ignored);
        std::filesystem::remove_all(RunFolder(), ignored);
    }

private:
    std::filesystem::path startFolder;
};

const auto* environment = ::testing::AddGlobalTestEnvironment(new TextTestEnvironment);

} // namespace

std::string Bytes(const BINARY& value)
{
    return value.Buffer ? std::string(value.Buffer, value.StrLen) : std::string();
}

std::wstring Wide(const WSTRING& text)
{
    return std::wstring(text.c_str(), text.Length());
}

STRING TextOf(const std::string& bytes)
{
    return STRING(BINARY(bytes.data(), static_cast<int>(bytes.size())));
}

BINARY BinaryOf(const std::string& bytes)
{
    return BINARY(bytes.data(), static_cast<int>(bytes.size()));
}

std::string DataPath(const std::string& name)
{
    return FILENAME("<self>").GetPath().c_str() + std::string("\\data\\") + name;
}

std::string TempPath(const std::string& name)
{
    return (RunFolder() / name).string();
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string StartLogCapture()
{
    static std::atomic<int> serial{0};
    std::string path = TempPath("capture_" + std::to_string(serial++) + ".log");
    LogSwitch(("/LOGIT:" + path).c_str());
    return path;
}

std::string StopLogCapture(const std::string& path)
{
    LogSwitch("/LOGITCLOSE");
    return ReadFileBytes(path);
}

int CountOf(const std::string& haystack, const std::string& needle)
{
    int count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + needle.size()))
        count++;
    return count;
}

bool FinishWithin(int milliseconds, const std::vector<std::function<void()>>& work)
{
    // The count is shared with the threads, so that threads left behind never touch a dead object.
    auto finished = std::make_shared<std::atomic<size_t>>(0);
    for (const auto& piece : work)
        std::thread([finished, piece] {
            piece();
            (*finished)++;
        }).detach();
    for (int waited = 0; *finished < work.size() && waited < milliseconds; waited += 10)
        Sleep(10);
    return *finished == work.size();
}
