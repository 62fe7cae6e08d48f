// Helpers of the osys tests: AssertRecorder collects the failed checks of one scope.
#pragma once

#include <string>
#include <vector>

#include "diag/assert.h"

class AssertRecorder {
public:
    AssertRecorder() : previous(SetAssertObserver(&Record)) { Conditions().clear(); }
    ~AssertRecorder() { SetAssertObserver(previous); }
    AssertRecorder(const AssertRecorder&) = delete;
    AssertRecorder& operator=(const AssertRecorder&) = delete;

    static std::vector<std::string>& Conditions()
    {
        static std::vector<std::string> conditions;
        return conditions;
    }

private:
    static void Record(const char* condition, const char*) { Conditions().push_back(condition); }
    AssertObserver previous;
};
