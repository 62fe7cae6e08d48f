// Support of the fuzz program: the seeded generator, the guard that names the input in hand
// when the process hangs or traps, and helpers for bytes and reproducers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The run's options: how long the random phase lasts and where its generator starts.
struct FuzzOptions {
    double seconds = 4;
    uint64_t seed = 20240617;
    long long onlyInput = -1; // >= 0: only this input of the random phase (a reproducer)
    int stallSeconds = 60;    // one input taking longer ends the process
};
extern FuzzOptions gFuzzOptions;

// Registers the random phase behind every regression case, so that it runs last.
void RegisterRandomPhase();

// splitmix64: small, fast, and the same sequence on every machine for a seed.
class Rng {
public:
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t Next();
    int Below(int n); // 0 .. n-1
    bool Chance(int percent) { return Below(100) < percent; }
    template <class T, size_t N>
    const T& Pick(const T (&items)[N])
    {
        return items[Below(static_cast<int>(N))];
    }

private:
    uint64_t state;
};

// Marks the input now being worked on; the watchdog and the crash report name it.
void FuzzBegin(const char* target, long long index, const std::string& input);
void FuzzEnd();
// Starts the watchdog thread and the crash report; the watchdog stops with the process.
void FuzzGuardStart();
// Failed checks reported since the start (the library reports malformed input as expected).
long long FuzzReports();

// The bytes as a C string literal, cut after limit bytes.
std::string Printable(const std::string& bytes, size_t limit = 400);

// Bytes of several flavours: any byte, text-like, or the bytes the formats treat specially.
std::string RandomBytes(Rng& rng, int maxLength, bool allowZero);
// A mutation of a seed: flips, insertions of special bytes, cuts, repeats and splices.
std::string Mutate(Rng& rng, const std::string& seed, const std::vector<std::string>& others);
// A number that hurts an index parameter: the extremes, -1, 0, around the length, or fair.
int HostileIndex(Rng& rng, int length);

// A file of the program's scratch folder (the current directory of the run).
std::string ScratchFile(const char* name);
std::string ReadSeed(const char* name);
