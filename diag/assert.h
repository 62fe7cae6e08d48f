// Assertion reports: every failed check of the library runs through AssertCheck.
#pragma once

// Returns 1 when the caller may continue. A failed check is logged, appended to
// "assert.log" in the current directory and, unless soft or /NOASSERT, shown to the user.
int AssertCheck(int ok, const char* condition, const char* file, int line, const char* info, int soft);

// Reports a failed check whose info is formatted (cut to 1023 characters). Returns 0.
int AssertCheckFormat(const char* condition, const char* file, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(gnu_printf, 4, 5)))
#endif
    ;

// The check macros report a failed condition and evaluate to whether it held: the report
// lets the caller go on, and the caller must still skip what the failed condition forbids.
// TARVO_ASSERT names the condition by its source text, TARVO_CHECK by the given text.
#define TARVO_ASSERT(cond) ((cond) ? true : (AssertCheck(0, #cond, __FILE__, __LINE__, nullptr, 0), false))
#define TARVO_CHECK(ok, text, info) ((ok) ? true : (AssertCheck(0, text, __FILE__, __LINE__, info, 0), false))
#define TARVO_CHECK_FORMAT(ok, text, ...)                                                                              \
    ((ok) ? true : (AssertCheckFormat(text, __FILE__, __LINE__, __VA_ARGS__), false))

// Test seam: an observer sees every failed check (condition text and info) before it is
// reported. Returns the previous observer.
using AssertObserver = void (*)(const char* condition, const char* info);
AssertObserver SetAssertObserver(AssertObserver observer);
