// Timings of the code-page conversions: 10 MB of bytes in code page 1252 to UTF-16, and 10 MB of
// UTF-8 through the streaming decoder, each next to the system's MultiByteToWideChar on the
// same bytes. Prints the figures and the ratios against their targets.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "text/strings.h"
#include "text/unicode.h"
#include "text/wstring.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int TEXT_BYTES = 10 * 1024 * 1024;
constexpr int RUNS = 15;

// The best of several runs of each, taken in turns so that both see the same load of the
// machine: the least disturbed runs are compared.
template <class Ours, class System>
std::pair<double, double> BestOfBoth(Ours ours, System system)
{
    double best[2] = {1e300, 1e300};
    for (int i = 0; i < RUNS; i++) {
        Clock::time_point start = Clock::now();
        ours();
        Clock::time_point middle = Clock::now();
        system();
        Clock::time_point end = Clock::now();
        best[0] = std::min(best[0], std::chrono::duration<double, std::milli>(middle - start).count());
        best[1] = std::min(best[1], std::chrono::duration<double, std::milli>(end - middle).count());
    }
    return {best[0], best[1]};
}

// Mostly ASCII words with Latin, Cyrillic and CJK characters and the odd euro sign; whole
// pieces, so that no sequence is cut at the end.
std::string MixedUtf8(std::mt19937& random)
{
    const char* pieces[] = {"service ",
                            "Stra\xC3\x9F"
                            "e ",
                            "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 ",
                            "\xE6\x97\xA5\xE6\x9C\xAC ",
                            "\xE2\x82\xAC 12,50\r\n",
                            "configuration=value; "};
    std::string text;
    text.reserve(TEXT_BYTES + 64);
    while (text.size() < static_cast<size_t>(TEXT_BYTES))
        text += pieces[random() % 6 == 0 ? random() % 5 : 5];
    return text;
}

bool Report(const char* what, double oursMs, double systemMs, double target)
{
    double ratio = oursMs / systemMs;
    bool met = ratio <= target;
    printf("%s: UNICODE %.2f ms, MultiByteToWideChar %.2f ms\n", what, oursMs, systemMs);
    printf("  UNICODE / system = %.2f (target <= %.1f): %s\n\n", ratio, target, met ? "met" : "MISSED");
    return met;
}

} // namespace

int main()
{
    std::mt19937 random(20261208);
    UNICODE& unicode = UNICODE::Instance();

    // Both sides write into memory touched before: under Wine the first touch of fresh pages
    // costs far more than either conversion (shown separately).
    std::string bytes(TEXT_BYTES, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    std::vector<wchar_t> systemOut(TEXT_BYTES);
    std::vector<wchar_t> ourOut(TEXT_BYTES);
    int systemCount = 0;
    auto [loopMs, systemMs] = BestOfBoth(
        [&] { unicode.BytesToWide(bytes.data(), TEXT_BYTES, 1252, ourOut.data()); },
        [&] { systemCount = MultiByteToWideChar(1252, 0, bytes.data(), TEXT_BYTES, systemOut.data(), TEXT_BYTES); });
    WSTRING wide;
    auto [wstringMs, freshMs] =
        BestOfBoth([&] { wide = WSTRING(bytes.data(), TEXT_BYTES, 1252); },
                   [&] {
                       std::vector<wchar_t> fresh(TEXT_BYTES);
                       MultiByteToWideChar(1252, 0, bytes.data(), TEXT_BYTES, fresh.data(), TEXT_BYTES);
                   });
    printf("10 MB of code page 1252 (%d characters; system %d)\n", wide.Length(), systemCount);
    printf("  into fresh memory: WSTRING %.2f ms, a new vector and MultiByteToWideChar %.2f ms\n", wstringMs, freshMs);
    bool latinMet = Report("  ByteToWide over the text", loopMs, systemMs, 1.2);

    std::string utf8 = MixedUtf8(random);
    int length = static_cast<int>(utf8.size());
    std::vector<wchar_t> utf8Out(length);
    WSTRING target;
    auto [decoderMs, utf8SystemMs] = BestOfBoth(
        [&] {
            target.Data.Make(0); // keeps the block
            UTF8STATE state;
            unicode.Utf8ToWide(utf8.data(), length, target, state);
        },
        [&] { systemCount = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, utf8Out.data(), length); });
    bool same =
        target.Length() == systemCount && std::equal(utf8Out.begin(), utf8Out.begin() + systemCount, target.c_str());
    printf("%.1f MB of UTF-8: %d characters, the same as the system's: %s\n", length / 1048576.0, target.Length(),
           same ? "yes" : "NO");
    bool utf8Met = Report("  Utf8ToWide appending to a WSTRING", decoderMs, utf8SystemMs, 1.5);
    return latinMet && utf8Met && same ? 0 : 1;
}
