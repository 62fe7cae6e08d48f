// TestLog: the diagnostic log of the test process sent to a file of its own for one test.
#pragma once

#include <string>

namespace rig {

// The path of a name in the temporary folder.
std::string TempPath(const std::string& name);

// Opens the log on "<temp>\<name>" with the opening switch (/LOGIT: unless another is given);
// closes the log and removes the file at the end of the scope.
class TestLog {
public:
    explicit TestLog(const std::string& name, const char* openSwitch = "/LOGIT:");
    ~TestLog();
    TestLog(const TestLog&) = delete;
    TestLog& operator=(const TestLog&) = delete;

    std::string Bytes() const;
    bool Contains(const std::string& text) const { return Bytes().find(text) != std::string::npos; }

    const std::string path;
};

} // namespace rig
