#include "GioTrash.h"

#include <gio/gio.h>

std::vector<Trash::Failure> GioTrash::MoveToTrash(const std::vector<std::string>& paths) {
    std::vector<Failure> failed;
    for (const std::string& path : paths) {
        GFile* file = g_file_new_for_path(path.c_str());
        GError* error = nullptr;
        if (!g_file_trash(file, nullptr, &error)) {
            failed.push_back({path, error ? error->message : "The file cannot be moved to the wastebasket."});
            g_clear_error(&error);
        }
        g_object_unref(file);
    }
    return failed;
}
