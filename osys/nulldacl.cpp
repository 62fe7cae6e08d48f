#include "osys/nulldacl.h"

#include "diag/assert.h"
#include "diag/logit.h"

NULLDACL::NULLDACL()
{
    LogPrintLevel(LOGLEVEL_PARSE, "NULLDACL::NULLDACL\n");
    // The descriptor's size differs between 32-bit (20 bytes) and 64-bit (40 bytes) processes.
    descriptor.reset(LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH));
    if (!descriptor)
        AssertCheck(0, "descriptor!=NULL", __FILE__, __LINE__, "NULLDACL::LocalAlloc() failed", 1);
    else if (!InitializeSecurityDescriptor(descriptor.get(), SECURITY_DESCRIPTOR_REVISION))
        AssertCheck(0, "InitializeSecurityDescriptor()", __FILE__, __LINE__,
                    "NULLDACL::InitializeSecurityDescriptor() failed", 1);
    // A descriptor without any access list (unlike one with an empty list) lets everyone in.
    else if (!SetSecurityDescriptorDacl(descriptor.get(), TRUE, nullptr, FALSE))
        AssertCheck(0, "SetSecurityDescriptorDacl()", __FILE__, __LINE__,
                    "NULLDACL::SetSecurityDescriptorDacl() failed", 1);
    else
        success = true;
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = descriptor.get();
    attributes.bInheritHandle = TRUE;
    LogPrintLevel(LOGLEVEL_PARSE, "NULLDACL::NULLDACL created, success==%d\n", success);
}

GETPRIVILEGE::GETPRIVILEGE(const char* name)
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened)) {
        // A system without tokens has no privileges to withhold.
        granted = GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
        LogPrint("GETPRIVILEGE::GETPRIVILEGE no token for %s, granted= %d\n", name, granted);
        return;
    }
    token.reset(opened);
    TOKEN_PRIVILEGES wanted = {};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, name, &wanted.Privileges[0].Luid)) {
        LogPrint("GETPRIVILEGE::GETPRIVILEGE unknown privilege %s\n", name);
        return;
    }
    DWORD previousSize = 0;
    adjusted = AdjustTokenPrivileges(token.get(), FALSE, &wanted, sizeof(previous), &previous, &previousSize);
    // The call succeeds also when the token does not hold the privilege: only the error tells.
    DWORD error = GetLastError();
    granted = adjusted && error == ERROR_SUCCESS;
    if (!granted)
        LogPrint("GETPRIVILEGE::GetLastError after AdjustTokenPrivileges is %ld\n", static_cast<long>(error));
}

GETPRIVILEGE::~GETPRIVILEGE()
{
    // The previous state lists only what the adjustment changed: a privilege that was already
    // enabled stays enabled for an enclosing scope that asked for it too.
    if (adjusted)
        AdjustTokenPrivileges(token.get(), FALSE, &previous, 0, nullptr, nullptr);
}
