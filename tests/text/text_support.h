// Helpers of the text tests: byte views of BINARY, and the
// folders for reference data and scratch files.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "checkrecorder.h"
#include "text/binary.h"
#include "text/strings.h"
#include "text/wstring.h"

// The failed-check recorder of the rig.
using rig::CheckRecorder;

std::string Bytes(const BINARY& value);
STRING TextOf(const std::string& bytes);
BINARY BinaryOf(const std::string& bytes);
std::wstring Wide(const WSTRING& text);

// Reference data shipped beside the test program (tests/text/data).
std::string DataPath(const std::string& name);
// A scratch file name in the test run's own temporary folder.
std::string TempPath(const std::string& name);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// The lines the log wrote while fn ran.
template <class Fn>
std::string CaptureLog(Fn fn);
std::string StartLogCapture();
std::string StopLogCapture(const std::string& path);

template <class Fn>
std::string CaptureLog(Fn fn)
{
    std::string path = StartLogCapture();
    fn();
    return StopLogCapture(path);
}

// Runs each piece of work on a thread of its own; true when all of them end within the time
// limit. Threads that do not end are left behind (deadlocked, most likely), so whatever they
// use must outlive the test: hand them shared owners rather than references.
bool FinishWithin(int milliseconds, const std::vector<std::function<void()>>& work);

// A file name that opens for writing but takes no byte: Linux's /dev/full through Wine's Z:.
constexpr const char* DISK_FULL_PATH = "Z:\\dev\\full";

// Counts the occurrences of a text.
int CountOf(const std::string& haystack, const std::string& needle);
