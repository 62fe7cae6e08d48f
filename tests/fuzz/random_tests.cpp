// The random phase: inputs drawn from the seed, each target checked against its invariants
// until the time is up. Input i depends only on the seed and i, so any one can be rerun.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fuzz_checks.h"

namespace {

const char* const CONFIG_KEYS[] = {"AppName", "AppExe", "appname", "AppHelp", "AppRegKey", "AppWinClass",
                                   "ADVGUI",  "a_b",    "ab",      "",        " key ",     "WINDOWTITLE"};

std::vector<std::string> TextSeeds()
{
    return {ReadSeed("service.cfg"),
            "// settings\n#Key=service\n#Handle=12\nAppExe=bin\\\\viewer.exe\nAppHelp=v.chm|100\n#ADVGUI=1\n"
            "appname=dup\r\nblob=={{AAECAwQ=}}\nesc=\\x00\\z\\t\\r\\n\\\\\\x7b\\x7D\nnovalue=\nkey=a=b\n=value\n",
            "[#0]\n#Key=one\na=1\n\n[#1]\n#Handle=-5\nb=\\x00\\x1a\n\n[#2]\n\n",
            "[#1]\nx=1\n[#0]\n[#7]\ny=={{}}\n[x]\n[#\n",
            "\"C:\\Program Files\\x\\service.exe\"    \"/CFG:x y\"    /start",
            "service.exe /CFG:\"C:\\My Dir\\a.cfg\" -LANG GER /LOG:3 \"unterminated  rest",
            "a \"\" b \"\"\"\" \t /x"};
}

// A table of generated entries, described in the generator's own terms for reproducers.
struct TableInput {
    HASH table;
    std::string description;
};

TableInput RandomTable(Rng& rng, int maxEntries)
{
    TableInput input;
    if (rng.Chance(50)) {
        std::string key = RandomBytes(rng, 12, true);
        input.table.Key.Make(static_cast<int>(key.size()), key.data());
        input.description += "Key=" + Printable(key) + " ";
    }
    if (rng.Chance(30)) {
        input.table.Handle = static_cast<int>(rng.Next());
        input.description += "Handle=" + std::to_string(input.table.Handle) + " ";
    }
    int entries = rng.Below(maxEntries + 1);
    for (int e = 0; e < entries; e++) {
        std::string key = rng.Chance(50) ? std::string(rng.Pick(CONFIG_KEYS)) : RandomBytes(rng, 10, false);
        std::string value = RandomBytes(rng, 40, true);
        STRING& slot = input.table.Lookup(key.c_str());
        if (rng.Chance(10)) {
            slot = STRING(); // a key added by lookup and never assigned
            value = "<unassigned>";
        } else {
            slot.Make(static_cast<int>(value.size()), value.data());
            if (rng.Chance(15))
                slot.Flags |= STRINGFLAG_BINARY;
        }
        input.description += Printable(key) + "=" + Printable(value) + ((slot.Flags & STRINGFLAG_BINARY) ? "(binary) " : " ");
    }
    return input;
}

std::string RandomCommandLine(Rng& rng)
{
    static constexpr const char* PIECES[] = {"a", "/start", "-CFG", "\"", " ", "   ", "\t", "\"x y\"", "/CFG:\"C:\\My Dir\\a.cfg\"",
                                             "service.exe", "\"\"", "word", "é", "\\", "/LOG:3"};
    std::string line;
    int pieces = rng.Chance(10) ? 200 + rng.Below(300) : rng.Below(12);
    for (int p = 0; p < pieces; p++)
        line += rng.Chance(85) ? std::string(rng.Pick(PIECES)) : RandomBytes(rng, 6, false);
    return line;
}

std::string RandomPath(Rng& rng)
{
    static constexpr const char* PIECES[] = {"C:", "c:", "D:", "\\", "/", "\\\\", ".", "..", "...", "a", "dir", "file.txt",
                                             " ", "\\\\server\\share", "<self>", "<SELF>", "%APPDATA%", "$(APPDATA)",
                                             "~", "~\\", "~/", "%USERNAME%", "%COMPUTERNAME%", "%USERHOME%", "%userhome%",
                                             "$(USERPROFILE)", "%ALLUSERAPPDATA%", ":", "x:y", ".\\.", "\\.\\", "%"};
    std::string path;
    int pieces = rng.Below(8);
    for (int p = 0; p < pieces; p++) {
        if (rng.Chance(5))
            path += std::string(100 + rng.Below(250), 'x'); // past MAX_PATH
        else if (rng.Chance(85))
            path += rng.Pick(PIECES);
        else
            path += RandomBytes(rng, 5, false);
    }
    // A temporary name makes a file each time: rare, and removed by the check.
    if (rng.Chance(1))
        path = rng.Pick({"<tmp>", "<temp>", "<TMP>\\", "<temp>//"});
    return path;
}

struct Target {
    const char* name;
    int weight;
    std::function<std::string(Rng&, long long)> run;
};

std::vector<Target> Targets(const std::vector<std::string>& seeds)
{
    auto seedText = [&seeds](Rng& rng) {
        const std::string& seed = seeds[rng.Below(static_cast<int>(seeds.size()))];
        return rng.Chance(85) ? Mutate(rng, seed, seeds) : RandomBytes(rng, 60, true);
    };
    return {
        {"HASH write/read", 10,
         [](Rng& rng, long long i) {
             TableInput input = RandomTable(rng, 6);
             bool viaFile = rng.Chance(10);
             FuzzBegin(viaFile ? "HASH save/load" : "HASH write/read", i, input.description);
             return CheckHashRoundTrip(input.table, viaFile ? ".\\table.cfg" : nullptr);
         }},
        {"HASHLIST write/read", 6,
         [](Rng& rng, long long i) {
             HASHLIST list;
             std::string description;
             for (int r = rng.Below(4); r > 0; r--) {
                 TableInput input = RandomTable(rng, 3);
                 list.Add(input.table);
                 description += "[" + input.description + "] ";
             }
             bool viaFile = rng.Chance(10);
             FuzzBegin(viaFile ? "HASHLIST save/load" : "HASHLIST write/read", i, description);
             return CheckHashListRoundTrip(list, viaFile ? ".\\list.cfg" : nullptr);
         }},
        {"HASH text", 10,
         [seedText](Rng& rng, long long i) {
             std::string text = seedText(rng);
             FuzzBegin("HASH text", i, text);
             return CheckHashText(text);
         }},
        {"HASHLIST text", 8,
         [seedText](Rng& rng, long long i) {
             std::string text = seedText(rng);
             FuzzBegin("HASHLIST text", i, text);
             return CheckHashListText(text);
         }},
        {"SplitCommandLine", 10,
         [seedText](Rng& rng, long long i) {
             std::string line = rng.Chance(70) ? RandomCommandLine(rng) : seedText(rng);
             line = line.substr(0, line.find('\0'));
             int slots = rng.Chance(50) ? 256 : rng.Chance(50) ? rng.Below(5) : rng.Below(300) - 2;
             bool withProgramPath = rng.Chance(70);
             FuzzBegin("SplitCommandLine", i, std::to_string(slots) + (withProgramPath ? " slots with path: " : " slots: ") + line);
             return CheckSplit(line, slots, withProgramPath);
         }},
        {"encodings", 10,
         [seedText](Rng& rng, long long i) {
             std::string bytes = rng.Chance(50) ? RandomBytes(rng, 24, true) : seedText(rng).substr(0, 48);
             FuzzBegin("encodings", i, bytes);
             return CheckEncodings(bytes);
         }},
        {"FILENAME", 10,
         [](Rng& rng, long long i) {
             std::string a = RandomPath(rng), b = RandomPath(rng), c = RandomPath(rng);
             int parts = 1 + rng.Below(3);
             FuzzBegin("FILENAME", i, std::to_string(parts) + " parts: " + a + " | " + b + " | " + c);
             return parts == 1 ? CheckFilename(a) : parts == 2 ? CheckFilename(a, b) : CheckFilename(a, b, c);
         }},
        {"STRING operations", 12,
         [](Rng& rng, long long i) {
             std::string start = RandomBytes(rng, 16, false);
             bool startNull = rng.Chance(15);
             std::vector<StringOp> ops = RandomStringOps(rng, 1 + rng.Below(12));
             std::string description = startNull ? "NULL" : Printable(start);
             for (const StringOp& op : ops)
                 description += "; " + op.Describe();
             FuzzBegin("STRING operations", i, description);
             return CheckStringOps(start, startNull, ops);
         }},
        {"dialog template", 6,
         [](Rng& rng, long long i) {
             std::vector<unsigned char> bytes = RandomDialogTemplate(rng);
             int points = rng.Below(16) - 2;
             std::string face(static_cast<size_t>(rng.Below(40)), static_cast<char>('a' + rng.Below(26)));
             FuzzBegin("dialog template", i,
                       std::to_string(points) + " " + face + ": " + Printable(std::string(bytes.begin(), bytes.end())));
             return CheckDialogTemplate(bytes, points, face);
         }},
    };
}

void RandomPhase()
{
    std::vector<std::string> seeds = TextSeeds();
    ASSERT_FALSE(seeds[0].empty()) << "the seed file seeds\\service.cfg is missing";
    std::vector<Target> targets = Targets(seeds);
    int totalWeight = 0;
    for (const Target& target : targets)
        totalWeight += target.weight;

    struct Tally {
        long long inputs = 0;
        long long failures = 0;
    };
    std::map<std::string, Tally> tallies;
    long long reportsBefore = FuzzReports();
    ULONGLONG start = GetTickCount64();
    long long first = gFuzzOptions.onlyInput >= 0 ? gFuzzOptions.onlyInput : 0;
    long long inputs = 0;
    for (long long i = first;; i++) {
        if (gFuzzOptions.onlyInput >= 0 ? i > gFuzzOptions.onlyInput
                                        : GetTickCount64() - start >= gFuzzOptions.seconds * 1000)
            break;
        Rng rng(gFuzzOptions.seed ^ (0xD1B54A32D192ED03ull * static_cast<uint64_t>(i + 1)));
        int pick = rng.Below(totalWeight);
        const Target* target = &targets[0];
        for (const Target& candidate : targets) {
            target = &candidate;
            if ((pick -= candidate.weight) < 0)
                break;
        }
        std::string problem = target->run(rng, i);
        FuzzEnd();
        inputs++;
        Tally& tally = tallies[target->name];
        tally.inputs++;
        if (!problem.empty() && ++tally.failures <= 3)
            ADD_FAILURE() << target->name << ", input #" << i << " (rerun with --seed=" << gFuzzOptions.seed
                          << " --input=" << i << "): " << problem;
    }
    double seconds = (GetTickCount64() - start) / 1000.0;
    printf("fuzz: %lld inputs in %.1f s, %.0f per second, seed %llu, %lld check reports\n", inputs, seconds,
           seconds > 0 ? inputs / seconds : 0.0, static_cast<unsigned long long>(gFuzzOptions.seed),
           FuzzReports() - reportsBefore);
    for (const auto& [name, tally] : tallies)
        printf("fuzz:   %-20s %8lld inputs %6lld failed\n", name.c_str(), tally.inputs, tally.failures);
}

class RandomPhaseTest : public testing::Test {
    void TestBody() override { RandomPhase(); }
};

} // namespace

void RegisterRandomPhase()
{
    testing::RegisterTest("FuzzRandom", "InvariantsHold", nullptr, nullptr, __FILE__, __LINE__,
                          []() -> testing::Test* { return new RandomPhaseTest; });
}
