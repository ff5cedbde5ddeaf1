#pragma once
// The program's one colour-management service: it opens the colour library,
// finds the profile folders, registers every usable profile under its
// description, keeps the look lists, resolves look names across their naming
// generations, loads the profiles rendering needs, and builds transforms for
// chains of profiles.
#include "ColorSpaceDesc.h"
#include "ColorTransform.h"
#include "FilePathSpec.h"
#include "LookAliasTable.h"
#include "PixelLayout.h"
#include "ProfileChainEntry.h"
#include "TransformCacheEntry.h"
#include "YlmRefPtr.h"

#include "ORVEXCMS.h"

#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace NimbalCore {

class ColorEngineCB;
class ColorProfile;

class ColorEngine {
public:
    static constexpr int kMaxDirectories = 5;
    static constexpr int kDirectoryChars = 255;

    // Created and started on the first call; every caller passes (0, 1).
    static ColorEngine* Instance(int a, int b);
    // Tears the engine down: the cache and the registry emptied, the library
    // closed, the process-wide pointer cleared.
    static void DeleteInstance();
    // The screen's profile file: the application installs a hook that reads
    // it from the display, tests install their own. An empty answer, or no
    // hook at all, means the screen has no profile.
    using DisplayProfileHook = std::function<std::string()>;
    static void SetDisplayProfileHook(DisplayProfileHook hook);
    // For a listener's destructor: forgets it when an engine is running.
    static void RemoveListenerIfRunning(ColorEngineCB* listener);
    // The library instance of the engine, 0 when there is none.
    static SpInstance LibraryInstance();
    // Runs a library transform; 1727 on failure.
    static void Evaluate(SpXform transform, const PixelLayout& source, const PixelLayout& destination);

    virtual ~ColorEngine();
    ColorEngine(const ColorEngine&) = delete;
    ColorEngine& operator=(const ColorEngine&) = delete;

    // -1 before start-up, 0 when it succeeded, else what stopped it.
    int GetStartupStatus() const { return startupStatus_; }

    // The screen's profile, loaded and registered; null when there is none.
    virtual YlmRefPtr<ColorSpaceDesc> GetDisplayProfile();
    // The same with an empty file name.
    virtual YlmRefPtr<ColorSpaceDesc> GetUnnamedProfile();

    YlmRefPtr<ColorSpaceDesc> FindProfile(const std::string& description);
    YlmRefPtr<ColorSpaceDesc> FindProfileOrAlias(const std::string& description);
    bool AddProfile(const YlmRefPtr<ColorSpaceDesc>& profile);
    // The description under which the file's profile is registered; 1730
    // when no profile folder holds it.
    std::string LoadStaticProfile(const std::string& fileName);
    std::vector<std::string> GetMissingStaticProfiles();
    void CheckStaticProfile(const std::string& fileName, std::vector<std::string>& missing);
    FilePathSpec FindProfileFile(const std::string& fileName);

    std::vector<std::string> GetLookList();
    std::vector<std::string> GetGrayscaleLookList();
    std::vector<std::string> GetOutputProfileList();
    std::string GetWorkingSpaceName();
    // Stores a different name and tells every listener still registered
    // when its turn comes; an unchanged name tells nobody.
    void SetWorkingSpaceName(const std::string& description);
    // Each listener is held once; adding it again changes nothing.
    void AddListener(ColorEngineCB* listener);
    void RemoveListener(ColorEngineCB* listener);

    bool ProfileNamesMatch(const std::string& a, const std::string& b) const;
    static bool ProfileNameLess(const std::string& a, const std::string& b);
    static std::string GetErrorText(SpStatus status);
    bool InitThread();
    bool TermThread();

    // One transform doing a chain's profiles in order; 1728 when the chain
    // cannot be combined or names a profile that is not registered.
    // Equal chains with equal flags get the cached transform back.
    YlmRefPtr<ColorTransform> GetTransform(const std::vector<ProfileChainEntry>& chain, int flags);
    // How many transforms the cache keeps (oldest evicted first); 0, as the
    // engine starts, keeps all.
    void SetCacheLimit(int limit);
    // RGB to one grey channel with the weights 0.299, 0.587 and 0.114, or
    // the first channel's sample; 1727 for layouts it cannot use.
    static void RGBColorToGrayscale(const PixelLayout& source, const PixelLayout& destination, bool firstChannel);

    int GetDirectoryCount() const { return directoryCount_; }
    std::string GetDirectory(int index) const;

private:
    ColorEngine();
    void Startup(int a, int b);
    bool FindProfileDirectories();
    void InitializeLooks();
    void Initialize();
    void LoadStaticProfileDescriptions();
    int RemoveDuplicateProfiles();
    int RemoveUnregisteredNames(std::vector<std::string>& names);
    static int RemoveBlankNames(std::vector<std::string>& names);
    // Profiles of one search, each offered to the registry; the names of
    // those added are appended to the list.
    YlmRefPtr<ColorSpaceDesc> LoadDisplayProfile(const std::string& file);
    bool IsListening(ColorEngineCB* listener);
    void SearchAndRegister(const std::vector<ProfileSearchCriterion>& criteria, bool looksOnly,
                           std::vector<std::string>& names, const char* operation);

    // Guards the registry, the lists, the working-space name, the listeners
    // and the cache: the folder watcher's thread builds transforms while the
    // user-interface thread does.
    std::recursive_mutex lock_;
    std::map<std::string, YlmRefPtr<ColorProfile>> registry_;
    LookAliasTable aliases_;
    std::list<TransformCacheEntry> cache_;   // oldest first
    std::vector<std::string> lookList_;
    std::vector<std::string> grayscaleLookList_;
    std::vector<std::string> outputList_;
    std::vector<std::string> exclusions_;
    std::string workingSpaceName_;
    std::vector<ColorEngineCB*> listeners_;
    int cacheLimit_ = 0;
    SpInstance instance_ = 0;
    ProfileDirectoryEntry directories_[kMaxDirectories] = {};
    char directoryNames_[kMaxDirectories][kDirectoryChars + 1] = {};
    int directoryCount_ = 0;
    int startupStatus_ = -1;
    ProfileDataBaseList dataBase_{0, nullptr};
};

} // namespace NimbalCore
