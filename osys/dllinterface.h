// DLLINTERFACE: a library loaded at run time and one function bound from it, so that a program
// runs on systems that lack the function.
#pragma once

#include <windows.h>

#include "osys/handles.h"

class DLLINTERFACE {
public:
    // Loads library and looks functionName up (none when null); quiet keeps the lookups of
    // GetFunction out of the log.
    DLLINTERFACE(const char* library, const char* functionName, bool quiet = false);
    ~DLLINTERFACE();
    DLLINTERFACE(const DLLINTERFACE&) = delete;
    DLLINTERFACE& operator=(const DLLINTERFACE&) = delete;

    // Unloads what was loaded, then loads library; true when it loaded and, when a function
    // name is given, the function was found.
    bool Load(const char* library, const char* functionName);
    // Frees the library and forgets the function; the library's name is kept.
    void Unload();

    // A null name gives the function found at load time; any other name is looked up now.
    FARPROC GetFunction(const char* name = nullptr);
    template <class Function>
    Function Get(const char* name = nullptr)
    {
        // Through the generic function pointer type: FARPROC itself is declared with no parameters.
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetFunction(name)));
    }

    HMODULE Module() const { return module.get(); }
    const char* LibraryName() const { return libraryName; }
    const char* FunctionName() const { return functionName; }

    bool quiet;

private:
    // Longer names are kept cut; the load itself uses the caller's full text.
    static constexpr int NAME_MAX = 128;

    UniqueModule module;
    FARPROC function = nullptr;
    char functionName[NAME_MAX] = {};
    char libraryName[NAME_MAX] = {};
};
