#pragma once
// A second driver session on an image's file for the render helper: its own
// read-only descriptor and its own IO and image references, so that the two
// halves of a strip are rendered through two references at once.
#include "BBPlugIn.h"
#include "FilePathSpec.h"
#include "ThreadEvent.h"

#include <atomic>
#include <cstdint>

namespace NimbalCore {

class RawFileSession {
public:
    // The status of a half that was posted but never rendered.
    static constexpr int32_t kNotRendered = INT32_MIN;

    RawFileSession(YlmRefPtr<BBPlugIn> plugIn, int32_t driverContext, const FilePathSpec& path);
    ~RawFileSession();
    RawFileSession(const RawFileSession&) = delete;
    RawFileSession& operator=(const RawFileSession&) = delete;

    // Sets status (1701 when the file does not open, else the driver's) and
    // closes again after any failure.
    void Open();
    void Close();
    // Renders on the calling thread (the helper) through the session's
    // reference; done is set afterwards, whatever happened.
    int32_t GetImageRectangle(int32_t level, const DriverRect* rect, VrelSharpenPlanes* planes);
    // Marks a posted half as never rendered and wakes the sender.
    void Abandon(int32_t status);
    int32_t WaitForResult();

    int32_t GetStatus() const { return status.load(); }
    int32_t& ImageReference() { return imageRef; }

private:
    YlmRefPtr<BBPlugIn> plugIn;
    int32_t driverContext;
    FilePathSpec path;
    std::atomic<int32_t> status{0};
    int fileHandle = -1;
    int32_t ioRef = 0;
    int32_t imageRef = 0;
    ThreadEvent done;
};

} // namespace NimbalCore
