#pragma once
// Libraries already loaded in the process, found by name as the Windows parts
// ask for "Name.dll": the shared library libName.so or the module Name.so.
// Nothing is loaded here.
#include <string>
#include <vector>

namespace orvexcms {

class LoadedModules {
public:
    static void* handleOf(const char* name);
    // The file names a module name may stand for, in the order they are tried.
    static std::vector<std::string> candidates(const std::string& name);
};

} // namespace orvexcms
