// CheckRecorder: the failed checks (condition text and detail) reported while it lives, seen
// through the assertions' observer. The checks are still reported as usual (the test programs
// run with /NOASSERT, so no box waits). One recorder at a time; a nested one takes over and
// hands back at its end.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "diag/assert.h"

namespace rig {

class CheckRecorder {
public:
    CheckRecorder();
    ~CheckRecorder();
    CheckRecorder(const CheckRecorder&) = delete;
    CheckRecorder& operator=(const CheckRecorder&) = delete;

    // The conditions in the order they were reported.
    std::vector<std::string> Conditions() const;
    // Condition and detail ("" without one) of each report.
    std::vector<std::pair<std::string, std::string>> Reports() const;
    int Count(const std::string& condition) const;
    bool Saw(const std::string& condition) const { return Count(condition) > 0; }
    size_t Total() const;
    // The detail of the first report of that condition ("" when none).
    std::string InfoOf(const std::string& condition) const;
    void Clear();

private:
    static void Record(const char* condition, const char* info);

    mutable std::mutex lock; // checks may fail on other threads of the test
    std::vector<std::pair<std::string, std::string>> reports;
    CheckRecorder* outer;
    AssertObserver previousObserver;
};

} // namespace rig
