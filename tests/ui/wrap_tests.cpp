#include <gtest/gtest.h>

#include <string>

#include "osys/ostype.h"
#include "ui/viziveru.h"
#include "ui/window.h"

namespace {

std::string Wrap(const char* text, int width, int force)
{
    STRING wrapped = WrapMessageText(STRING(text), width, force);
    return std::string(wrapped.c_str(), wrapped.Length());
}

TEST(WrapMessageText, ParagraphRules)
{
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"one\ntwo", "one two"}, // a single break joins the lines
        {"one\r\ntwo", "one two"},
        {"para one\n\npara two", "para one\r\rpara two"}, // an empty line survives
        {"list:\n  indented\n\tand tabbed", "list:\r  indented\r\tand tabbed"},
        {"ends with blank \nnext", "ends with blank next"}, // no second blank
        {"a\r\n\r\nb\n", "a\r\rb\r"},
        {"x", "x"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Wrap(c.text, 55, 0), c.expected) << c.text;
}

TEST(WrapMessageText, NoWrapMarkerKeepsEveryBreak)
{
    EXPECT_EQ(Wrap("##NOWRAP##\nline one\nline two\r\nthree", 55, 0), "line one\rline two\rthree");
    EXPECT_EQ(Wrap("##NOWRAP##\naaaa bbbb cccc dddd", 10, 1), "aaaa bbbb cccc dddd");
}

TEST(WrapMessageText, ForcedWidthBreaksAtTheFirstBlankPastIt)
{
    // The blank after the second word stands at column 10 (not past the width); the
    // blank after the third word (column 15) becomes the break.
    EXPECT_EQ(Wrap("aaaa bbbb cccc dddd", 10, 1), "aaaa bbbb cccc\rdddd");
}

TEST(WrapMessageText, WidthAppliesUnforcedOnlyBeforeVista)
{
    std::string text(60, 'x');
    text += " tail words";
    std::string wrapped = Wrap(text.c_str(), 55, 0);
    if (OSYS::GetOSType() >= 5)
        EXPECT_EQ(wrapped, text);
    else
        EXPECT_EQ(wrapped, std::string(60, 'x') + "\rtail words");
}

} // namespace

namespace {

TEST(MessagePumps, DispatchIsBoundedPerCall)
{
    MSG drain;
    while (PeekMessageA(&drain, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_EQ(WINDOW::WinProcessMessages(0), 0);
    for (int i = 0; i < 5; i++)
        PostThreadMessageA(GetCurrentThreadId(), WM_APP + i, 0, 0);
    EXPECT_EQ(WINDOW::WinProcessMessages(3), 0);
    EXPECT_EQ(WINDOW::WinProcessMessages(3), 1); // two were left
    EXPECT_EQ(WINDOW::WinProcessMessages(3), 3);
}

TEST(MessagePumps, WaitForAnObject)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WINDOW::WinWaitForSingleObject(event, 50), 0);
    SetEvent(event);
    EXPECT_EQ(WINDOW::WinWaitForSingleObject(event, 50), 1);
    CloseHandle(event);
}

TEST(MessagePumps, ClockCountsMilliseconds)
{
    uint64_t before = WINDOW::Milliseconds();
    WINDOW::Sleep(250);
    uint64_t elapsed = WINDOW::Milliseconds() - before;
    EXPECT_GE(elapsed, 250u);
    WINDOW::Sleep(0);
    WINDOW::Sleep(-5);
}

} // namespace
