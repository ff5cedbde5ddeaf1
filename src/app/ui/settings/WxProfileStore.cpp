#include "WxProfileStore.h"

#include "CLocaleText.h"

#include <wx/fileconf.h>
#include <wx/mstream.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

wxString Key(const std::string& section, const std::string& name) {
    return "/" + wxString::FromUTF8(section) + "/" + wxString::FromUTF8(name);
}

bool ParseInt32(const std::string& text, int& value) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return false;
    const std::string t = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (end == t.c_str() || *end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    value = int(v);
    return true;
}

// The name part of a line with "\ " made a plain space, except at its ends.
std::string UnescapeName(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 1 < name.size()) {
            const bool interior = name[i + 1] == ' ' && i > 0 && i + 2 < name.size();
            if (interior) {
                out += ' ';
            } else {
                out += name[i];
                out += name[i + 1];
            }
            ++i;
        } else {
            out += name[i];
        }
    }
    return out;
}

} // namespace

WxProfileStore::WxProfileStore(const std::filesystem::path& file) : file_(file) {
    std::ifstream in(file_, std::ios::binary);
    std::stringstream bytes;
    if (in) bytes << in.rdbuf();
    const std::string text = bytes.str();
    wxMemoryInputStream stream(text.data(), text.size());
    config_ = std::make_unique<wxFileConfig>(stream, wxConvUTF8);
    // Stored paths hold '$' and '%' as they are.
    config_->SetExpandEnvVars(false);
}

WxProfileStore::~WxProfileStore() = default;

int WxProfileStore::GetInt(const std::string& section, const std::string& name, int defaultValue) {
    wxString text;
    if (!config_->Read(Key(section, name), &text)) return defaultValue;
    int value = 0;
    return ParseInt32(text.utf8_string(), value) ? value : defaultValue;
}

std::string WxProfileStore::GetString(const std::string& section, const std::string& name,
                                      const std::string& defaultValue) {
    wxString text;
    if (!config_->Read(Key(section, name), &text)) return defaultValue;
    return text.utf8_string();
}

bool WxProfileStore::WriteInt(const std::string& section, const std::string& name, int value) {
    if (!config_->Write(Key(section, name), wxString::FromUTF8(FormatCLocale("%d", value)))) return false;
    return Save();
}

bool WxProfileStore::WriteString(const std::string& section, const std::string& name, const std::string& value) {
    if (!config_->Write(Key(section, name), wxString::FromUTF8(value))) return false;
    return Save();
}

std::string WxProfileStore::UnescapeNames(const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool newline = end != std::string::npos;
        if (!newline) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] == '[') {
            const size_t close = line.rfind(']');
            if (close != std::string::npos && close > first)
                line = line.substr(0, first + 1) + UnescapeName(line.substr(first + 1, close - first - 1)) +
                       line.substr(close);
        } else if (first != std::string::npos && line[first] != '#' && line[first] != ';') {
            // The name ends at the first '=' that is not escaped.
            size_t eq = std::string::npos;
            for (size_t i = first; i < line.size(); ++i) {
                if (line[i] == '\\') {
                    ++i;
                } else if (line[i] == '=') {
                    eq = i;
                    break;
                }
            }
            if (eq != std::string::npos) line = UnescapeName(line.substr(0, eq)) + line.substr(eq);
        }
        out += line;
        if (newline) out += '\n';
    }
    return out;
}

bool WxProfileStore::Save() {
    wxMemoryOutputStream stream;
    if (!config_->Save(stream, wxConvUTF8)) return false;
    const size_t size = stream.GetLength();
    std::string text(size, '\0');
    stream.CopyTo(text.data(), size);
    text = UnescapeNames(text);

    // A settings file that is a link stays one: the file it names is
    // replaced.
    std::error_code ec;
    std::filesystem::path target = file_;
    if (std::filesystem::is_symlink(file_, ec)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(file_, ec);
        if (!ec) target = resolved;
    }
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    std::string temp = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    // The settings file may hold folder names: the user's own.
    ::fchmod(fd, 0600);
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += size_t(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}
