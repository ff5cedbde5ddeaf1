#pragma once
// A shared module loaded by name, as the Windows parts load "Name" or
// "Name.dll": the file Name.so is looked for in the program's own folder first
// (the folder of /proc/self/exe, or LUMORA_PROGRAM_DIR), then in the folder of
// the library that asks (when it gives an address of its own), then along the
// normal search path. Loaded RTLD_NOW | RTLD_LOCAL, so a module whose own
// dependencies are missing fails here and not at its first call.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lumora {

class DynamicModule {
public:
    ~DynamicModule();
    DynamicModule(const DynamicModule&) = delete;
    DynamicModule& operator=(const DynamicModule&) = delete;

    // Loads the module; on failure answers null with error set to the Win32
    // error (ERROR_MOD_NOT_FOUND when no loadable file was found) and detail,
    // when given, to the loader's message. anchor is any address inside the
    // calling library (a function of it), or null for a program.
    static std::unique_ptr<DynamicModule> load(std::string_view name, uint32_t& error,
                                               const void* anchor = nullptr,
                                               std::string* detail = nullptr);

    // The address of an exported symbol; null with ERROR_PROC_NOT_FOUND when
    // the module does not export it.
    void* symbol(const char* name, uint32_t& error) const;

    template <typename Fn>
    Fn function(const char* name, uint32_t& error) const {
        return reinterpret_cast<Fn>(symbol(name, error));
    }

    // The file that was loaded.
    const std::string& path() const { return path_; }

    // The file name a module name stands for: "Name", "Name.dll" (any case of
    // the extension) and "Name.so" all give "Name.so".
    static std::string fileNameFor(std::string_view name);
    // The program's own folder, without a trailing slash.
    static std::string programFolder();

private:
    DynamicModule(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    std::string path_;
};

} // namespace lumora
