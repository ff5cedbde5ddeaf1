#pragma once
// Image kinds for the factory's tests: each kind opens the paths the test
// lets it open, every attempt is logged ("TIFF name", "DRIVER2 name",
// "CAMERA name", "PLUGIN1 name"), and an image of a kind takes the sound
// files whose names share its stem (or every sound, when the test says so).
#include "FakeImage.h"
#include "ImageKinds.h"
#include "ImagePool.h"
#include "ImageWerks.h"

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace coretest {

class KindImage : public FakeImage {
public:
    KindImage(const std::string& path, std::string kind, int result) : FakeImage(path), kind(std::move(kind)), result(result) {}

    int Open() override {
        if (beforeOpen) beforeOpen(this);
        if (result != 0) return result;
        return FakeImage::Open();
    }
    bool AddSound(const FilePathSpec& sound) override {
        if (!takesEverySound && Stem(sound.GetFileName()) != Stem(GetFileName())) return false;
        return Image::AddSound(sound);
    }
    bool RemoveSound(const FilePathSpec& sound) override {
        if (Stem(sound.GetFileName()) != Stem(GetFileName())) return false;
        return Image::RemoveSound(sound);
    }
    void WriteAllMetaDataToFile() override {
        if (writeFailure) YLM_THROW("KindImage::WriteAllMetaDataToFile", writeFailure);
        ++metadataWrites;
        SetModified(false);
    }
    static std::string Stem(const std::string& name) { return name.substr(0, name.find('.')); }

    std::string kind;
    int result;
    bool takesEverySound = false;
    int metadataWrites = 0;
    // Thrown by the next writes of the settings into the file (0: none).
    int writeFailure = 0;
    std::function<void(KindImage*)> beforeOpen;
};

class FakeKinds : public ImageKinds {
public:
    // Which kind opens a file: a name (file name) → kinds that open it.
    // Kinds: "TIFF", "JPEG", "DRIVER0".."DRIVER2", "CAMERA", "PLUGIN0"...
    std::map<std::string, std::set<std::string>> opens;
    // Each plug-in by the extension it says it reads.
    std::vector<std::string> plugInExtensions;
    bool profilesComplete = true;
    int profileChecks = 0;
    bool everyImageTakesEverySound = false;
    // Throws this from the opening of the named file (0: nothing).
    std::map<std::string, int> throwsOnOpen;
    // Runs before the image of the named file opens.
    std::map<std::string, std::function<void(KindImage*)>> beforeOpen;

    std::vector<std::string> Log() {
        std::lock_guard<std::mutex> guard(lock_);
        return log_;
    }
    void ClearLog() {
        std::lock_guard<std::mutex> guard(lock_);
        log_.clear();
    }

    Image* NewFinishedTIFFImage(const FilePathSpec& path) override { return Make("TIFF", path); }
    Image* NewFinishedJPEGImage(const FilePathSpec& path) override { return Make("JPEG", path); }
    Image* NewDriverImage(const FilePathSpec& path, int kind) override {
        return Make("DRIVER" + std::to_string(kind), path);
    }
    Image* NewCameraInterfaceImage(const FilePathSpec& path) override { return Make("CAMERA", path); }
    int OpenCameraInterfaceImage(Image* image, int option) override {
        lastCameraOption = option;
        return image->Open();
    }
    std::vector<FolderPlugIn> GetFolderPlugIns() override {
        std::vector<FolderPlugIn> list;
        for (size_t i = 0; i < plugInExtensions.size(); ++i) {
            const std::string extension = plugInExtensions[i];
            const std::string kind = "PLUGIN" + std::to_string(i);
            list.push_back({[extension](const std::string& e) { return e == extension; },
                            [this, kind](const FilePathSpec& path) { return Make(kind, path); }});
        }
        return list;
    }
    bool HasRequiredProfiles() override {
        ++profileChecks;
        return profilesComplete;
    }

    int lastCameraOption = -1;

private:
    Image* Make(const std::string& kind, const FilePathSpec& path) {
        const std::string name = path.GetFileName();
        {
            std::lock_guard<std::mutex> guard(lock_);
            log_.push_back(kind + " " + name);
        }
        auto found = opens.find(name);
        const bool opensIt = found != opens.end() && found->second.count(kind);
        auto* image = new KindImage(path.GetPath(), kind, opensIt ? 0 : NbErrImageFileOpenFailed);
        image->takesEverySound = everyImageTakesEverySound;
        auto thrown = throwsOnOpen.find(name);
        if (thrown != throwsOnOpen.end() && thrown->second != 0) {
            const int code = thrown->second;
            image->beforeOpen = [code](KindImage*) { YLM_THROW("KindImage::Open", code); };
        }
        auto hook = beforeOpen.find(name);
        if (hook != beforeOpen.end()) image->beforeOpen = hook->second;
        return image;
    }

    std::mutex lock_;
    std::vector<std::string> log_;
};

// Installs the kinds and a pool whose drivers started as the test says
// (0 opened); undoes both when it goes.
class FactoryScope {
public:
    explicit FactoryScope(FakeKinds& kinds, int wren3 = 0, int plover = 0, int wren4 = 0) {
        ImagePool::DeleteInstance();
        ImageWerks::ResetProfileCheck();
        ImageKinds::Install(&kinds);
        statuses() = {wren3, plover, wren4};
        ImagePool::SetComponent(ImagePool::Wren3Driver, [] { return statuses()[0]; }, nullptr);
        ImagePool::SetComponent(ImagePool::PloverDriver, [] { return statuses()[1]; }, nullptr);
        ImagePool::SetComponent(ImagePool::Wren4Driver, [] { return statuses()[2]; }, nullptr);
        ImagePool::Instance();
    }
    ~FactoryScope() {
        ImagePool::DeleteInstance();
        for (auto c : {ImagePool::Wren3Driver, ImagePool::PloverDriver, ImagePool::Wren4Driver})
            ImagePool::SetComponent(c, nullptr, nullptr);
        ImageKinds::Install(nullptr);
        ImageWerks::ResetProfileCheck();
    }
    FactoryScope(const FactoryScope&) = delete;
    FactoryScope& operator=(const FactoryScope&) = delete;

private:
    static std::vector<int>& statuses() {
        static std::vector<int> s(3, 0);
        return s;
    }
};

} // namespace coretest
