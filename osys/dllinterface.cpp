#include "osys/dllinterface.h"

#include <cstdio>

#include "diag/logit.h"

namespace {

const char* Shown(const char* text)
{
    return text ? text : "<NULL>";
}

} // namespace

DLLINTERFACE::DLLINTERFACE(const char* library, const char* name, bool quietLookups) : quiet(quietLookups)
{
    LogPrint("DLLINTERFACE::DLLINTERFACE dllname= %s\n", Shown(library));
    Load(library, name);
    LogPrint("DLLINTERFACE::DLLINTERFACE done, hdll= %p\n", static_cast<void*>(module.get()));
}

DLLINTERFACE::~DLLINTERFACE()
{
    LogPrint("DLLINTERFACE::~DLLINTERFACE this->DllName= %s\n", libraryName);
    Unload();
    LogPrint("DLLINTERFACE::~DLLINTERFACE\n");
}

bool DLLINTERFACE::Load(const char* library, const char* name)
{
    LogPrint("DLLINTERFACE::Load %s %s\n", Shown(library), Shown(name));
    Unload();
    module.reset(library ? LoadLibraryA(library) : nullptr);
    if (!module) {
        LogPrint("DLLINTERFACE::Load returns %d\n", 0);
        return false;
    }
    snprintf(libraryName, sizeof(libraryName), "%s", library);
    if (name) {
        snprintf(functionName, sizeof(functionName), "%s", name);
        function = GetProcAddress(module.get(), name);
    }
    bool ok = name == nullptr || function != nullptr;
    LogPrint("DLLINTERFACE::Load returns %d\n", ok);
    return ok;
}

void DLLINTERFACE::Unload()
{
    LogPrint("DLLINTERFACE::Unload this->DllName= %s\n", libraryName);
    function = nullptr;
    functionName[0] = '\0';
    if (module) {
        LogPrint("DLLINTERFACE::Unload free library %p (%s)\n", static_cast<void*>(module.get()), libraryName);
        module.reset();
    }
    LogPrint("DLLINTERFACE::Unload done\n");
}

FARPROC DLLINTERFACE::GetFunction(const char* name)
{
    const char* shownName = name ? name : functionName;
    if (!quiet)
        LogPrint("DLLINTERFACE::GetFunction %s from %s\n", shownName, libraryName);
    FARPROC found = name == nullptr ? function : (module ? GetProcAddress(module.get(), name) : nullptr);
    if (!quiet)
        LogPrint("DLLINTERFACE::GetFunction %s for %p returns %p\n", shownName, static_cast<void*>(module.get()),
                 reinterpret_cast<void*>(found));
    return found;
}
