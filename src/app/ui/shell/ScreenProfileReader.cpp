#include "ScreenProfileReader.h"

#include "ColorEngine.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace ScreenProfileReader {
namespace {

// No monitor profile comes near this; a larger property is not a profile.
constexpr unsigned long kMaxProfileBytes = 64ul << 20;

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};

struct XFreeDeleter {
    void operator()(unsigned char* p) const {
        if (p) XFree(p);
    }
};

// The property's bytes; empty when the root window has none or it is not a
// byte array.
std::vector<unsigned char> ReadProperty(Display* display) {
    const Atom atom = XInternAtom(display, "_ICC_PROFILE", True);
    if (atom == None) return {};
    const Window root = DefaultRootWindow(display);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* raw = nullptr;
    // The first question only asks how long the property is.
    if (XGetWindowProperty(display, root, atom, 0, 0, False, AnyPropertyType, &type, &format, &items, &after, &raw) !=
        Success)
        return {};
    std::unique_ptr<unsigned char, XFreeDeleter> head(raw);
    if (type == None || format != 8 || after == 0 || after > kMaxProfileBytes) return {};
    raw = nullptr;
    const long words = long((after + 3) / 4);
    if (XGetWindowProperty(display, root, atom, 0, words, False, AnyPropertyType, &type, &format, &items, &after,
                           &raw) != Success)
        return {};
    std::unique_ptr<unsigned char, XFreeDeleter> body(raw);
    if (!raw || format != 8 || items == 0 || items > kMaxProfileBytes) return {};
    return std::vector<unsigned char>(raw, raw + items);
}

// Writes the copy beside its final name and renames it over, so the colour
// engine on another thread never loads half a profile.
bool WriteWhole(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    const bool written = done == bytes.size();
    const bool closed = close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string FileIn(const std::string& folder) { return folder + "/screen.icc"; }

std::string ReadIntoFolder(const std::string& folder, const char* displayName) {
    const std::string path = FileIn(folder);
    std::vector<unsigned char> bytes;
    if (std::unique_ptr<Display, DisplayCloser> display{XOpenDisplay(displayName)})
        bytes = ReadProperty(display.get());
    if (bytes.empty() || !WriteWhole(path, bytes)) {
        // An old copy would describe a screen that no longer has it.
        unlink(path.c_str());
        return std::string();
    }
    return path;
}

void Install(const std::string& folder) {
    NimbalCore::ColorEngine::SetDisplayProfileHook([folder] { return ReadIntoFolder(folder); });
}

} // namespace ScreenProfileReader
