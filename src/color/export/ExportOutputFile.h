#pragma once
// Where an export writes: a new file beside the target, renamed over the
// target only after its last byte was written and the file closed. Until
// then the photographer's existing file stays as it was; a failed or
// cancelled export removes its new file and leaves nothing behind.
#include "FilePathSpec.h"

#include <string>

namespace NimbalCore {

class ExportOutputFile {
public:
    explicit ExportOutputFile(const FilePathSpec& target) : target_(target) {}
    ExportOutputFile(const ExportOutputFile&) = delete;
    ExportOutputFile& operator=(const ExportOutputFile&) = delete;
    // Removes a new file that was never committed.
    ~ExportOutputFile();

    // 1802 (naming the operation) when the target's folder cannot take a
    // new file or an existing target cannot be written, as opening the
    // target for writing would answer.
    void CheckWritable(const char* operation) const;
    // Makes the new, empty file (the permissions of a plain create) and
    // answers its path; 1802 on failure.
    FilePathSpec Create(const char* operation);
    // Moves the closed new file over the target; 1812 on failure, when the
    // new file is removed.
    void Commit(const char* operation);
    void Discard();
    const std::string& GetTemporaryPath() const { return temporary_; }

private:
    FilePathSpec target_;
    std::string temporary_;
};

} // namespace NimbalCore
