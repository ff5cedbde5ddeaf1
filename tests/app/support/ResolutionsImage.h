#pragma once
// The core's test image offering the reduced resolutions a test chooses.
#include "../../core/FakeImage.h"

#include <map>
#include <string>
#include <vector>

class ResolutionsImage : public coretest::FakeImage {
public:
    ResolutionsImage(const std::string& path, int32_t width, int32_t height) : FakeImage(path, width, height) {}
    std::map<int, NimbalCore::NbRect> GetAvailableResolutions() override {
        std::map<int, NimbalCore::NbRect> out;
        for (int f : factors)
            out[f] = NimbalCore::NbRect(0, 0, int32_t(imageRect_.Width() / f - 1), int32_t(imageRect_.Height() / f - 1));
        return out;
    }

    std::vector<int> factors{1};
};
