#include <gtest/gtest.h>

#include <windows.h>

#include "osys/dllinterface.h"

namespace {

TEST(DLLINTERFACE, LoadResults)
{
    struct Case {
        const char* library;
        const char* function;
        bool loaded;
        bool module;
    } cases[] = {
        {"user32.dll", "AnimateWindow", true, true},
        {"user32.dll", "SetLayeredWindowAttributes", true, true},
        {"kernel32.dll", nullptr, true, true},
        {"kernel32.dll", "TarvoNoSuchFunction", false, true}, // the library stays loaded
        {"tarvo_no_such_library.dll", "AnimateWindow", false, false},
    };
    for (const Case& c : cases) {
        DLLINTERFACE library(c.library, nullptr);
        EXPECT_EQ(library.Load(c.library, c.function), c.loaded) << c.library << " " << c.function;
        EXPECT_EQ(library.Module() != nullptr, c.module) << c.library;
        EXPECT_EQ(library.GetFunction() != nullptr, c.loaded && c.function != nullptr) << c.library;
    }
}

TEST(DLLINTERFACE, BoundFunctionsRunAndTheLibraryIsFreed)
{
    // A library the test program does not load otherwise.
    ASSERT_EQ(GetModuleHandleA("msimg32.dll"), nullptr);
    {
        DLLINTERFACE msimg("msimg32.dll", "GradientFill", true);
        EXPECT_NE(msimg.GetFunction(), nullptr);
        EXPECT_NE(GetModuleHandleA("msimg32.dll"), nullptr);
    }
    EXPECT_EQ(GetModuleHandleA("msimg32.dll"), nullptr);

    using IdFunction = DWORD(WINAPI*)();
    DLLINTERFACE kernel("kernel32.dll", "GetCurrentProcessId");
    EXPECT_EQ(kernel.Get<IdFunction>()(), GetCurrentProcessId());
    IdFunction threadId = kernel.Get<IdFunction>("GetCurrentThreadId");
    ASSERT_NE(threadId, nullptr);
    EXPECT_EQ(threadId(), GetCurrentThreadId());

    kernel.Unload();
    EXPECT_EQ(kernel.Module(), nullptr);
    EXPECT_EQ(kernel.GetFunction(), nullptr);
    EXPECT_STREQ(kernel.FunctionName(), "");
    EXPECT_STREQ(kernel.LibraryName(), "kernel32.dll"); // kept, also through a failed load
    EXPECT_FALSE(kernel.Load("tarvo_no_such_library.dll", nullptr));
    EXPECT_STREQ(kernel.LibraryName(), "kernel32.dll");
}

} // namespace
