// Security helpers of the process:
//   NULLDACL     - security attributes that give everyone access and make handles inheritable
//   GETPRIVILEGE - a privilege of the process token, enabled for a scope
#pragma once

#include <windows.h>

#include "osys/handles.h"

class NULLDACL {
public:
    NULLDACL();

    // The attributes to pass to a Create function; null when they could not be made.
    SECURITY_ATTRIBUTES* Attributes() { return success ? &attributes : nullptr; }
    explicit operator bool() const { return success; }

private:
    UniqueLocalMemory descriptor;
    SECURITY_ATTRIBUTES attributes = {};
    bool success = false;
};

class GETPRIVILEGE {
public:
    // Enables the named privilege (e.g. "SeShutdownPrivilege") in the process token.
    explicit GETPRIVILEGE(const char* name);
    // Puts the privilege back into the state it had before.
    ~GETPRIVILEGE();
    GETPRIVILEGE(const GETPRIVILEGE&) = delete;
    GETPRIVILEGE& operator=(const GETPRIVILEGE&) = delete;

    // True when the privilege is in force, and on a system without tokens.
    bool Granted() const { return granted; }

private:
    UniqueHandle token;
    TOKEN_PRIVILEGES previous = {};
    bool adjusted = false;
    bool granted = false;
};
