#pragma once
// A wastebasket for tests, installed while it lives: records each list it
// was given; the paths in refused stay where they are and come back as
// failures; with removesFiles the others leave the disk, as they would in
// the desktop's wastebasket.
#include "Trash.h"

#include <filesystem>
#include <set>
#include <string>
#include <vector>

class FakeTrash : public Trash {
public:
    FakeTrash() { Trash::SetCurrent(this); }
    ~FakeTrash() override { Trash::SetCurrent(nullptr); }

    std::vector<Failure> MoveToTrash(const std::vector<std::string>& paths) override {
        calls.push_back(paths);
        std::vector<Failure> failed;
        for (const std::string& path : paths) {
            if (refused.count(path)) {
                failed.push_back({path, "Refused by the test."});
                continue;
            }
            if (removesFiles) {
                std::error_code error;
                std::filesystem::remove(path, error);
            }
        }
        return failed;
    }

    std::vector<std::vector<std::string>> calls;
    std::set<std::string> refused;
    bool removesFiles = false;
};
