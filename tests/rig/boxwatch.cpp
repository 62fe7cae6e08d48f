// boxwatch: runs a program, prints and answers every message box it shows, and exits with the
// program's exit code. Lets shell scripts drive GUI programs whose boxes would otherwise wait
// for a person.
//   boxwatch [--answer=ok|yes|no] [--timeout=ms] -- program args...
// Each box is printed as one line "BOX title=<title> text=<text>" with its line breaks shown as \n;
// what the program wrote to its standard output and error follows.
// Exit codes of its own: 124 when the program was killed at the timeout, 125 for wrong usage,
// 127 when the program could not be started.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "process.h"

namespace {

constexpr int kExitTimeout = 124;
constexpr int kExitUsage = 125;
constexpr int kExitNotStarted = 127;

int Usage()
{
    std::fprintf(stderr, "usage: boxwatch [--answer=ok|yes|no] [--timeout=ms] -- program args...\n");
    return kExitUsage;
}

std::string OneLine(const std::string& text)
{
    std::string line;
    for (char c : rig::NormalizeLineBreaks(text)) {
        line += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    rig::BoxAnswer answer = rig::BoxAnswer::Ok;
    unsigned long timeoutMs = 120000;
    int first = 1;
    for (; first < argc; ++first) {
        std::string option = argv[first];
        if (option == "--") {
            ++first;
            break;
        }
        if (option == "--answer=ok") {
            answer = rig::BoxAnswer::Ok;
        } else if (option == "--answer=yes") {
            answer = rig::BoxAnswer::Yes;
        } else if (option == "--answer=no") {
            answer = rig::BoxAnswer::No;
        } else if (option.rfind("--timeout=", 0) == 0) {
            timeoutMs = std::strtoul(option.c_str() + std::strlen("--timeout="), nullptr, 10);
        } else {
            return Usage();
        }
    }
    if (first >= argc) {
        return Usage();
    }

    std::vector<std::string> args;
    for (int i = first + 1; i < argc; ++i) {
        args.push_back(rig::QuoteArgument(argv[i]));
    }
    rig::RunResult result = rig::RunProgram(argv[first], args, {}, timeoutMs, answer);
    if (!result.started) {
        std::fprintf(stderr, "boxwatch: cannot start %s (error %lu)\n", argv[first], result.startError);
        return kExitNotStarted;
    }
    for (const rig::MessageBoxSeen& box : result.boxes) {
        std::printf("BOX title=%s text=%s\n", OneLine(box.title).c_str(), OneLine(box.text).c_str());
    }
    // What the program wrote itself follows its boxes.
    std::fwrite(result.output.data(), 1, result.output.size(), stdout);
    std::fflush(stdout);
    if (result.timedOut) {
        std::fprintf(stderr, "boxwatch: %s still ran after %lu ms and was ended\n", argv[first], timeoutMs);
        return kExitTimeout;
    }
    return static_cast<int>(result.exitCode);
}
