#pragma once
// The Vx file calls: files by 32-bit id. A file opened for writing is written
// beside its final name and put in place only when every write succeeded and
// it is closed, so a failed save never destroys the file it replaces.
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

namespace orvexcms {

class PortableFiles {
public:
    static PortableFiles& instance();

    bool size(const char* name, uint32_t& size);
    bool open(const char* name, const char* mode, uint32_t& id);
    bool read(uint32_t id, void* buffer, uint32_t& size);
    bool write(uint32_t id, const void* buffer, uint32_t size);
    bool close(uint32_t id);

private:
    PortableFiles() = default;
    struct File {
        FILE* stream = nullptr;
        bool writing = false;
        bool failed = false;
        std::string finalName;
        std::string tempName;
    };
    std::mutex mutex_;
    std::map<uint32_t, File> files_;
    uint32_t next_ = 0;
};

} // namespace orvexcms
