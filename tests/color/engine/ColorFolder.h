#pragma once
// A system folder of the test's own whose colour folder holds copies of the
// generated static profiles, less some, plus some test profiles. Tearing it
// down also tears the engine down.
#include "ColorEngine.h"
#include "StaticProfileTable.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace NimbalCore {

class ColorFolder {
public:
    ColorFolder(const std::vector<std::string>& leaveOut, const std::vector<std::string>& extra = {}) {
        root_ = std::filesystem::temp_directory_path() /
                ("lumora-color-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        const std::filesystem::path color = root_ / "spool" / "drivers" / "color";
        std::filesystem::create_directories(color);
        for (const auto& entry : std::filesystem::directory_iterator(LUMORA_TEST_COLOR_FOLDER)) {
            const std::string name = entry.path().filename().string();
            if (std::find(leaveOut.begin(), leaveOut.end(), name) == leaveOut.end())
                std::filesystem::copy_file(entry.path(), color / name);
        }
        for (const std::string& name : extra)
            std::filesystem::copy_file(std::filesystem::path(LUMORA_TEST_PROFILES) / name, color / name);
        setenv("LUMORA_SYSTEM_DIR", root_.c_str(), 1);
    }
    ~ColorFolder() {
        ColorEngine::DeleteInstance();
        StaticProfileTable::Clear();
        unsetenv("LUMORA_SYSTEM_DIR");
        std::filesystem::remove_all(root_);
    }

    std::filesystem::path Color() const { return root_ / "spool" / "drivers" / "color"; }

private:
    std::filesystem::path root_;
    static inline int counter_ = 0;
};

} // namespace NimbalCore
