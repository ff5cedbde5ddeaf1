#include "ScalePlugIn.h"

#include "ExportScaler.h"
#include "FiltHost.h"
#include "Image.h"
#include "ImageScaler.h"
#include "NbErrorCodes.h"

#include <cstring>
#include <mutex>

namespace NimbalCore {

namespace {

std::mutex gLock;
ScalePlugIn* gPlugIn = nullptr;

std::unique_ptr<ExportScaler> MakeImageScaler() { return std::make_unique<ImageScaler>(); }

} // namespace

ScalePlugIn::~ScalePlugIn() {
    if (IsLoaded()) Unload();
}

int32_t ScalePlugIn::Load() {
    if (IsLoaded()) return NbErrScalerNotLoaded;
    std::memset(&procs_, 0, sizeof procs_);
    std::memset(&info_, 0, sizeof info_);
    VxFiltPlugIn h = 0;
    const VxFiltStatus s = FiltHostLoadPlugIn(name_, &h, &procs_, &info_);
    if (s == VxFiltSuccess) {
        handle_ = h;
        return 0;
    }
    // A plug-in that failed to describe itself comes back bound: it is
    // unloaded again, not left behind in the process.
    if (h) FiltHostUnloadPlugIn(h);
    handle_ = 0;
    std::memset(&procs_, 0, sizeof procs_);
    std::memset(&info_, 0, sizeof info_);
    return s == VxFiltErrLoad ? NbErrScalerMissing : NbErrScalerNotLoaded;
}

int32_t ScalePlugIn::Unload() {
    if (!IsLoaded()) return NbErrScalerNotLoaded;
    if (procs_.close) procs_.close(handle_);
    const VxFiltStatus s = FiltHostUnloadPlugIn(handle_);
    handle_ = 0;
    std::memset(&procs_, 0, sizeof procs_);
    return s == VxFiltSuccess ? 0 : NbErrScalerNotLoaded;
}

ScalePlugIn* ScalePlugIn::Get() {
    std::lock_guard<std::mutex> guard(gLock);
    return gPlugIn;
}

int ScalePlugIn::CreateWithPool() {
    std::lock_guard<std::mutex> guard(gLock);
    if (!gPlugIn) gPlugIn = new ScalePlugIn;
    SetExportScalerFactory(&MakeImageScaler);
    return gPlugIn->Load();
}

int ScalePlugIn::ReleaseWithPool() {
    std::lock_guard<std::mutex> guard(gLock);
    SetExportScalerFactory(nullptr);
    int result = 0;
    if (gPlugIn) {
        if (gPlugIn->IsLoaded()) result = gPlugIn->Unload();
        delete gPlugIn;
        gPlugIn = nullptr;
    }
    return result;
}

void ScalePlugIn::InstallPoolBinding() { Image::SetScalePlugInBinding(&CreateWithPool, &ReleaseWithPool); }

} // namespace NimbalCore
