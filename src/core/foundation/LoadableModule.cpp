#include "LoadableModule.h"

#include "Folder.h"
#include "WinDLLModule.h"

namespace NimbalCore {

YlmRefPtr<LoadableModule> LoadableModule::CreateFromPath(const char* path) {
    YlmRefPtr<LoadableModule> module(new WinDLLModule(path ? path : ""));
    if (!module->Load()) module.Reset();
    return module;
}

std::vector<YlmRefPtr<LoadableModule>> LoadableModule::LoadAllInFolder(const FilePathSpec& folder) {
    Folder listing(folder);
    listing.SetOption(0);
    listing.BuildFileList();
    std::vector<YlmRefPtr<LoadableModule>> modules;
    for (const FilePathSpec& entry : listing.GetFileList()) {
        YlmRefPtr<LoadableModule> module = CreateFromPath(entry.GetPath().c_str());
        if (module) modules.push_back(module);
    }
    return modules;
}

} // namespace NimbalCore
