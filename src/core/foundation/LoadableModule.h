#pragma once
// A library of code loaded at run time: load, look up a symbol, unload. The
// binding code keeps a counted reference while it uses the module's symbols.
#include "FilePathSpec.h"
#include "YlmRefCount.h"
#include "YlmRefPtr.h"

#include <vector>

namespace NimbalCore {

class LoadableModule : public YlmRefCount<YlmMutex> {
public:
    LoadableModule() = default;
    virtual ~LoadableModule() = default;

    virtual bool Load() = 0;
    virtual bool Unload() { return true; }
    // Null when the module does not export the name or is not loaded.
    virtual void* GetSymbol(const char* name) = 0;

    // A loaded module of the path (a path with a folder is taken as it is, a
    // bare name such as "ZynWren3.dll" is looked for in the program folder
    // first), or null when it does not load.
    static YlmRefPtr<LoadableModule> CreateFromPath(const char* path);
    // Every entry of a folder that loads, in the listing's order. Throws the
    // folder's errors (1000, 1002, 1601).
    static std::vector<YlmRefPtr<LoadableModule>> LoadAllInFolder(const FilePathSpec& folder);
};

} // namespace NimbalCore
