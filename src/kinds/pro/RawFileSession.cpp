#include "RawFileSession.h"

#include "NbErrorCodes.h"

#include <fcntl.h>
#include <unistd.h>

namespace NimbalCore {

RawFileSession::RawFileSession(YlmRefPtr<BBPlugIn> plugIn_, int32_t context, const FilePathSpec& path_)
    : plugIn(plugIn_), driverContext(context), path(path_) {}

RawFileSession::~RawFileSession() { Close(); }

void RawFileSession::Open() {
    status = 0;
    fileHandle = ::open(path.GetPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fileHandle < 0) {
        status = NbErrImageFileOpenFailed;
        Close();
        return;
    }
    if (!plugIn || !plugIn->AllocIORefFromFileHandleRef || !plugIn->AllocImage) {
        status = NbErrImageFileOpenFailed;
        Close();
        return;
    }
    int32_t s = plugIn->AllocIORefFromFileHandleRef(driverContext, fileHandle, &ioRef);
    if (s == 0) s = plugIn->AllocImage(driverContext, ioRef, &imageRef);
    if (s != 0) {
        status = s;
        Close();
    }
}

void RawFileSession::Close() {
    if (plugIn && plugIn->FreeRef) {
        if (imageRef != 0) plugIn->FreeRef(imageRef);
        if (ioRef != 0) plugIn->FreeRef(ioRef);
    }
    imageRef = 0;
    ioRef = 0;
    if (fileHandle >= 0) ::close(fileHandle);
    fileHandle = -1;
}

int32_t RawFileSession::GetImageRectangle(int32_t level, const DriverRect* rect, VrelSharpenPlanes* planes) {
    int32_t result = NbErrRenderFailed;
    try {
        result = plugIn->GetImageRectangle(imageRef, level, rect, planes, nullptr, nullptr);
    } catch (...) {
    }
    status = result;
    done.Set();
    return result;
}

void RawFileSession::Abandon(int32_t s) {
    status = s;
    done.Set();
}

int32_t RawFileSession::WaitForResult() {
    done.Wait(ThreadEvent::kInfinite);
    return status;
}

} // namespace NimbalCore
