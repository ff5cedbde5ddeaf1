#pragma once
// A folder as a contact sheet follows it: its listing, its date, and what was
// added and removed since the last look, leaving out files that another
// program is still writing. Listings come sorted (case-blind, byte order
// breaking ties), so an unchanged folder always gives the same listing.
#include "FilePathSpec.h"

#include <cstdint>
#include <ctime>
#include <vector>

namespace NimbalCore {

class Folder {
public:
    // Whether the program itself has a file open as an image; such a file
    // is never withheld as "in use". The image pool installs it.
    using PooledTest = bool (*)(const FilePathSpec& path);
    static void SetPooledTest(PooledTest test);

    Folder() = default;
    explicit Folder(const FilePathSpec& path) : path_(path) {}
    virtual ~Folder() = default;

    virtual timespec GetDate() const { return date_; }
    virtual bool IsModified();
    virtual void SetOption(int option) { option_ = option; }
    virtual void BuildFileList();
    // Empties both lists; true when the listing differs from the kept one.
    virtual bool GetChanges(std::vector<FilePathSpec>& added, std::vector<FilePathSpec>& removed);
    virtual const std::vector<FilePathSpec>& GetFileList() const { return fileList_; }
    virtual const FilePathSpec& GetPathSpec() const { return path_; }
    // True when the folder exists afterwards; 1602 for an empty path.
    virtual bool Create();
    virtual bool Remove();

    // Every entry but "." and "..", sorted. 1601 when the folder cannot be read.
    std::vector<FilePathSpec> FolderList() const;
    // How many folder listings the process has read so far (what an idle
    // rescan costs is measured in them).
    static uint64_t ListingsMade();
    // The folder's last modification. 1601 when it cannot be read.
    timespec FolderDate() const;

    int GetOption() const { return option_; }

private:
    void RequireFolder(const char* operation) const;

    FilePathSpec path_;
    std::vector<FilePathSpec> fileList_;
    int option_ = 1;
    timespec date_{};
};

} // namespace NimbalCore
