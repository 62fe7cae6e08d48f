#include "fuzz_support.h"

#include <windows.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "diag/assert.h"

FuzzOptions gFuzzOptions;

namespace {

std::mutex currentLock;
const char* currentTarget = "a regression case";
long long currentIndex = -1;
std::string currentInput;
std::atomic<unsigned long long> currentSince{0}; // tick count at FuzzBegin, 0 while idle
std::atomic<long long> reports{0};

void CountReport(const char*, const char*)
{
    reports++;
}

// Names the input in hand; the caller ends the process right after.
void DescribeCurrent(const char* what)
{
    fprintf(stderr, "\nfuzz: %s in %s\n", what, currentTarget);
    if (currentIndex >= 0) {
        fprintf(stderr, "fuzz: input #%lld %s\n", currentIndex, Printable(currentInput).c_str());
        fprintf(stderr, "fuzz: rerun it alone with --seed=%llu --input=%lld\n",
                static_cast<unsigned long long>(gFuzzOptions.seed), currentIndex);
    }
    fflush(stderr);
}

LONG WINAPI CrashReport(EXCEPTION_POINTERS* info)
{
    DWORD code = info->ExceptionRecord->ExceptionCode;
    char what[128];
    snprintf(what, sizeof(what), "exception %08lx (%s)", static_cast<unsigned long>(code),
             code == EXCEPTION_ILLEGAL_INSTRUCTION ? "a trap: undefined behaviour"
             : code == EXCEPTION_ACCESS_VIOLATION  ? "access violation"
                                                   : "crash");
    DescribeCurrent(what);
    ExitProcess(3);
}

void Watchdog()
{
    for (;;) {
        Sleep(250);
        unsigned long long since = currentSince.load();
        if (since == 0 || GetTickCount64() - since < static_cast<unsigned long long>(gFuzzOptions.stallSeconds) * 1000)
            continue;
        std::lock_guard<std::mutex> hold(currentLock);
        char what[64];
        snprintf(what, sizeof(what), "no progress for %d s", gFuzzOptions.stallSeconds);
        DescribeCurrent(what);
        ExitProcess(4);
    }
}

} // namespace

uint64_t Rng::Next()
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int Rng::Below(int n)
{
    return n <= 1 ? 0 : static_cast<int>(Next() % static_cast<uint64_t>(n));
}

void FuzzBegin(const char* target, long long index, const std::string& input)
{
    std::lock_guard<std::mutex> hold(currentLock);
    currentTarget = target;
    currentIndex = index;
    currentInput = input;
    currentSince = GetTickCount64();
}

void FuzzEnd()
{
    currentSince = 0;
}

void FuzzGuardStart()
{
    SetAssertObserver(CountReport);
    SetUnhandledExceptionFilter(CrashReport);
    std::thread(Watchdog).detach();
}

long long FuzzReports()
{
    return reports.load();
}

std::string Printable(const std::string& bytes, size_t limit)
{
    std::string text = "\"";
    for (size_t i = 0; i < bytes.size() && i < limit; i++) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        char escaped[8];
        switch (c) {
        case '\\': text += "\\\\"; break;
        case '"': text += "\\\""; break;
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\t': text += "\\t"; break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                text += static_cast<char>(c);
            } else {
                // Hex escapes swallow following hex digits; "" "" breaks the literal there.
                snprintf(escaped, sizeof(escaped), "\\x%02x\" \"", c);
                text += escaped;
            }
        }
    }
    text += "\"";
    if (bytes.size() > limit)
        text += " ... (" + std::to_string(bytes.size()) + " bytes)";
    return text;
}

namespace {

// Bytes the formats treat specially: line ends, the text-mode end byte, separators, escapes,
// quotes, the base64 end marker, UTF-8 lead and continuation bytes.
constexpr char SPECIAL[] = {0,   '\t', '\n', '\r', 0x1A, '=', '{', '}', '\\', '#', '/', '[',  ']',  ' ',  '"',
                            '.', ':',  '<',  '>',  '%',  '$', '~', 'x', '0',  'A', 'z', 0x7F, '\x80', '\xbf', '\xc3',
                            '\xe9', '\xef', '\xf0', '\xff'};

char SpecialByte(Rng& rng, bool allowZero)
{
    char c = rng.Pick(SPECIAL);
    return (c == 0 && !allowZero) ? '0' : c;
}

} // namespace

std::string RandomBytes(Rng& rng, int maxLength, bool allowZero)
{
    int length = rng.Below(maxLength + 1);
    int flavour = rng.Below(3);
    std::string bytes;
    for (int i = 0; i < length; i++) {
        char c;
        if (flavour == 0)
            c = static_cast<char>(rng.Below(256));
        else if (flavour == 1)
            c = static_cast<char>(rng.Chance(85) ? 0x20 + rng.Below(0x5F) : rng.Below(256));
        else
            c = rng.Chance(60) ? SpecialByte(rng, allowZero) : static_cast<char>(0x20 + rng.Below(0x5F));
        if (c == 0 && !allowZero)
            c = 'a';
        bytes += c;
    }
    return bytes;
}

std::string Mutate(Rng& rng, const std::string& seed, const std::vector<std::string>& others)
{
    std::string bytes = seed;
    int steps = 1 + rng.Below(6);
    for (int s = 0; s < steps; s++) {
        int at = rng.Below(static_cast<int>(bytes.size()) + 1);
        switch (rng.Below(6)) {
        case 0:
            if (at < static_cast<int>(bytes.size()))
                bytes[at] = static_cast<char>(bytes[at] ^ (1 << rng.Below(8)));
            break;
        case 1: bytes.insert(bytes.begin() + at, SpecialByte(rng, true)); break;
        case 2: bytes.erase(at, rng.Below(16)); break;
        case 3: bytes.insert(at, bytes.substr(at, rng.Below(32))); break;
        case 4:
            if (!others.empty()) {
                const std::string& other = others[rng.Below(static_cast<int>(others.size()))];
                int from = rng.Below(static_cast<int>(other.size()) + 1);
                bytes.insert(at, other.substr(from, rng.Below(48)));
            }
            break;
        default: bytes.insert(at, RandomBytes(rng, 8, true)); break;
        }
    }
    return bytes;
}

int HostileIndex(Rng& rng, int length)
{
    switch (rng.Below(12)) {
    case 0: return INT_MIN;
    case 1: return INT_MAX;
    case 2: return -1;
    case 3: return -1 - rng.Below(5);
    case 4: return length;
    case 5: return length + 1;
    case 6: return length - 1;
    case 7: return INT_MAX - rng.Below(3);
    default: return rng.Below(length + 3);
    }
}

std::string ScratchFile(const char* name)
{
    return std::string(".\\") + name;
}

std::string ReadSeed(const char* name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file(path);
    file = file.substr(0, file.find_last_of('\\') + 1) + "seeds\\" + name;
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
