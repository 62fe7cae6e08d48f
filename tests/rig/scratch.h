// Scratch folders for end-to-end tests and small file helpers:
//   ScratchFolder - a fresh folder in the temporary directory, removed with everything in it
//   FileStamp     - a file's bytes and modification time, to prove a file was not written
//   GrantEveryoneWrite - opens a file or folder to every user's writes
#pragma once

#include <windows.h>

#include <string>

namespace rig {

// A build path given at compile time in the Windows form: "/a/b" (a host path under Wine)
// becomes "Z:\a\b"; a path that already has a drive only gets backslashes.
std::string WindowsPathOf(const std::string& path);

// The whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

class ScratchFolder {
public:
    // Creates "<temp>\tarvo-<label>-<process id>-<counter>".
    explicit ScratchFolder(const std::string& label);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Valid() const { return valid; }
    const std::string& Path() const { return path; }
    std::string PathOf(const std::string& name) const { return path + "\\" + name; }

    // Copies a file in, under its own name or the given one.
    bool CopyIn(const std::string& source, const std::string& name = {});
    bool Write(const std::string& name, const std::string& bytes);
    std::string Read(const std::string& name) const;
    bool MakeFolder(const std::string& name);

private:
    std::string path;
    bool valid = false;
};

// Grants Everyone write access to a file or folder through its DACL, as an administrator
// would by mistake. Wine keeps file security in the Unix mode: this becomes "chmod o+w".
bool GrantEveryoneWrite(const std::string& path);

// Removes a folder with all it holds; true when it is gone.
bool RemoveTree(const std::string& path);

struct FileStamp {
    bool exists = false;
    bool isFolder = false;
    ULONGLONG lastWrite = 0;
    std::string bytes;

    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path);

} // namespace rig
