#pragma once
// The camera interface's file object: one open file with the path it was made
// for, and the path and file-system helpers beside it. Statuses are 0 or the
// Win32 error number of the failing step (2 file not found, 3 path not found,
// 5 access denied, 32 sharing violation, 38 end of file, 80 file exists, ...).
// Paths are zero-terminated records of kPathSize characters with '/' between
// folders.
#include <cstddef>
#include <cstdint>
#include <ctime>

#include "VqApi.h"

class SdkFile {
public:
    static constexpr size_t kPathSize = VQ_PATH_BYTES;

    // Open modes.
    static constexpr uint32_t kRead = 0;          // existing file, read only
    static constexpr uint32_t kCreateNew = 1;     // write; fails with 80 when the file exists
    static constexpr uint32_t kOpenAlways = 2;    // write; created when missing, kept when not, written from 0
    static constexpr uint32_t kCreateAlways = 3;  // write; created or cut to 0 (any other mode value too)

    SdkFile();
    // The copy has its own descriptor of the same open file (shared position
    // and share lock), so each object closes its own.
    SdkFile(const SdkFile& other);
    SdkFile& operator=(const SdkFile&) = delete;
    // A file object naming a folder: the path gets a trailing '/' when it has
    // none (an empty path stays empty).
    explicit SdkFile(const char* folderPath);
    // Closes a file its owner left open.
    ~SdkFile();

    // Opens path (the object's own path is not changed) in a mode above, with
    // others allowed to read. An object that is already open is closed first.
    uint32_t Open(const char* path, uint32_t mode);
    // Opens for writing: replacing an existing file when overwrite is non-zero,
    // else failing with 80 when it exists.
    uint32_t Create(const char* path, uint32_t overwrite);
    // Opens an existing file for writing in place, from offset 0, with others
    // allowed to read: a missing file answers 2 and is not created, and
    // nothing of the file is cut.
    uint32_t OpenExisting(const char* path);
    // Reads length bytes. Fewer bytes before the end of the file answer
    // ERROR_HANDLE_EOF (38) with the rest of buffer zeroed: callers that need
    // the bytes never take a short file for a good one.
    uint32_t Read(void* buffer, uint32_t length);
    // Reads up to length bytes, *delivered := the count (the rest of buffer
    // zeroed); a short file is not an error here.
    uint32_t ReadAvailable(void* buffer, uint32_t length, uint32_t* delivered);
    // Writes all length bytes; position grows by length.
    uint32_t Write(const void* buffer, uint32_t length);
    // origin 0 from the start, 1 from the current place, any other from the
    // end. position := the new place, 0xFFFFFFFF when the seek fails (131 before
    // the start, 87 beyond 32 bits).
    uint32_t Seek(int32_t distance, uint32_t origin);
    // *size := the file's size; 223 for a file of 4 GB or more.
    uint32_t GetSize(uint32_t* size);
    uint32_t Flush();
    uint32_t Close();
    // Stamps the open file with a DOS date and time taken as local time.
    uint32_t SetTimes(uint16_t dosDate, uint16_t dosTime);

    void SetFolderPath(const char* path);
    // out (kPathSize characters) := path, '/' when missing, name. 206 (out
    // empty) when the result does not fit.
    uint32_t JoinPath(char* out, const char* name) const;
    // Deletes folder followed by name, joined as they stand.
    static uint32_t DeleteFile(const char* folder, const char* name);
    // A new[] buffer of 255 bytes holding the name after the last '/' of path.
    // With an extension: null unless the name contains ".extension" (any case)
    // after its first character. Without one: path is cut at its last '/' so
    // that it keeps the folder part. Null when out of memory.
    static char* ExtractFileName(char* path, const char* extension);
    // out := the name after the last '/' of path when the text after its last
    // '.' equals extension (any case), else empty. VQ_ERR_BAD_HANDLE for a null out.
    static uint32_t NameIfExtension(const char* path, const char* extension, char* out);
    // FILETIME (100 ns since 1601 UTC) to a local DOS date and time; 0 and 0
    // when it has none.
    static void FileTimeToDos(uint32_t low, uint32_t high, uint16_t* date, uint16_t* time);
    static uint64_t FileTimeFromTimespec(const timespec& t);

    // Copies a file that must not exist yet, retrying at once (at most 20
    // times) while the answer is 3, then gives the copy one stamp.
    static uint32_t CopyFileWithRetry(const char* source, const char* destination);
    // Always 0.
    static uint32_t CopyFileTimes(const char* source, const char* destination);

    const char* path() const { return path_; }
    int handle() const { return handle_; }
    uint32_t position() const { return position_; }

private:
    char path_[kPathSize];
    int handle_;
    uint32_t position_;
};

// Cuts path at its last '/' when it contains a '.' anywhere.
void SdkStripFileName(char* path);
// *out := 1 for a folder, 0 otherwise; the Win32 error when path is not there.
uint32_t SdkIsDirectory(const char* path, uint32_t* out);
// The copy retries made so far, set back to 0.
uint32_t SdkTakeCopyRetryCount();
