#pragma once
// Win32 error numbers that the Windows-born parts of Lumora answer, test or pass
// through, and the one table that turns a POSIX errno into them.
#include <cstdint>
#include <string_view>

namespace lumora::win32 {

constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_INVALID_FUNCTION = 1;
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr uint32_t ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t ERROR_INVALID_DATA = 13;
constexpr uint32_t ERROR_OUTOFMEMORY = 14;
constexpr uint32_t ERROR_NOT_SAME_DEVICE = 17;
constexpr uint32_t ERROR_NO_MORE_FILES = 18;
constexpr uint32_t ERROR_WRITE_PROTECT = 19;
constexpr uint32_t ERROR_BAD_UNIT = 20;
constexpr uint32_t ERROR_NOT_READY = 21;
constexpr uint32_t ERROR_GEN_FAILURE = 31;
constexpr uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr uint32_t ERROR_LOCK_VIOLATION = 33;
constexpr uint32_t ERROR_HANDLE_EOF = 38;
constexpr uint32_t ERROR_HANDLE_DISK_FULL = 39;
constexpr uint32_t ERROR_NOT_SUPPORTED = 50;
constexpr uint32_t ERROR_FILE_EXISTS = 80;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_BROKEN_PIPE = 109;
constexpr uint32_t ERROR_DISK_FULL = 112;
constexpr uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr uint32_t ERROR_INVALID_NAME = 123;
constexpr uint32_t ERROR_MOD_NOT_FOUND = 126;
constexpr uint32_t ERROR_PROC_NOT_FOUND = 127;
constexpr uint32_t ERROR_NEGATIVE_SEEK = 131;
constexpr uint32_t ERROR_SEEK_ON_DEVICE = 132;
constexpr uint32_t ERROR_DIR_NOT_EMPTY = 145;
constexpr uint32_t ERROR_NOT_LOCKED = 158;
constexpr uint32_t ERROR_BUSY = 170;
constexpr uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr uint32_t ERROR_BAD_EXE_FORMAT = 193;
constexpr uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
constexpr uint32_t ERROR_FILE_TOO_LARGE = 223;
constexpr uint32_t WAIT_TIMEOUT = 258;
constexpr uint32_t ERROR_NO_MORE_ITEMS = 259;
constexpr uint32_t ERROR_DIRECTORY = 267;
constexpr uint32_t ERROR_NOT_OWNER = 288;
constexpr uint32_t ERROR_INVALID_ADDRESS = 487;
constexpr uint32_t ERROR_IO_DEVICE = 1117;
constexpr uint32_t ERROR_INVALID_THREAD_ID = 1444;
constexpr uint32_t ERROR_TIMEOUT = 1460;
constexpr uint32_t ERROR_CANT_RESOLVE_FILENAME = 1921;

// The Win32 error for a POSIX errno; 0 for 0. Anything without a closer match
// answers ERROR_GEN_FAILURE so that a failure is never reported as success.
uint32_t fromErrno(int err);

// As fromErrno, for a failure on a path: ENOENT becomes ERROR_PATH_NOT_FOUND
// when the folder part of the path does not exist (as Windows tells a missing
// folder from a missing file), ERROR_FILE_NOT_FOUND otherwise.
uint32_t fromErrnoForPath(int err, std::string_view path);

// fromErrno(errno), read at the time of the call.
uint32_t lastError();

} // namespace lumora::win32
