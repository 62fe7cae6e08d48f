#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "osys/registry.h"
#include "checkrecorder.h"
#include "osys_support.h"

namespace {

void SetRaw(HKEY root, const std::string& path, const char* value, DWORD type, const std::string& bytes)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, value, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

bool KeyPresent(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    bool present = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (present)
        RegCloseKey(key);
    return present;
}

// Each test works below a key of its own under HKEY_CURRENT_USER, removed afterwards.
class RegistryTest : public testing::Test {
protected:
    void SetUp() override
    {
        base = "Software\\TarvoTest\\" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
               "_" + std::to_string(GetCurrentProcessId());
    }
    void TearDown() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TarvoTest"); // only when no other run uses it
    }
    std::string Sub(const char* name) const { return base + "\\" + name; }

    std::string base;
};

TEST(REGISTRY, ComposePath)
{
    struct Case {
        const char* basekey;
        const char* app;
        const char* path;
    } cases[] = {
        {"Software\\Tarvo\\", "Service", "Software\\Tarvo\\Service"},
        {"Software\\Tarvo\\", nullptr, "Software\\Tarvo\\"},
        {"Software\\Tarvo", "Service", "Software\\Tarvo\\Service"},
        {"Software\\Tarvo\\", "\\\\Service\\\\", "Software\\Tarvo\\Service"},
        {"Software\\Tarvo", "A\\B", "Software\\Tarvo\\A\\B"},
        {"Software\\Tarvo\\", "", "Software\\Tarvo"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(REGISTRY::ComposePath(c.basekey, c.app).c_str(), c.path) << c.basekey << " + " << c.app;
}

TEST_F(RegistryTest, ConstructorCreatesTheKeyUnderTheChosenRoot)
{
    const int currentUserValue = static_cast<int>(reinterpret_cast<intptr_t>(HKEY_CURRENT_USER));
    for (int user : {REGISTRY::CURRENT_USER, currentUserValue}) {
        REGISTRY key("Service", (base + "\\").c_str(), user);
        ASSERT_TRUE(key) << user;
        EXPECT_STREQ(key.Path().c_str(), Sub("Service").c_str());
        EXPECT_EQ(key.Root(), HKEY_CURRENT_USER);
        EXPECT_TRUE(REGISTRY::KeyExists(HKEY_CURRENT_USER, (base + "\\").c_str(), "Service", REGISTRY::OPEN_READ));
        RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str());
    }
    {
        REGISTRY machine("Service", base.c_str(), REGISTRY::LOCAL_MACHINE);
        EXPECT_EQ(machine.Root(), HKEY_LOCAL_MACHINE);
    }
    EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, Sub("Service")));
    EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, base));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, base.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\TarvoTest");
}

TEST_F(RegistryTest, OpenModes)
{
    const char* path = base.c_str();
    EXPECT_FALSE(REGISTRY(HKEY_CURRENT_USER, path, nullptr, REGISTRY::OPEN_READ));
    EXPECT_FALSE(REGISTRY(HKEY_CURRENT_USER, path, nullptr, REGISTRY::OPEN_WRITE));
    EXPECT_FALSE(REGISTRY::KeyExists(HKEY_CURRENT_USER, path, nullptr, REGISTRY::OPEN_READ));

    REGISTRY created(HKEY_CURRENT_USER, path, nullptr, REGISTRY::OPEN_CREATE);
    ASSERT_TRUE(created);
    EXPECT_TRUE(created.WriteString("v", "x"));
    EXPECT_TRUE(REGISTRY::KeyExists(HKEY_CURRENT_USER, path, nullptr, REGISTRY::OPEN_READ));
    EXPECT_TRUE(REGISTRY::KeyExists(HKEY_CURRENT_USER, path, nullptr, REGISTRY::OPEN_WRITE));

    // Each mode gets only its own access.
    REGISTRY reader(HKEY_CURRENT_USER, path, nullptr, REGISTRY::OPEN_READ);
    STRING text;
    EXPECT_TRUE(reader.ReadString("v", text));
    EXPECT_FALSE(reader.WriteString("v", "y"));
    REGISTRY writer(HKEY_CURRENT_USER, path, nullptr, REGISTRY::OPEN_WRITE);
    EXPECT_TRUE(writer.WriteString("w", "y"));
    EXPECT_FALSE(writer.ReadString("v", text));

    rig::CheckRecorder checks;
    EXPECT_FALSE(REGISTRY(HKEY_CURRENT_USER, path, nullptr, 259));
    REGISTRY angled("<app>", path, REGISTRY::CURRENT_USER);
    EXPECT_TRUE(angled); // the check reports, the constructor goes on
    EXPECT_EQ(checks.Conditions(), (std::vector<std::string>{"FALSE", "app[0]!='<'"}));
}

TEST_F(RegistryTest, WritesStoreExactlyTheirBytes)
{
    struct Case {
        const char* value;
        std::function<int(REGISTRY&)> write;
        DWORD type;
        std::string bytes;
    } cases[] = {
        {"text", [](REGISTRY& r) { return r.WriteString("text", "abc"); }, REG_SZ, "abc"},
        {"empty", [](REGISTRY& r) { return r.WriteString("empty", ""); }, REG_SZ, ""},
        {"binary", [](REGISTRY& r) { return r.WriteBinary("binary", "\x01\x00\xff", 3); }, REG_BINARY,
         std::string("\x01\x00\xff", 3)},
        {"number", [](REGISTRY& r) { return r.WriteDWORD("number", 0x12345678); }, REG_DWORD, "\x78\x56\x34\x12"},
    };
    REGISTRY key(HKEY_CURRENT_USER, base.c_str(), nullptr, REGISTRY::OPEN_CREATE);
    for (const Case& c : cases) {
        EXPECT_EQ(c.write(key), 1) << c.value;
        RawValue raw = QueryRaw(HKEY_CURRENT_USER, base, c.value);
        EXPECT_EQ(raw.type, c.type) << c.value;
        EXPECT_EQ(raw.bytes, c.bytes) << c.value;
        // No terminator in the stored UTF-16 text either.
        if (c.type == REG_SZ) {
            EXPECT_EQ(raw.wideSize, 2 * c.bytes.size()) << c.value;
        }
    }
}

TEST_F(RegistryTest, ReadIntoABuffer)
{
    REGISTRY key(HKEY_CURRENT_USER, base.c_str(), nullptr, REGISTRY::OPEN_CREATE);
    key.WriteString("one", "1");
    SetRaw(HKEY_CURRENT_USER, base, "terminated", REG_SZ, std::string("abc\0", 4));
    struct Case {
        const char* value;
        DWORD capacity;
        int ok;
        DWORD size;
        std::string buffer; // the first bytes afterwards; the buffer starts as "xxxxxxxx"
    } cases[] = {
        {"one", 8, 1, 1, std::string("1\0x", 3)},
        {"one", 1, 1, 1, "1x"}, // no room for the zero
        {"terminated", 8, 1, 4, std::string("abc\0\0x", 6)},
        {"terminated", 2, 0, 0, "xx"},
        {"missing", 8, 0, 0, "xx"},
    };
    for (const Case& c : cases) {
        char buffer[8];
        memset(buffer, 'x', sizeof(buffer));
        DWORD size = c.capacity;
        EXPECT_EQ(key.Read(c.value, buffer, &size), c.ok) << c.value << " " << c.capacity;
        EXPECT_EQ(size, c.size) << c.value << " " << c.capacity;
        EXPECT_EQ(std::string(buffer, c.buffer.size()), c.buffer) << c.value << " " << c.capacity;
    }
    DWORD size = 0, type = 0;
    EXPECT_EQ(key.Read("terminated", nullptr, &size, &type), 1); // the size alone
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

TEST_F(RegistryTest, ReadNumberWantsFourBytes)
{
    REGISTRY key(HKEY_CURRENT_USER, base.c_str(), nullptr, REGISTRY::OPEN_CREATE);
    key.WriteDWORD("dword", 7);
    key.WriteBinary("binary4", "\x08\0\0\0", 4);
    key.WriteBinary("binary2", "\x09\0", 2);
    key.WriteBinary("binary8", "\x0a\0\0\0\0\0\0\0", 8);
    struct Case {
        const char* value;
        int ok;
        DWORD number;
    } cases[] = {{"dword", 1, 7}, {"binary4", 1, 8}, {"binary2", 0, 99}, {"binary8", 0, 99}, {"missing", 0, 99}};
    for (const Case& c : cases) {
        DWORD number = 99;
        EXPECT_EQ(key.ReadDWORD(c.value, &number), c.ok) << c.value;
        EXPECT_EQ(number, c.number) << c.value;
    }
}

TEST_F(RegistryTest, ReadText)
{
    const std::string longText(10000, 'L');
    SetRaw(HKEY_CURRENT_USER, base, "terminated", REG_SZ, std::string("abc\0", 4));
    SetRaw(HKEY_CURRENT_USER, base, "zeros", REG_SZ, std::string("ab\0\0", 4));
    SetRaw(HKEY_CURRENT_USER, base, "zerobyte", REG_SZ, std::string(1, '\0'));
    SetRaw(HKEY_CURRENT_USER, base, "binary", REG_BINARY, std::string("a\0\0", 3));
    REGISTRY key(HKEY_CURRENT_USER, base.c_str(), nullptr, REGISTRY::OPEN_CREATE);
    key.WriteString("one", "1");
    key.WriteString("empty", "");
    key.WriteString("long", longText.c_str()); // beyond the first attempt's 2048 bytes
    struct Case {
        const char* value;
        std::string text;
    } cases[] = {
        {"one", "1"},
        {"terminated", "abc"},
        {"zeros", "ab"},
        {"empty", ""},
        {"long", longText},
        {"zerobyte", std::string(1, '\0')},
        {"binary", std::string("a\0\0", 3)}, // only texts lose their zero bytes
    };
    for (const Case& c : cases) {
        STRING text;
        EXPECT_EQ(key.ReadString(c.value, text), 1) << c.value;
        EXPECT_FALSE(text.IsNull()) << c.value;
        EXPECT_EQ(std::string(text.c_str(), text.Length()), c.text) << c.value;
    }
    STRING kept("kept");
    EXPECT_EQ(key.ReadString("missing", kept), 0);
    EXPECT_STREQ(kept.c_str(), "kept");
}

TEST_F(RegistryTest, ValueNames)
{
    REGISTRY key(HKEY_CURRENT_USER, base.c_str(), nullptr, REGISTRY::OPEN_CREATE);
    STRINGARRAY names;
    names.Add(STRING("stale"));
    EXPECT_EQ(key.GetValueNames(names), 0);
    EXPECT_EQ(names.ItemCount, 0);
    for (const char* value : {"gamma", "alpha", "beta"})
        key.WriteString(value, "x");
    ASSERT_EQ(key.GetValueNames(names), 3);
    char expected[REGISTRY::VALUE_NAME_MAX + 1];
    for (DWORD index = 0; index < 3; ++index) {
        DWORD length = sizeof(expected);
        ASSERT_EQ(RegEnumValueA(key.Key(), index, expected, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_STREQ(names.Get(static_cast<int>(index))->c_str(), expected);
    }
}

TEST_F(RegistryTest, CopyValues)
{
    const std::string big(REGISTRY::COPY_VALUE_MAX + 1, 'B');
    REGISTRY source(HKEY_CURRENT_USER, Sub("Source").c_str(), nullptr, REGISTRY::OPEN_CREATE);
    source.WriteString("shared", "new");
    source.WriteString("blank", "filled");
    source.WriteDWORD("number", 5);
    source.WriteBinary("big", big.data(), static_cast<DWORD>(big.size()));
    REGISTRY kept(HKEY_CURRENT_USER, Sub("Kept").c_str(), nullptr, REGISTRY::OPEN_CREATE);
    kept.WriteString("shared", "old");
    kept.WriteString("blank", ""); // a value of size 0 counts as absent
    kept.WriteString("own", "mine");

    EXPECT_EQ(source.CopyValues(kept, false), 1);
    EXPECT_EQ(QueryRaw(HKEY_CURRENT_USER, Sub("Kept"), "shared").bytes, "old");
    EXPECT_EQ(QueryRaw(HKEY_CURRENT_USER, Sub("Kept"), "blank").bytes, "filled");
    EXPECT_EQ(QueryRaw(HKEY_CURRENT_USER, Sub("Kept"), "own").bytes, "mine");
    RawValue number = QueryRaw(HKEY_CURRENT_USER, Sub("Kept"), "number");
    EXPECT_EQ(number.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(number.bytes, std::string("\x05\0\0\0", 4));
    EXPECT_EQ(QueryRaw(HKEY_CURRENT_USER, Sub("Kept"), "big").rc, ERROR_FILE_NOT_FOUND); // over the bound

    EXPECT_EQ(source.CopyValues(kept, true), 1);
    EXPECT_EQ(QueryRaw(HKEY_CURRENT_USER, Sub("Kept"), "shared").bytes, "new");

    EXPECT_EQ(source.CopyValuesTo(HKEY_CURRENT_USER, Sub("Fresh\\Deep").c_str(), false), 1);
    EXPECT_EQ(QueryRaw(HKEY_CURRENT_USER, Sub("Fresh\\Deep"), "shared").bytes, "new");

    REGISTRY readOnly(HKEY_CURRENT_USER, Sub("Kept").c_str(), nullptr, REGISTRY::OPEN_READ);
    EXPECT_EQ(source.CopyValues(readOnly, true), 0); // the failed write ends the copy
}

TEST_F(RegistryTest, Deletes)
{
    REGISTRY key(HKEY_CURRENT_USER, base.c_str(), nullptr, REGISTRY::OPEN_CREATE);
    key.WriteString("value", "x");
    EXPECT_EQ(key.DeleteValue("value"), 1);
    EXPECT_EQ(QueryRaw(HKEY_CURRENT_USER, base, "value").rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.DeleteValue("value"), 0);

    REGISTRY(HKEY_CURRENT_USER, Sub("Empty").c_str(), nullptr, REGISTRY::OPEN_CREATE);
    REGISTRY(HKEY_CURRENT_USER, Sub("Tree\\Branch").c_str(), nullptr, REGISTRY::OPEN_CREATE).WriteString("v", "x");
    EXPECT_EQ(key.DeleteKey("Empty", false), 1);
    EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, Sub("Empty")));
    EXPECT_EQ(key.DeleteKey("Tree", false), 0); // only an empty key without the whole tree
    EXPECT_TRUE(KeyPresent(HKEY_CURRENT_USER, Sub("Tree\\Branch")));
    EXPECT_EQ(key.DeleteKey("Tree", true), 1);
    EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, Sub("Tree")));
}

TEST_F(RegistryTest, EveryOperationFailsOnAKeyThatDidNotOpen)
{
    REGISTRY missing(HKEY_CURRENT_USER, base.c_str(), nullptr, REGISTRY::OPEN_READ);
    REGISTRY target(HKEY_CURRENT_USER, Sub("Target").c_str(), nullptr, REGISTRY::OPEN_CREATE);
    ASSERT_FALSE(missing);
    DWORD size = 4, number = 0;
    char buffer[4];
    STRING text;
    STRINGARRAY names;
    EXPECT_EQ(missing.WriteString("v", "x") + missing.WriteBinary("v", "x", 1) + missing.WriteDWORD("v", 1), 0);
    EXPECT_EQ(missing.Read("v", buffer, &size) + missing.ReadDWORD("v", &number) + missing.ReadString("v", text), 0);
    EXPECT_EQ(missing.DeleteValue("v") + missing.DeleteKey("k", true) + missing.GetValueNames(names), 0);
    EXPECT_EQ(missing.CopyValues(target, true), 0);
}

} // namespace
