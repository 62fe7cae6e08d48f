#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <string>
#include <vector>

#include "osys/handles.h"
#include "osys/nulldacl.h"

namespace {

TEST(NULLDACL, EveryoneGetsInAndHandlesAreInherited)
{
    NULLDACL dacl;
    ASSERT_TRUE(dacl);
    SECURITY_ATTRIBUTES* attributes = dacl.Attributes();
    ASSERT_NE(attributes, nullptr);
    EXPECT_TRUE(attributes->bInheritHandle);

    std::string name = "TarvoTestNullDacl" + std::to_string(GetCurrentProcessId());
    UniqueHandle event(CreateEventA(attributes, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(event);
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(event.get(), &flags));
    EXPECT_TRUE(flags & HANDLE_FLAG_INHERIT);
    // The object itself carries no access list at all, which lets everyone in.
    PACL acl = reinterpret_cast<PACL>(1);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(event.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                              &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(acl, nullptr);
    LocalFree(descriptor);
}

bool PrivilegeEnabled(const char* name)
{
    LUID luid;
    HANDLE token = nullptr;
    if (!LookupPrivilegeValueA(nullptr, name, &luid) || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    UniqueHandle owner(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size))
        return false;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID& id = privileges->Privileges[i].Luid;
        if (id.LowPart == luid.LowPart && id.HighPart == luid.HighPart)
            return privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED;
    }
    return false;
}

TEST(GETPRIVILEGE, EnabledForTheScopeOnly)
{
    const char* name = "SeShutdownPrivilege";
    ASSERT_FALSE(PrivilegeEnabled(name));
    {
        GETPRIVILEGE outer(name);
        EXPECT_TRUE(outer.Granted());
        EXPECT_TRUE(PrivilegeEnabled(name));
        {
            GETPRIVILEGE inner(name);
            EXPECT_TRUE(inner.Granted());
        }
        EXPECT_TRUE(PrivilegeEnabled(name)); // still the outer scope's
    }
    EXPECT_FALSE(PrivilegeEnabled(name));
    EXPECT_FALSE(GETPRIVILEGE("SeTarvoNoSuchPrivilege").Granted());
}

} // namespace
