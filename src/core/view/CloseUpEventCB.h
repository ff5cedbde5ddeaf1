#pragma once
// A listener of a close-up: the documents that follow it and the views
// attached to it. Every event names the close-up that raises it; the bodies
// do nothing unless a listener cares. The slots that nothing raises keep the
// interface's order.
namespace NimbalCore {

class CloseUp;

class CloseUpEventCB {
public:
    virtual ~CloseUpEventCB() = default;

    // The close-up lost its last listening document.
    virtual void CloseUpReleased(CloseUp*) {}
    virtual void CloseUpUnused1(CloseUp*) {}
    virtual void CloseUpUnused2(CloseUp*) {}
    virtual void CloseUpRenderBegin(CloseUp*) {}
    // The viewed rectangle finished rendering, or failed to.
    virtual void CloseUpRenderEnd(CloseUp*) {}
    virtual void CloseUpPictureRenderBegin(CloseUp*) {}
    virtual void CloseUpPictureRenderEnd(CloseUp*) {}
    // Views only: show yourselves again.
    virtual void CloseUpRefresh(CloseUp*) {}
    virtual void CloseUpUnused3(CloseUp*) {}
    // Views only: the image's rotation or zoom changed with its parameters.
    virtual void CloseUpZoomChanged(CloseUp*) {}
    virtual void CloseUpRenamed(CloseUp*) {}
    // The close-up's last view detached.
    virtual void CloseUpClosing(CloseUp*) {}
    // The viewed rectangle or its centre changed.
    virtual void CloseUpRectChanged(CloseUp*) {}
    virtual void CloseUpUnused4(CloseUp*) {}
};

} // namespace NimbalCore
