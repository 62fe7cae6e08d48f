#include "scratch.h"

#include <aclapi.h>

#include <atomic>
#include <fstream>
#include <iterator>

#include "handles.h"

namespace rig {

std::string WindowsPathOf(const std::string& path)
{
    std::string result = path;
    for (char& c : result) {
        if (c == '/') {
            c = '\\';
        }
    }
    if (!result.empty() && result[0] == '\\') {
        result = "Z:" + result;
    }
    return result;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

ScratchFolder::ScratchFolder(const std::string& label)
{
    static std::atomic<unsigned> counter{0};
    char temp[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length > MAX_PATH) {
        return;
    }
    std::string base(temp, length);
    if (base.back() != '\\') {
        base += '\\';
    }
    path = base + "tarvo-" + label + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    RemoveTree(path);
    valid = CreateDirectoryA(path.c_str(), nullptr) != 0;
}

ScratchFolder::~ScratchFolder()
{
    if (valid) {
        RemoveTree(path);
    }
}

bool ScratchFolder::CopyIn(const std::string& source, const std::string& name)
{
    std::string target = name;
    if (target.empty()) {
        size_t slash = source.find_last_of("\\/");
        target = slash == std::string::npos ? source : source.substr(slash + 1);
    }
    return CopyFileA(source.c_str(), PathOf(target).c_str(), FALSE) != 0;
}

bool ScratchFolder::Write(const std::string& name, const std::string& bytes)
{
    return WriteFileBytes(PathOf(name), bytes);
}

std::string ScratchFolder::Read(const std::string& name) const
{
    return ReadFileBytes(PathOf(name));
}

bool ScratchFolder::MakeFolder(const std::string& name)
{
    return CreateDirectoryA(PathOf(name).c_str(), nullptr) != 0;
}

bool GrantEveryoneWrite(const std::string& path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    UniqueLocalMemory descriptorMemory(descriptor);
    BYTE everyone[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof everyone;
    if (!CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size)) {
        return false;
    }
    EXPLICIT_ACCESS_A access{};
    access.grfAccessPermissions = FILE_GENERIC_WRITE | DELETE;
    access.grfAccessMode = GRANT_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = reinterpret_cast<char*>(everyone);
    PACL widened = nullptr;
    if (SetEntriesInAclA(1, &access, dacl, &widened) != ERROR_SUCCESS) {
        return false;
    }
    UniqueLocalMemory widenedMemory(widened);
    return SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                 nullptr, widened, nullptr) == ERROR_SUCCESS;
}

bool RemoveTree(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileA(path.c_str()) != 0;
    }
    WIN32_FIND_DATAA entry{};
    {
        UniqueFindHandle search(FindFirstFileA((path + "\\*").c_str(), &entry));
        if (search) {
            do {
                std::string name = entry.cFileName;
                if (name != "." && name != "..") {
                    RemoveTree(path + "\\" + name);
                }
            } while (FindNextFileA(search.get(), &entry));
        }
    }
    return RemoveDirectoryA(path.c_str()) != 0;
}

FileStamp StampOf(const std::string& path)
{
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return stamp;
    }
    stamp.exists = true;
    stamp.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    stamp.lastWrite =
        (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    if (!stamp.isFolder) {
        stamp.bytes = ReadFileBytes(path);
    }
    return stamp;
}

} // namespace rig
