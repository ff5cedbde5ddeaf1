#pragma once
// One file of the core: a C stream on a path whose every failure becomes a
// YlmErrp of the 1800 group, plus the file-system operations the program needs
// on a single file (rename within its folder, move, copy, delete, attributes,
// in-use and free-space tests). Renames, moves and copies never replace an
// existing file unless asked to.
#include "FilePathSpec.h"

#include <cstdint>
#include <cstdio>

namespace NimbalCore {

class File {
public:
    // The modes of File::Open, by index.
    enum OpenMode : int {
        ReadText = 0, WriteText = 1, AppendText = 2, ReadUpdateText = 3, WriteUpdateText = 4, AppendUpdateText = 5,
        ReadBinary = 6, WriteBinary = 7, AppendBinary = 8, ReadUpdateBinary = 9, WriteUpdateBinary = 10,
        AppendUpdateBinary = 11,
    };

    explicit File(const FilePathSpec& path) : path_(path) {}
    File(const File& other) : path_(other.path_) {}
    File& operator=(const File&) = delete;
    virtual ~File();

    // Within the same folder only (1800); 1807 when open; 1819 without
    // access, 1820 when the new name is taken (the file there is untouched).
    virtual void Rename(const FilePathSpec& newPath);
    // A new, closed File on the destination (1805 on failure). With
    // failIfExists an existing destination is refused and left as it is.
    virtual File Copy(const FilePathSpec& destination, bool failIfExists);
    // origin 1: from the current position, 2: from the end, else the start.
    virtual void Seek(int64_t offset, int origin);
    virtual void Open(int mode);
    virtual void OpenFile(int mode) { Open(mode); }
    virtual bool IsOpen() const { return stream_ != nullptr; }
    virtual void Close();
    virtual void MakeWritable();
    // -1 when the file cannot be read.
    virtual int64_t GetSize() const;
    virtual bool IsReadOnly() const;
    // Another of our processes holds the file's exclusive lock, or another
    // process has it open for writing.
    virtual bool IsInUse() const;
    virtual bool IsEOF() const;
    virtual int64_t GetPosition();
    virtual void Delete();
    virtual FilePathSpec* GetPathSpec() { return &path_; }
    virtual bool HasFreeSpace(uint64_t bytes) const;

    // Items read; a short read is no error here.
    size_t Read(void* buffer, size_t size, size_t count);
    // Throws 1811 unless all count items are read.
    size_t ReadExactly(void* buffer, size_t size, size_t count);
    // count bytes from a position of the file, without a seek and without
    // going through the stream's buffer (the stream's position stays);
    // throws 1811 unless all are read.
    size_t ReadExactlyAt(int64_t position, void* buffer, size_t count);
    virtual size_t Write(const void* buffer, size_t size, size_t count);
    // 1801 onto itself, 1806 when open, 1816 when the destination exists
    // (which is left untouched), 1815 otherwise. Across file systems the
    // file is copied, the copy completed and closed, and only then is the
    // original removed.
    void Move(FilePathSpec destination);

    static const char* GetModeString(int mode);

protected:
    std::FILE* Stream() const { return stream_; }

private:
    FilePathSpec path_;
    std::FILE* stream_ = nullptr;
};

} // namespace NimbalCore
