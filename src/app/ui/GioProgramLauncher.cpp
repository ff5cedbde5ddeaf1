#include "GioProgramLauncher.h"

#include <gio/gio.h>

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
