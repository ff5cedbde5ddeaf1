#include "RuntimeFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr mode_t kPrivate = 0700;

RuntimeFolder Refused(const std::string& folder, const std::string& why) {
    return {"", "The folder " + folder + " " + why};
}

} // namespace

RuntimeFolder ResolveRuntimeFolder(const char* xdgRuntimeDir, const char* tmpDir, uid_t uid) {
    std::string folder;
    if (xdgRuntimeDir && *xdgRuntimeDir) {
        folder = std::string(xdgRuntimeDir) + "/lumora";
    } else {
        const std::string base = tmpDir && *tmpDir ? tmpDir : "/tmp";
        folder = base + "/lumora-" + std::to_string(uid);
    }
    if (::mkdir(folder.c_str(), kPrivate) == 0) {
        // The umask may have taken more than it should; nobody else may
        // have had a chance to enter yet.
        if (::chmod(folder.c_str(), kPrivate) != 0)
            return Refused(folder, std::string("cannot be made private: ") + std::strerror(errno));
    } else if (errno != EEXIST) {
        return Refused(folder, std::string("cannot be made: ") + std::strerror(errno));
    }
    // A folder someone else made (or a link to one) would let them take the
    // program's socket.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return Refused(folder, std::string("cannot be read: ") + std::strerror(errno));
    if (!S_ISDIR(st.st_mode)) return Refused(folder, "is not a folder.");
    if (st.st_uid != uid) return Refused(folder, "belongs to another user.");
    if ((st.st_mode & 077) != 0) return Refused(folder, "may be entered by other users.");
    return {folder, ""};
}

RuntimeFolder ResolveRuntimeFolder() {
    return ResolveRuntimeFolder(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"), ::getuid());
}

std::string AutomationSocketPath(const std::string& runtimeFolder) {
    if (runtimeFolder.empty()) return "";
    std::string path = runtimeFolder + "/" + kAutomationProgramId;
    if (path.size() >= sizeof(sockaddr_un{}.sun_path)) return "";
    return path;
}
