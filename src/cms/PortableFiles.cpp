#include "PortableFiles.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace orvexcms {

PortableFiles& PortableFiles::instance() {
    static PortableFiles* files = new PortableFiles;
    return *files;
}

bool PortableFiles::size(const char* name, uint32_t& size) {
    size = 0;
    struct stat st;
    if (!name || stat(name, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (uint64_t(st.st_size) > UINT32_MAX) return false;
    size = uint32_t(st.st_size);
    return true;
}

bool PortableFiles::open(const char* name, const char* mode, uint32_t& id) {
    id = 0;
    if (!name || !name[0] || !mode) return false;
    File f;
    if (std::strcmp(mode, "r") == 0) {
        f.stream = std::fopen(name, "rb");
    } else if (std::strcmp(mode, "w") == 0) {
        f.writing = true;
        f.finalName = name;
        f.tempName = f.finalName + ".XXXXXX";
        const int fd = mkstemp(f.tempName.data());
        if (fd < 0) return false;
        f.stream = fdopen(fd, "wb");
        if (!f.stream) {
            ::close(fd);
            unlink(f.tempName.c_str());
        }
    } else {
        return false;
    }
    if (!f.stream) return false;
    std::lock_guard guard(mutex_);
    do {
        ++next_;
    } while (next_ == 0 || files_.count(next_));
    id = next_;
    files_.emplace(id, std::move(f));
    return true;
}

bool PortableFiles::read(uint32_t id, void* buffer, uint32_t& size) {
    std::lock_guard guard(mutex_);
    auto it = files_.find(id);
    if (it == files_.end() || it->second.writing || (!buffer && size)) {
        size = 0;
        return false;
    }
    const size_t want = size;
    size = uint32_t(std::fread(buffer, 1, want, it->second.stream));
    return size == want;
}

bool PortableFiles::write(uint32_t id, const void* buffer, uint32_t size) {
    std::lock_guard guard(mutex_);
    auto it = files_.find(id);
    if (it == files_.end() || !it->second.writing || (!buffer && size)) return false;
    if (std::fwrite(buffer, 1, size, it->second.stream) != size) it->second.failed = true;
    return !it->second.failed;
}

bool PortableFiles::close(uint32_t id) {
    File f;
    {
        std::lock_guard guard(mutex_);
        auto it = files_.find(id);
        if (it == files_.end()) return false;
        f = std::move(it->second);
        files_.erase(it);
    }
    if (!f.writing) return std::fclose(f.stream) == 0;
    bool ok = !f.failed && std::fflush(f.stream) == 0 && fsync(fileno(f.stream)) == 0;
    ok = std::fclose(f.stream) == 0 && ok;
    if (ok) {
        // A new file gets the permissions a plain create would give it.
        const mode_t mask = umask(0);
        umask(mask);
        chmod(f.tempName.c_str(), 0666 & ~mask);
        ok = std::rename(f.tempName.c_str(), f.finalName.c_str()) == 0;
    }
    if (!ok) unlink(f.tempName.c_str());
    return ok;
}

} // namespace orvexcms
