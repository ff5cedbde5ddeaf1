#include "GioProgramLauncher.h"

#include <gio/gio.h>
#include <wx/utils.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The started process only reports a missing program after the fork, so the
// program is looked for first: a path as it stands, a bare name along PATH.
bool CanStart(const std::string& program) {
    if (program.empty()) return false;
    if (program.find('/') != std::string::npos) return IsExecutableFile(program);
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        if (IsExecutableFile(folder + "/" + program)) return true;
        start = end + 1;
    }
    return false;
}

} // namespace

std::string GioProgramLauncher::DefaultApplicationFor(const std::string& mimeType) {
    gchar* type = g_content_type_from_mime_type(mimeType.c_str());
    GAppInfo* app = g_app_info_get_default_for_type(type ? type : mimeType.c_str(), FALSE);
    g_free(type);
    if (!app) return {};
    const char* executable = g_app_info_get_executable(app);
    std::string result = executable ? executable : "";
    g_object_unref(app);
    return result;
}

bool GioProgramLauncher::StartProgram(const std::string& program, const std::vector<std::string>& arguments) {
    if (!CanStart(program)) return false;
    std::vector<const char*> argv;
    argv.push_back(program.c_str());
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    return wxExecute(argv.data(), wxEXEC_ASYNC) > 0;
}

bool GioProgramLauncher::OpenWithAssociatedProgram(const std::string& path) {
    GError* error = nullptr;
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, &error);
    if (!uri) {
        g_clear_error(&error);
        return false;
    }
    const gboolean launched = g_app_info_launch_default_for_uri(uri, nullptr, &error);
    g_free(uri);
    g_clear_error(&error);
    return launched != FALSE;
}
