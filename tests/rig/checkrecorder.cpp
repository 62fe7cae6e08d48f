#include "checkrecorder.h"

namespace rig {

namespace {

// Guards the active recorder: a report from another thread may arrive while one ends.
std::mutex activeLock;
CheckRecorder* active = nullptr;

} // namespace

CheckRecorder::CheckRecorder()
{
    std::lock_guard<std::mutex> guard(activeLock);
    outer = active;
    active = this;
    previousObserver = SetAssertObserver(&Record);
}

CheckRecorder::~CheckRecorder()
{
    std::lock_guard<std::mutex> guard(activeLock);
    SetAssertObserver(previousObserver);
    active = outer;
}

void CheckRecorder::Record(const char* condition, const char* info)
{
    std::lock_guard<std::mutex> guard(activeLock);
    if (!active)
        return;
    std::lock_guard<std::mutex> reportsGuard(active->lock);
    active->reports.emplace_back(condition ? condition : "", info ? info : "");
}

std::vector<std::string> CheckRecorder::Conditions() const
{
    std::lock_guard<std::mutex> guard(lock);
    std::vector<std::string> conditions;
    for (const auto& report : reports)
        conditions.push_back(report.first);
    return conditions;
}

std::vector<std::pair<std::string, std::string>> CheckRecorder::Reports() const
{
    std::lock_guard<std::mutex> guard(lock);
    return reports;
}

int CheckRecorder::Count(const std::string& condition) const
{
    std::lock_guard<std::mutex> guard(lock);
    int count = 0;
    for (const auto& report : reports)
        count += report.first == condition;
    return count;
}

size_t CheckRecorder::Total() const
{
    std::lock_guard<std::mutex> guard(lock);
    return reports.size();
}

std::string CheckRecorder::InfoOf(const std::string& condition) const
{
    std::lock_guard<std::mutex> guard(lock);
    for (const auto& report : reports)
        if (report.first == condition)
            return report.second;
    return "";
}

void CheckRecorder::Clear()
{
    std::lock_guard<std::mutex> guard(lock);
    reports.clear();
}

} // namespace rig
