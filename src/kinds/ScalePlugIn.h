#pragma once
// The scale plug-in "TalpScale", loaded once for the process through the
// plug-in host and released with the image pool. Image scalers made while it
// holds the plug-in use it.
#include "VxFilt.h"

#include <cstdint>

namespace NimbalCore {

class ScalePlugIn {
public:
    // The plug-in's library name; the process's plug-in is "TalpScale".
    explicit ScalePlugIn(const char* name = "TalpScale") : name_(name) {}
    ~ScalePlugIn();
    ScalePlugIn(const ScalePlugIn&) = delete;
    ScalePlugIn& operator=(const ScalePlugIn&) = delete;

    // 0; 2801 when already loaded or the plug-in cannot be bound; 2800 when
    // its library is not there.
    int32_t Load();
    // 0; 2801 when nothing is loaded or the host did not unload it.
    int32_t Unload();

    bool IsLoaded() const { return handle_ != 0; }
    VxFiltPlugIn Handle() const { return handle_; }
    const VxFiltProcs& Procs() const { return procs_; }
    const VxFiltInfo& Info() const { return info_; }

    // The process's plug-in, null when none was created.
    static ScalePlugIn* Get();
    // What the image pool runs at start-up and tear-down: create the
    // process's plug-in, install the exporters' scaler factory and load
    // "TalpScale" (0 or the load's code); unload, uninstall and delete.
    static int CreateWithPool();
    static int ReleaseWithPool();
    // Makes the image pool open and close the scale plug-in through the two
    // calls above.
    static void InstallPoolBinding();

private:
    const char* name_;
    VxFiltPlugIn handle_ = 0;
    VxFiltProcs procs_{};
    VxFiltInfo info_{};
};

} // namespace NimbalCore
