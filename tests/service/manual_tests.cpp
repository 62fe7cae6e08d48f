// The administrator's manuals against the program: every switch, exit code and configuration
// key has its row in their tables; and the sample's service.cfg holds every required key and
// no key the program does not read.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "diag/logit.h"
#include "service/main.h"
#include "text/hash.h"

namespace {

// One table of a manual: the first cell of its header and the first cells of its rows.
struct Table {
    std::string header;
    std::vector<std::string> firstCells;
};

std::string FirstCell(const std::string& line)
{
    size_t end = line.find('|', 1);
    std::string cell = line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    size_t first = cell.find_first_not_of(' ');
    size_t last = cell.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : cell.substr(first, last - first + 1);
}

bool IsRule(const std::string& cell)
{
    return !cell.empty() && cell.find_first_not_of("-: ") == std::string::npos;
}

std::vector<Table> ReadTables(const char* path)
{
    std::vector<Table> tables;
    std::ifstream file(path);
    std::string line;
    bool inTable = false;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] != '|') {
            inTable = false;
            continue;
        }
        std::string cell = FirstCell(line);
        if (!inTable)
            tables.push_back({cell, {}});
        else if (!IsRule(cell))
            tables.back().firstCells.push_back(cell);
        inTable = true;
    }
    return tables;
}

// The cells of the tables whose header is one of the given words.
std::vector<std::string> CellsUnder(const std::vector<Table>& tables, std::initializer_list<const char*> headers)
{
    std::vector<std::string> cells;
    for (const Table& table : tables)
        for (const char* header : headers)
            if (table.header == header)
                cells.insert(cells.end(), table.firstCells.begin(), table.firstCells.end());
    return cells;
}

// A switch is named as `/NAME` or, with a value, `/NAME:value` or `/NAME[:n]`.
bool NamesSwitch(const std::vector<std::string>& cells, const std::string& name)
{
    std::string opening = "`/" + name;
    for (const std::string& cell : cells)
        for (size_t at = cell.find(opening); at != std::string::npos; at = cell.find(opening, at + 1)) {
            char next = at + opening.size() < cell.size() ? cell[at + opening.size()] : '\0';
            if (name.back() == ':' || next == '`' || next == ':' || next == '[')
                return true;
        }
    return false;
}

struct Manual {
    const char* path;
    std::initializer_list<const char*> switchHeaders;
    const char* exitCodeHeader;
    const char* keyHeader;
};

const Manual MANUALS[] = {
    {TARVO_MANUAL_ENGLISH, {"Switch"}, "Exit code", "Key"},
    {TARVO_MANUAL_GERMAN, {"Schalter"}, "Exitcode", "Schl\xC3\xBCssel"},
};

TEST(Manual, EverySwitchExitCodeAndKeyHasItsRow)
{
    for (const Manual& manual : MANUALS) {
        SCOPED_TRACE(manual.path);
        std::vector<Table> tables = ReadTables(manual.path);
        ASSERT_FALSE(tables.empty()) << "no tables read";
        std::vector<std::string> switches = CellsUnder(tables, manual.switchHeaders);
        for (const ControllerSwitch& entry : CONTROLLER_SWITCHES)
            EXPECT_TRUE(NamesSwitch(switches, entry.name)) << "switch /" << entry.name;
        for (const char* name : LOG_SWITCH_NAMES)
            EXPECT_TRUE(NamesSwitch(switches, name)) << "diagnostic switch /" << name;
        std::vector<std::string> codes = CellsUnder(tables, {manual.exitCodeHeader});
        for (int code : CONTROLLER_EXIT_CODES)
            EXPECT_TRUE(std::find(codes.begin(), codes.end(), std::to_string(code)) != codes.end())
                << "exit code " << code;
        std::vector<std::string> keys = CellsUnder(tables, {manual.keyHeader});
        for (const ConfigKey& key : CONFIG_KEYS)
            EXPECT_TRUE(std::find(keys.begin(), keys.end(), "`" + std::string(key.name) + "`") != keys.end())
                << "key " << key.name;
    }
}

TEST(SampleConfiguration, HoldsEveryRequiredKeyAndOnlyKnownOnes)
{
    HASH config;
    ASSERT_TRUE(config.Load(TARVO_SAMPLE_CONFIG));
    auto known = [](const char* name) {
        return std::any_of(std::begin(CONFIG_KEYS), std::end(CONFIG_KEYS),
                           [&](const ConfigKey& key) { return lstrcmpiA(key.name, name) == 0; });
    };
    for (int i = 0; i < config.Keys.ItemCount; i++)
        EXPECT_TRUE(known(config.Keys.Get(i)->c_str())) << "unknown key " << config.Keys.Get(i)->c_str();
    for (const ConfigKey& key : CONFIG_KEYS)
        EXPECT_TRUE(!key.required || config.HasKey(key.name)) << "missing key " << key.name;
}

} // namespace
