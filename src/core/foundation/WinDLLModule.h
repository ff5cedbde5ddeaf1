#pragma once
// A LoadableModule of the system's loader (dlopen, every symbol bound at
// once and kept to the module).
#include "LoadableModule.h"

#include <memory>
#include <string>

namespace lumora {
class DynamicModule;
}

namespace NimbalCore {

class WinDLLModule : public LoadableModule {
public:
    explicit WinDLLModule(std::string path);
    ~WinDLLModule() override;

    // Loads once; true while loaded.
    bool Load() override;
    // True when nothing is loaded afterwards.
    bool Unload() override;
    void* GetSymbol(const char* name) override;

    const std::string& GetPath() const { return path_; }

private:
    std::string path_;
    void* module_ = nullptr;                       // a path with a folder
    std::unique_ptr<lumora::DynamicModule> named_; // a bare name
};

} // namespace NimbalCore
