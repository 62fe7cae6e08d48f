#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "osys/sharedmemory.h"
#include "checkrecorder.h"
#include "osys_support.h"

namespace {

// A name of this run within the six characters a block may have.
std::string BlockName(char tag)
{
    char name[SHAREDMEMORY::NAME_MAX + 1];
    snprintf(name, sizeof(name), "%c%05lx", tag, GetCurrentProcessId() & 0xFFFFFUL);
    return name;
}

TEST(SHAREDMEMORY, OneBlockForEveryUserAndOneHolderAtATime)
{
    SHAREDMEMORY first(BlockName('S').c_str(), 4096), second(BlockName('S').c_str(), 4096);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    char* held = static_cast<char*>(first.Lock(-1));
    ASSERT_NE(held, nullptr);
    strcpy(held, "shared");
    void* whileHeld = &first;
    std::thread([&] { whileHeld = second.Lock(0); }).join();
    EXPECT_EQ(whileHeld, nullptr);
    first.Unlock(held);

    std::string seen;
    std::thread([&] {
        char* mine = static_cast<char*>(second.Lock(0));
        seen = mine ? mine : "<not obtained>";
        second.Unlock(mine);
    }).join();
    EXPECT_EQ(seen, "shared");
}

TEST(SHAREDMEMORY, Misuse)
{
    rig::CheckRecorder checks;
    SHAREDMEMORY tooLong("ABCDEFG", 64);
    EXPECT_FALSE(tooLong);
    EXPECT_EQ(tooLong.Lock(0), nullptr);

    SHAREDMEMORY block(BlockName('M').c_str(), 64);
    char* mapped = static_cast<char*>(block.Lock(-1));
    ASSERT_NE(mapped, nullptr);
    block.Unlock(mapped + 1);
    EXPECT_EQ(checks.Conditions(),
              (std::vector<std::string>{"strlen(name)<=6", "pmapped==this->pMemory || pmapped==NULL"}));
    // Released all the same.
    bool obtained = false;
    std::thread([&] {
        void* mine = block.Lock(0);
        obtained = mine != nullptr;
        block.Unlock(mine);
    }).join();
    EXPECT_TRUE(obtained);
}

} // namespace
