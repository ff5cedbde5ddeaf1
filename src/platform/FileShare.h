#pragma once
// Opening files with Windows share modes. An open states what it does (read,
// write) and what it lets others do at the same time (share read, share write);
// a clash answers ERROR_SHARING_VIOLATION (32) as Windows does. The modes are
// kept with open-file-description locks (F_OFD_SETLK) on the whole file, which
// our own processes and threads honour; other programs are not held back.
#include <cstdint>
#include <string>

namespace lumora {

class FileShare {
public:
    enum Access : uint32_t { Read = 1, Write = 2 };
    enum Share : uint32_t { ShareNone = 0, ShareRead = 1, ShareWrite = 2 };
    // The Win32 creation dispositions, with their Win32 values.
    enum class Creation : uint32_t { CreateNew = 1, CreateAlways = 2, OpenExisting = 3, OpenAlways = 4, TruncateExisting = 5 };

    // A file descriptor (close-on-exec) or -1 with error set to the Win32
    // error: 2 or 3 for a missing file or folder, 80 for CreateNew on an
    // existing file, 5 for a folder or no permission, 32 for a clash of share
    // modes. CreateAlways and TruncateExisting cut the file only once the
    // share lock is held, so a refused open never damages the file.
    static int open(const std::string& path, uint32_t access, uint32_t share, Creation creation, uint32_t& error);
};

} // namespace lumora
