#pragma once
// The ProgressCB of the camera-interface call running on this thread: the
// interface calls its progress callback on the thread that called it, and
// the callback's user value is too narrow to carry an address.
namespace NimbalCore {

class ProgressCB;

class ZynRenderProgressScope {
public:
    explicit ZynRenderProgressScope(ProgressCB* progress);
    ~ZynRenderProgressScope();
    ZynRenderProgressScope(const ZynRenderProgressScope&) = delete;
    ZynRenderProgressScope& operator=(const ZynRenderProgressScope&) = delete;

    // The callback of the innermost scope on this thread, or null.
    static ProgressCB* Current();

private:
    ProgressCB* saved_;
};

} // namespace NimbalCore
