#pragma once
// A file or folder path as the core passes it around, with the creation time
// the file had when the value was made. Paths use '/'; the root "/" plays the
// part of a drive root. Comparisons are blind to letter case, so the image
// pool, the folder listings and the image lists treat two names that differ
// only in case as one file.
#include <ctime>
#include <string>

namespace NimbalCore {

class FilePathSpec {
public:
    // The longest path the program handles.
    static constexpr size_t kMaxPath = 260;

    FilePathSpec() = default;
    // Drops one trailing '/' (never the root's) and takes the creation time
    // (0 when the path cannot be read).
    FilePathSpec(const std::string& path);
    FilePathSpec(const char* path) : FilePathSpec(std::string(path ? path : "")) {}
    FilePathSpec(const FilePathSpec&) = default;
    FilePathSpec& operator=(const FilePathSpec&) = default;
    virtual ~FilePathSpec() = default;

    // Case-blind order of paths: the order of sorted file lists.
    bool operator<(const FilePathSpec& other) const;
    // The same file as the program means it: equal paths, ignoring case.
    bool IsSameFile(const FilePathSpec& other) const;

    virtual std::string GetFileName() const;
    // Empty when the name is not valid UTF-8.
    virtual std::u16string GetFileNameW() const;
    // From the last dot of the name, the dot included; empty without one.
    virtual std::string GetExtension() const;
    virtual FilePathSpec GetFolder() const;
    // Throws 1000 when the path cannot be read.
    virtual bool IsFolder() const;
    virtual bool IsSameVolume(const FilePathSpec& other) const;
    // Takes the creation time when it is still 0.
    virtual void UpdateTime();
    virtual std::string GetPath() const { return path_; }
    // True on a read-only file system whatever the file; otherwise when the
    // owner-write bit is clear. Throws 1000 when the path cannot be read.
    virtual bool IsReadOnly() const;
    virtual bool Exists() const;
    virtual void AppendW(const std::u16string& name);
    // Appends "/" and the name. Throws 1001 when the path would grow beyond
    // kMaxPath, 1000 when the path cannot be read, 1002 when it is no folder.
    virtual void Append(std::string name);
    // The file system the path is on (its device), as a text; paths on the
    // same file system give the same text.
    virtual std::string GetVolumeName() const;

    time_t GetCreationTime() const { return creationTime_; }
    bool IsEmpty() const { return path_.empty(); }

private:
    std::string path_;
    time_t creationTime_ = 0;
};

// The temporary folder, with a trailing '/'.
std::string GetTempFolderPath();

} // namespace NimbalCore
