#include "StaticProfileTable.h"

#include <map>
#include <mutex>

namespace NimbalCore {

namespace {

struct ModelFiles {
    const char* model;
    bool sourceNames; // "…DaylightSource.icm" rather than "…Daylight.icm"
    bool toneCurve;
};
const ModelFiles kModels[] = {
    {"AukC", true, false},    {"Keelx", true, false},   {"Plover", true, false}, {"Drossel", true, false},
    {"Corvid", false, true},  {"Heronn", false, true},  {"Heronc", false, true},
};
const char* const kLightings[] = {"Daylight", "Tungsten", "Fluorescent", "Flash"};
const char* const kLooks[] = {"ZynProductLook.icm",    "ZynPortraitLook.icm",     "ZynProductLookRed.icm",
                              "ZynPortraitLookRed.icm", "ZynWeddingLook.icm",     "ZynEventLook.icm",
                              "ZynProductGrayscale.icm", "ZynPortraitGrayscale.icm"};

std::vector<std::string> LightingFiles() {
    std::vector<std::string> files;
    for (const ModelFiles& m : kModels)
        for (int l = 0; l < (m.toneCurve ? 5 : 4); ++l) files.push_back(StaticProfileTable::LightingFile(m.model, l));
    return files;
}

std::mutex gLock;
std::map<std::string, std::string>& Descriptions() {
    static std::map<std::string, std::string> descriptions;
    return descriptions;
}
std::string gDisplay;

} // namespace

std::string StaticProfileTable::LightingFile(const std::string& model, int lighting) {
    for (const ModelFiles& m : kModels) {
        if (model != m.model) continue;
        if (lighting >= 0 && lighting < 4)
            return std::string("Zyn") + m.model + kLightings[lighting] + (m.sourceNames ? "Source" : "") + ".icm";
        if (lighting == 4 && m.toneCurve) return std::string("Zyn") + m.model + "ToneCurve.icm";
    }
    return std::string();
}

const std::vector<std::string>& StaticProfileTable::LoadOrder() {
    static const std::vector<std::string> order = [] {
        std::vector<std::string> files = LightingFiles();
        files.push_back(kERIMM);
        files.push_back(kLab);
        files.insert(files.end(), std::begin(kLooks), std::end(kLooks));
        files.push_back(kZynRGB);
        files.push_back(kSRGB);
        files.push_back(kProPhotoRGB);
        files.push_back(kProPhotoRGB);
        return files;
    }();
    return order;
}

const std::vector<std::string>& StaticProfileTable::CheckOrder() {
    static const std::vector<std::string> order = [] {
        std::vector<std::string> files = LightingFiles();
        files.insert(files.end(), std::begin(kLooks), std::end(kLooks));
        files.push_back(kSRGB);
        files.push_back(kProPhotoRGB);
        files.push_back(kERIMM);
        files.push_back(kLab);
        files.push_back(kProPhotoRGB);
        return files;
    }();
    return order;
}

std::string StaticProfileTable::Description(const std::string& fileName) {
    std::lock_guard<std::mutex> guard(gLock);
    auto it = Descriptions().find(fileName);
    return it == Descriptions().end() ? std::string() : it->second;
}

void StaticProfileTable::SetDescription(const std::string& fileName, const std::string& description) {
    std::lock_guard<std::mutex> guard(gLock);
    Descriptions()[fileName] = description;
}

std::string StaticProfileTable::DisplayDescription() {
    std::lock_guard<std::mutex> guard(gLock);
    return gDisplay;
}

void StaticProfileTable::SetDisplayDescription(const std::string& description) {
    std::lock_guard<std::mutex> guard(gLock);
    gDisplay = description;
}

void StaticProfileTable::Clear() {
    std::lock_guard<std::mutex> guard(gLock);
    Descriptions().clear();
    gDisplay.clear();
}

} // namespace NimbalCore
