#include "FileNameMatch.h"

#include "Win32Error.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace lumora {
namespace {

char fold(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// Iterative wildcard match with one back-track point: linear in practice and
// no recursion depth that a long name could exhaust.
bool wildcard(std::string_view p, std::string_view s) {
    size_t pi = 0, si = 0;
    size_t starP = std::string_view::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == '?' || (p[pi] != '*' && fold(p[pi]) == fold(s[si])))) {
            ++pi;
            ++si;
        } else if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starS = si;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

bool upperLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(fold(x)) < static_cast<unsigned char>(fold(y));
    });
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

} // namespace

bool FileNameMatch::equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

bool FileNameMatch::matches(std::string_view pattern, std::string_view name) {
    if (wildcard(pattern, name)) return true;
    const bool hasDot = name.find('.') != std::string_view::npos;
    if (!hasDot && pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        return wildcard(pattern.substr(0, pattern.size() - 2), name);
    if (!hasDot && !pattern.empty() && pattern.back() == '.')
        return wildcard(pattern.substr(0, pattern.size() - 1), name);
    return false;
}

std::vector<FileNameMatch::Entry> FileNameMatch::list(const std::string& folder, std::string_view pattern,
                                                      uint32_t& error) {
    std::vector<Entry> out;
    const std::string dir = folder.empty() ? "." : folder;
    std::unique_ptr<DIR, DirCloser> d(opendir(dir.c_str()));
    if (!d) {
        const int e = errno;
        error = (e == ENOENT || e == ENOTDIR) ? win32::ERROR_PATH_NOT_FOUND : win32::fromErrno(e);
        return out;
    }
    const std::string prefix = dir.back() == '/' ? dir : dir + "/";
    errno = 0;
    while (dirent* ent = readdir(d.get())) {
        const std::string_view n(ent->d_name);
        if (n == "." || n == ".." || !matches(pattern, n)) continue;
        Entry e{std::string(n), ent->d_type == DT_DIR};
        if (ent->d_type == DT_UNKNOWN || ent->d_type == DT_LNK) {
            struct stat st;
            e.isDirectory = ::stat((prefix + e.name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        out.push_back(std::move(e));
    }
    if (errno != 0) {
        error = win32::fromErrno(errno);
        out.clear();
        return out;
    }
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return upperLess(a.name, b.name); });
    error = out.empty() ? win32::ERROR_FILE_NOT_FOUND : win32::ERROR_SUCCESS;
    return out;
}

std::string FileNameMatch::findNoCase(const std::string& folder, std::string_view name) {
    const std::string dir = folder.empty() ? "." : folder;
    std::unique_ptr<DIR, DirCloser> d(opendir(dir.c_str()));
    if (!d) return {};
    std::string found;
    while (dirent* ent = readdir(d.get())) {
        const std::string_view n(ent->d_name);
        if (n == name) return std::string(n);
        if (found.empty() && equalNoCase(n, name)) found = std::string(n);
    }
    return found;
}

} // namespace lumora
