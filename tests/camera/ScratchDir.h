#pragma once
// A fresh folder under $TMPDIR for one test, removed with everything in it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

class ScratchDir {
public:
    ScratchDir() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lumora-test-XXXXXX";
        if (char* made = ::mkdtemp(pattern.data())) path_ = made;
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

private:
    std::filesystem::path path_;
};
