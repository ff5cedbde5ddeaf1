#include "WinDLLModule.h"

#include "DynamicModule.h"

#include <dlfcn.h>

namespace NimbalCore {

WinDLLModule::WinDLLModule(std::string path) : path_(std::move(path)) {}

WinDLLModule::~WinDLLModule() {
    Unload();
}

bool WinDLLModule::Load() {
    if (module_ || named_) return true;
    if (path_.empty()) return false;
    if (path_.find('/') != std::string::npos) {
        module_ = ::dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
        return module_ != nullptr;
    }
    uint32_t error = 0;
    named_ = lumora::DynamicModule::load(path_, error);
    return named_ != nullptr;
}

bool WinDLLModule::Unload() {
    if (named_) {
        named_.reset();
        return true;
    }
    if (!module_) return true;
    const int result = ::dlclose(module_);
    module_ = nullptr;
    return result == 0;
}

void* WinDLLModule::GetSymbol(const char* name) {
    if (!name) return nullptr;
    if (named_) {
        uint32_t error = 0;
        return named_->symbol(name, error);
    }
    return module_ ? ::dlsym(module_, name) : nullptr;
}

} // namespace NimbalCore
