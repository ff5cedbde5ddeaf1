#include "ColorEngine.h"

#include "CmsTransform.h"
#include "ColorEngineCB.h"
#include "ColorEngineServices.h"
#include "ColorProfile.h"
#include "ColorServices.h"
#include "Locations.h"
#include "NbErrorCodes.h"
#include "StaticProfileTable.h"
#include "YlmErrp.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <strings.h>

namespace NimbalCore {

namespace {

std::atomic<ColorEngine*> gEngine{nullptr};
std::atomic<SpInstance> gInstance{0};
std::mutex gHookLock;
ColorEngine::DisplayProfileHook gDisplayHook;

constexpr uint32_t Signature(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
           uint32_t(uint8_t(s[3]));
}

const char* const kExcluded = "Orvex Professional Grayscale";

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

bool FolderExists(const char* path) {
    std::error_code ec;
    return path[0] != '\0' && std::filesystem::is_directory(path, ec);
}

// A folder whose name does not fit a slot is not used at all: a cut name
// could name another folder.
bool FitsSlot(const std::string& folder) { return folder.size() <= size_t(ColorEngine::kDirectoryChars); }

} // namespace

ColorEngine* ColorEngine::Instance(int a, int b) {
    if (ColorEngine* engine = gEngine.load()) return engine;
    ColorEngine* engine = new ColorEngine;
    gEngine.store(engine);
    engine->Startup(a, b);
    ColorEngineServices::InstallFor(engine);
    return engine;
}

void ColorEngine::DeleteInstance() { delete gEngine.load(); }

void ColorEngine::SetDisplayProfileHook(DisplayProfileHook hook) {
    std::lock_guard<std::mutex> guard(gHookLock);
    gDisplayHook = std::move(hook);
}

void ColorEngine::RemoveListenerIfRunning(ColorEngineCB* listener) {
    if (ColorEngine* engine = gEngine.load()) engine->RemoveListener(listener);
}

SpInstance ColorEngine::LibraryInstance() { return gInstance.load(); }

ColorEngine::ColorEngine() {
    for (int i = 0; i < kMaxDirectories; ++i) directories_[i].directoryName = directoryNames_[i];
}

ColorEngine::~ColorEngine() {
    ColorEngineServices::Uninstall(this);
    if (gEngine.load() == this) gEngine.store(nullptr);
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        // Transforms and profiles still held by the engine go back to the
        // library before it closes.
        cache_.clear();
        registry_.clear();
        listeners_.clear();
        lookList_.clear();
        grayscaleLookList_.clear();
        outputList_.clear();
    }
    if (instance_) SpTerminate(&instance_);
    gInstance.store(0);
}

void ColorEngine::Startup(int, int b) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    startupStatus_ = SpInitialize(&instance_, nullptr, nullptr);
    if (startupStatus_ != SpStatSuccess) return;
    gInstance.store(instance_);
    if (!FindProfileDirectories()) {
        directoryCount_ = 1;
        startupStatus_ = SpProfileGetDefaultDB(1, kDirectoryChars, &directories_[0]);
        if (startupStatus_ != SpStatSuccess) return;
    }
    dataBase_ = ProfileDataBaseList{directoryCount_, directories_};
    aliases_.Fill(b == 1);
    exclusions_.push_back(kExcluded);
    try {
        InitializeLooks();
        Initialize();
        LoadStaticProfileDescriptions();
        RemoveDuplicateProfiles();
        while (RemoveUnregisteredNames(lookList_) != 0) {}
        while (RemoveUnregisteredNames(outputList_) != 0) {}
        grayscaleLookList_.clear();
        grayscaleLookList_.push_back(StaticProfileTable::Description(StaticProfileTable::kProductGrayscale));
        grayscaleLookList_.push_back(StaticProfileTable::Description(StaticProfileTable::kPortraitGrayscale));
        for (const std::string& look : lookList_)
            if (look.find("B&W") != std::string::npos) grayscaleLookList_.push_back(look);
        workingSpaceName_ = StaticProfileTable::Description(StaticProfileTable::kSRGB);
        startupStatus_ = 0;
    } catch (const YlmErrp& e) {
        startupStatus_ = e.GetCode();
    }
}

bool ColorEngine::FindProfileDirectories() {
    directoryCount_ = 1;
    SpStatus status = SpProfileGetDefaultDB(1, kDirectoryChars, &directories_[0]);
    if (status == SpStatNoDefaultDB || !FolderExists(directoryNames_[0])) directoryCount_ = 0;
    // The colour directory service and the system colour folder are one
    // folder here; a folder named twice counts once.
    auto offer = [&](const std::string& folder) {
        if (directoryCount_ > 1) return;
        if (!FitsSlot(folder)) return;
        char candidate[kDirectoryChars + 1] = {};
        std::memcpy(candidate, folder.c_str(), folder.size());
        if (!FolderExists(candidate)) return;
        if (directoryCount_ == 0) {
            std::memcpy(directoryNames_[0], candidate, sizeof candidate);
            directoryCount_ = 1;
        } else if (directoryCount_ == 1) {
            std::memcpy(directoryNames_[1], candidate, sizeof candidate);
            if (strcasecmp(directoryNames_[0], directoryNames_[1]) != 0) directoryCount_ = 2;
        }
    };
    offer(lumora::Locations::ColorDir().string());
    offer((lumora::Locations::SystemDir() / "spool" / "drivers" / "color").string());
    return directoryCount_ > 0;
}

std::string ColorEngine::GetDirectory(int index) const {
    return index >= 0 && index < directoryCount_ ? std::string(directoryNames_[index]) : std::string();
}

void ColorEngine::SearchAndRegister(const std::vector<ProfileSearchCriterion>& criteria, bool looksOnly,
                                    std::vector<std::string>& names, const char* operation) {
    std::vector<ProfileSearchCriterion> list = criteria;
    ProfileSearchList search{int32_t(list.size()), list.data()};
    std::vector<SpProfile> found(SP_MAX_SEARCH_RESULTS);
    int32_t count = 0;
    if (SpProfileSearch(instance_, &dataBase_, &search, found.data(), SP_MAX_SEARCH_RESULTS, &count) != SpStatSuccess)
        YLM_THROW(operation, NbErrColorProfileFailed);
    count = std::clamp<int32_t>(count, 0, SP_MAX_SEARCH_RESULTS);
    for (int32_t i = 0; i < count; ++i) {
        try {
            YlmRefPtr<ColorProfile> profile(new ColorProfile(found[i]));
            if (looksOnly) {
                int32_t exists = 0;
                if (SpTagExists(found[i], Signature("K011"), &exists) != SpStatSuccess || !exists) continue;
                SpTagValue tag{};
                if (SpTagGetById(found[i], Signature("K011"), &tag) != SpStatSuccess) continue;
                const bool isLook = tag.typeCode == SpTagTypeText;
                SpTagFree(&tag);
                if (!isLook) continue;
            }
            if (AddProfile(YlmRefPtr<ColorSpaceDesc>(profile))) names.push_back(profile->Name());
        } catch (const YlmErrp&) {
            // A profile that cannot be read is skipped.
        }
    }
}

void ColorEngine::InitializeLooks() {
    const uint32_t orve = Signature("ORVE"), ocms = Signature("OCMS"), rgb = Signature("RGB ");
    SearchAndRegister({{SpSearchDeviceClass, Signature("scnr")}, {SpSearchDeviceManufacturer, orve},
                       {SpSearchConnectionSpace, Signature("Lab ")}, {SpSearchDataColorSpace, rgb},
                       {SpSearchPreferredCMM, ocms}},
                      true, lookList_, "ColorEngine::InitializeLooks");
    SearchAndRegister({{SpSearchDeviceClass, Signature("link")}, {SpSearchDeviceManufacturer, orve},
                       {SpSearchConnectionSpace, rgb}, {SpSearchDataColorSpace, rgb}, {SpSearchPreferredCMM, ocms}},
                      true, lookList_, "ColorEngine::InitializeLooks");
    while (RemoveUnregisteredNames(lookList_) != 0) {}
    std::stable_sort(lookList_.begin(), lookList_.end(), ProfileNameLess);
    while (RemoveBlankNames(lookList_) != 0) {}
}

void ColorEngine::Initialize() {
    const uint32_t rgb = Signature("RGB ");
    for (const char* deviceClass : {"mntr", "prtr", "spac"}) {
        const char sig[5] = {deviceClass[0], deviceClass[1], deviceClass[2], deviceClass[3], 0};
        SearchAndRegister({{SpSearchDeviceClass, Signature(sig)}, {SpSearchDataColorSpace, rgb}}, false, outputList_,
                          "ColorEngine::Initialize");
    }
    RemoveUnregisteredNames(outputList_);
    std::stable_sort(outputList_.begin(), outputList_.end(), ProfileNameLess);
    while (RemoveBlankNames(outputList_) != 0) {}
}

void ColorEngine::LoadStaticProfileDescriptions() {
    for (const std::string& file : StaticProfileTable::LoadOrder())
        StaticProfileTable::SetDescription(file, LoadStaticProfile(file));
    // A screen without a profile is no error: the sRGB description stands in.
    const std::string srgb = StaticProfileTable::Description(StaticProfileTable::kSRGB);
    YlmRefPtr<ColorSpaceDesc> display = GetDisplayProfile();
    StaticProfileTable::SetDisplayDescription(display ? display->Name() : srgb);
    workingSpaceName_ = srgb;
}

YlmRefPtr<ColorSpaceDesc> ColorEngine::GetDisplayProfile() {
    DisplayProfileHook hook;
    {
        std::lock_guard<std::mutex> guard(gHookLock);
        hook = gDisplayHook;
    }
    return LoadDisplayProfile(hook ? hook() : std::string());
}

YlmRefPtr<ColorSpaceDesc> ColorEngine::GetUnnamedProfile() { return LoadDisplayProfile(std::string()); }

YlmRefPtr<ColorSpaceDesc> ColorEngine::LoadDisplayProfile(const std::string& file) {
    const SpFileProps props{};
    SpProfile handle = 0;
    if (SpProfileLoadProfile(instance_, file.c_str(), &props, &handle) != SpStatSuccess || !handle)
        return YlmRefPtr<ColorSpaceDesc>();
    try {
        YlmRefPtr<ColorSpaceDesc> profile(new ColorProfile(handle));
        AddProfile(profile);
        return profile;
    } catch (const YlmErrp&) {
        // A profile whose description cannot be read is as good as none.
        return YlmRefPtr<ColorSpaceDesc>();
    }
}

std::string ColorEngine::LoadStaticProfile(const std::string& fileName) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    int loaded = 0;
    std::string lastName;
    for (int i = 0; i < directoryCount_; ++i) {
        std::string path = directoryNames_[i];
        if (!path.empty()) path += '/';
        path += fileName;
        SpProfile handle = 0;
        if (SpProfileLoadProfile(instance_, path.c_str(), &directories_[i].fileProps, &handle) != SpStatSuccess)
            continue;
        try {
            YlmRefPtr<ColorProfile> profile(new ColorProfile(handle));
            ++loaded;
            lastName = profile->Name();
            AddProfile(YlmRefPtr<ColorSpaceDesc>(profile));
        } catch (const YlmErrp&) {
            // Unreadable: as if it were not there.
        }
    }
    if (loaded > 0) {
        // A profile that could not be registered (its description is
        // excluded) is treated as missing.
        YlmRefPtr<ColorSpaceDesc> registered = FindProfileOrAlias(lastName);
        if (registered) return registered->Name();
    }
    YLM_THROW("ColorEngine::LoadStaticProfile", NbErrProfileNotFound);
}

FilePathSpec ColorEngine::FindProfileFile(const std::string& fileName) {
    FilePathSpec last;
    for (int i = 0; i < directoryCount_; ++i) {
        FilePathSpec path(directoryNames_[i]);
        path.Append(fileName);
        if (path.Exists()) return path;
        last = path;
    }
    return last;
}

void ColorEngine::CheckStaticProfile(const std::string& fileName, std::vector<std::string>& missing) {
    try {
        if (!FindProfileFile(fileName).Exists()) missing.push_back(fileName);
    } catch (const YlmErrp&) {
        missing.push_back(fileName);
    }
}

std::vector<std::string> ColorEngine::GetMissingStaticProfiles() {
    std::vector<std::string> missing;
    for (const std::string& file : StaticProfileTable::CheckOrder()) CheckStaticProfile(file, missing);
    return missing;
}

bool ColorEngine::AddProfile(const YlmRefPtr<ColorSpaceDesc>& desc) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    auto* profile = dynamic_cast<ColorProfile*>(desc.Get());
    if (!profile) return false;
    const std::string name = profile->GetDescription();
    if (std::find(exclusions_.begin(), exclusions_.end(), name) != exclusions_.end()) return false;
    for (auto it = registry_.begin(); it != registry_.end(); ++it) {
        if (!ProfileNamesMatch(it->first, profile->Name())) continue;
        if (profile->Version() <= it->second->Version()) return false;
        registry_.erase(it);
        registry_[name] = YlmRefPtr<ColorProfile>(profile);
        return true;
    }
    registry_[name] = YlmRefPtr<ColorProfile>(profile);
    return true;
}

int ColorEngine::RemoveDuplicateProfiles() {
    int pairs = 0;
    bool restart = true;
    while (restart) {
        restart = false;
        for (auto a = registry_.begin(); a != registry_.end() && !restart; ++a) {
            for (auto b = std::next(a); b != registry_.end(); ++b) {
                if (!ProfileNamesMatch(a->first, b->first)) continue;
                ++pairs;
                if (a->second->Version() < b->second->Version()) {
                    registry_.erase(a);
                    restart = true;
                    break;
                }
                b = std::prev(registry_.erase(b));
            }
        }
    }
    return pairs;
}

int ColorEngine::RemoveUnregisteredNames(std::vector<std::string>& names) {
    const size_t before = names.size();
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::string& n) { return registry_.find(n) == registry_.end(); }),
                names.end());
    return int(before - names.size());
}

int ColorEngine::RemoveBlankNames(std::vector<std::string>& names) {
    const size_t before = names.size();
    names.erase(std::remove(names.begin(), names.end(), std::string(" ")), names.end());
    return int(before - names.size());
}

YlmRefPtr<ColorSpaceDesc> ColorEngine::FindProfile(const std::string& description) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    auto it = registry_.find(description);
    return it == registry_.end() ? YlmRefPtr<ColorSpaceDesc>() : YlmRefPtr<ColorSpaceDesc>(it->second.Get());
}

YlmRefPtr<ColorSpaceDesc> ColorEngine::FindProfileOrAlias(const std::string& description) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (YlmRefPtr<ColorSpaceDesc> found = FindProfile(description)) return found;
    for (const auto& entry : registry_)
        if (ProfileNamesMatch(entry.first, description)) return YlmRefPtr<ColorSpaceDesc>(entry.second.Get());
    return YlmRefPtr<ColorSpaceDesc>();
}

bool ColorEngine::ProfileNamesMatch(const std::string& a, const std::string& b) const {
    if (a == b) return true;
    const std::string ua = Upper(a), ub = Upper(b);
    return ua == ub || aliases_.Maps(ua, ub) || aliases_.Maps(ub, ua);
}

bool ColorEngine::ProfileNameLess(const std::string& a, const std::string& b) { return Upper(a) < Upper(b); }

std::vector<std::string> ColorEngine::GetLookList() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return lookList_;
}

std::vector<std::string> ColorEngine::GetGrayscaleLookList() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return grayscaleLookList_;
}

std::vector<std::string> ColorEngine::GetOutputProfileList() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return outputList_;
}

std::string ColorEngine::GetWorkingSpaceName() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return workingSpaceName_;
}

void ColorEngine::SetWorkingSpaceName(const std::string& description) {
    std::vector<ColorEngineCB*> listeners;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        if (description == workingSpaceName_) return;
        workingSpaceName_ = description;
        listeners = listeners_;
    }
    // Outside the lock, so a listener may ask the engine anything; one that
    // went away during an earlier call is skipped.
    for (ColorEngineCB* listener : listeners)
        if (IsListening(listener)) listener->ColorEngineChanged(description);
}

void ColorEngine::AddListener(ColorEngineCB* listener) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void ColorEngine::RemoveListener(ColorEngineCB* listener) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

bool ColorEngine::IsListening(ColorEngineCB* listener) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end();
}

std::string ColorEngine::GetErrorText(SpStatus status) {
    char buffer[512] = {};
    SpGetErrorText(status, sizeof buffer, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

bool ColorEngine::InitThread() { return SpInitThread(instance_, nullptr, nullptr) == SpStatSuccess; }

bool ColorEngine::TermThread() { return SpTermThread(instance_) == SpStatSuccess; }

void ColorEngine::SetCacheLimit(int limit) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    cacheLimit_ = limit;
}

YlmRefPtr<ColorTransform> ColorEngine::GetTransform(const std::vector<ProfileChainEntry>& chain, int flags) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (const TransformCacheEntry& entry : cache_)
        if (entry.Matches(chain, flags)) return entry.transform;
    std::vector<YlmRefPtr<ColorTransform>> singles;
    std::vector<SpXform> handles;
    for (const ProfileChainEntry& entry : chain) {
        YlmRefPtr<ColorSpaceDesc> desc = entry.profile ? entry.profile : FindProfile(entry.description);
        auto* profile = dynamic_cast<ColorProfile*>(desc.Get());
        // A profile that is not registered, or a transform the library
        // refuses, makes the chain one that cannot be combined.
        if (!profile) YLM_THROW("ColorEngine::GetTransform", NbErrColorEngineInitFailed);
        YlmRefPtr<ColorTransform> single = profile->GetTransform(entry.kind);
        if (!single) YLM_THROW("ColorEngine::GetTransform", NbErrColorEngineInitFailed);
        handles.push_back(static_cast<CmsTransform*>(single.Get())->GetHandle());
        singles.push_back(single);
    }
    SpXform combined = 0;
    int32_t failedIndex = 0;
    if (SpCombineXforms(int32_t(handles.size()), handles.data(), &combined, &failedIndex, nullptr, nullptr) !=
        SpStatSuccess)
        YLM_THROW("ColorEngine::GetTransform", NbErrColorEngineInitFailed);
    YlmRefPtr<ColorTransform> transform(new CmsTransform(YlmRefPtr<ColorSpaceDesc>(), 0, combined, true));
    if (cacheLimit_ > 0)
        while (cache_.size() >= size_t(cacheLimit_)) cache_.pop_front();
    cache_.push_back(TransformCacheEntry{chain, flags, transform});
    return transform;
}

void ColorEngine::Evaluate(SpXform transform, const PixelLayout& source, const PixelLayout& destination) {
    auto convert = [](const PixelLayout& in) {
        SpPixelLayout out{};
        out.sampleType = in.sampleType;
        out.columns = in.columns;
        out.rows = in.rows;
        out.columnOffset = in.columnOffset;
        out.rowOffset = in.rowOffset;
        out.channels = in.channels;
        for (int i = 0; i < 3; ++i) out.base[i] = in.base[i];
        return out;
    };
    const SpPixelLayout from = convert(source), to = convert(destination);
    if (SpEvaluate(transform, &from, &to, nullptr, nullptr) != SpStatSuccess)
        YLM_THROW("ColorEngine::Evaluate", NbErrColorEvaluateFailed);
}

void ColorEngine::RGBColorToGrayscale(const PixelLayout& source, const PixelLayout& destination, bool firstChannel) {
    auto bitsOf = [](int sampleType) {
        return sampleType == PixelSample8 ? 8 : sampleType == PixelSample12in16 ? 12 : sampleType == PixelSample16 ? 16 : 0;
    };
    const int fromBits = bitsOf(source.sampleType), toBits = bitsOf(destination.sampleType);
    if (source.channels != 3 || destination.channels != 1 || source.columns != destination.columns ||
        source.rows != destination.rows || fromBits == 0 || toBits == 0 || source.columns < 0 || source.rows < 0 ||
        !source.base[0] || !source.base[1] || !source.base[2] || !destination.base[0])
        YLM_THROW("ColorEngine::RGBColorToGrayscale", NbErrColorEvaluateFailed);
    auto offset = [](int32_t v, int bits) { return bits == 8 ? int64_t(v) : int64_t(v & ~1); };
    const int64_t sc = offset(source.columnOffset, fromBits), sr = offset(source.rowOffset, fromBits);
    const int64_t dc = offset(destination.columnOffset, toBits), dr = offset(destination.rowOffset, toBits);
    auto read = [&](const void* base, int64_t at) -> uint32_t {
        const uint8_t* p = static_cast<const uint8_t*>(base) + at;
        if (fromBits == 8) return *p;
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    };
    for (int32_t r = 0; r < source.rows; ++r) {
        for (int32_t c = 0; c < source.columns; ++c) {
            const int64_t at = r * sr + c * sc;
            uint32_t gray;
            if (firstChannel) {
                gray = read(source.base[0], at);
            } else {
                const double first = read(source.base[0], at), second = read(source.base[1], at),
                             third = read(source.base[2], at);
                gray = uint32_t((0.587 * second + 0.299 * first) + 0.114 * third);
            }
            if (toBits > fromBits) gray <<= (toBits - fromBits);
            else if (fromBits > toBits) gray >>= (fromBits - toBits);
            uint8_t* d = static_cast<uint8_t*>(destination.base[0]) + r * dr + c * dc;
            if (toBits == 8) {
                *d = uint8_t(gray);
            } else {
                const uint16_t v = uint16_t(gray);
                std::memcpy(d, &v, 2);
            }
        }
    }
}

} // namespace NimbalCore
