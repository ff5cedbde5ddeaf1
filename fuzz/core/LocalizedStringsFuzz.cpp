// Feeds arbitrary bytes to the tab-delimited UTF-16 reader and the string
// table loader (in a language column and in the verification column).
#include "LocalizedStrings.h"
#include "TabDelUniFile.h"
#include "YlmErrp.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// One file in memory, rewritten for every input.
const std::string& InputPath() {
    static const std::string path = [] {
        const int fd = memfd_create("lumora-fuzz-u16", 0);
        return "/proc/self/fd/" + std::to_string(fd);
    }();
    return path;
}

bool Store(const uint8_t* data, size_t size) {
    const int fd = std::stoi(InputPath().substr(InputPath().find_last_of('/') + 1));
    if (ftruncate(fd, 0) != 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!Store(data, size)) return 0;
    const NimbalCore::FilePathSpec path(InputPath());
    try {
        NimbalCore::TabDelUniFile file(path);
        file.Open(NimbalCore::File::ReadBinary);
        size_t items = 0;
        while (!file.IsEOF() && items < 100000) {
            std::vector<std::u16string> row;
            file.LoadRow(row);
            items += row.size() + 1;
        }
    } catch (const YlmErrp&) {
    }
    for (unsigned column : {unsigned(NimbalCore::kColumnFrench), unsigned(NimbalCore::kColumnVerification)}) {
        try {
            NimbalCore::LoadLocalizedStrings(path, column);
            std::string text;
            NimbalCore::GetLocalizedString("Camera:  ", text);
            NimbalCore::GetLocalizedString("OK", text);
        } catch (const YlmErrp&) {
        }
    }
    return 0;
}
