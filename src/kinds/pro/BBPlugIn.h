#pragma once
// One model driver library bound by name into the driver table, with the
// context of a folder plug-in and the file extension it reads. Held through
// counted pointers; the last reference terminates the context and releases
// the library.
#include "LoadableModule.h"
#include "VrelDriver.h"
#include "YlmRefCount.h"
#include "YlmRefPtr.h"

#include <string>
#include <vector>

namespace NimbalCore {

class BBPlugIn : public BBProcs_struct, public YlmRefCount<YlmMutex> {
public:
    explicit BBPlugIn(YlmRefPtr<LoadableModule> module);
    virtual ~BBPlugIn();
    BBPlugIn(const BBPlugIn&) = delete;
    BBPlugIn& operator=(const BBPlugIn&) = delete;

    // Binds every entry by its export name; true when the binding is usable:
    // the ten entries every driver needs, and a camera or a file driver.
    bool Bind();
    bool IsCameraDriver() const;
    bool IsFileDriver() const;
    // Initialize (0, &context): the driver's status.
    int InitializeContext();
    // Terminate on the context (0 without one); the context is cleared when
    // that succeeds.
    int TerminateContext();
    // The extension as given (upper case, no dot) equals the one the plug-in
    // reads (attribute 112). Never throws.
    bool AcceptsExtension(const std::string& extension);

    int32_t GetContext() const { return context_; }
    int32_t* ContextAddress() { return &context_; }

    // Every library of the folder kept when it binds and initialises with
    // exactly 0, in the folder's order; empty when the folder does not exist.
    static std::vector<YlmRefPtr<BBPlugIn>> LoadFolder(const FilePathSpec& folder);

private:
    static void AddUsablePlugIn(std::vector<YlmRefPtr<BBPlugIn>>& list, YlmRefPtr<LoadableModule> module);

    YlmRefPtr<LoadableModule> module_;
    int32_t context_ = 0;
    std::string extension_;
};

} // namespace NimbalCore
