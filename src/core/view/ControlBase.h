#pragma once
// The window-system-free logic of a custom control with draggable handles:
// it keeps the handles, finds the one under a point, moves a handle within
// its range and tells the owner. The window forwards its paint and mouse
// events. Handle operations answer codes, never throw.
#include "ControlDrawContext.h"
#include "ControlHandle.h"
#include "NbPoint.h"
#include "NbRect.h"

#include <cstdint>
#include <vector>

namespace NimbalCore {

class ControlBase {
public:
    static constexpr int kNoSuchHandle = 2700;
    static constexpr int kPositionOutOfRange = 2701;
    static constexpr int kDuplicateHandle = 2702;

    ControlBase() = default;
    virtual ~ControlBase() = default;
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;

    virtual void Draw(ControlDrawContext& context) = 0;
    // Recomputes the handle's hit rectangle after its position changed.
    virtual void LayoutHandle(ControlHandle&) {}
    // Whether (x, y) of the control lies in the handle's hit rectangle,
    // edges included.
    virtual bool HitTestHandle(int32_t x, int32_t y, const ControlHandle& handle);
    // The owner's hook after a drag step; points relative to the handle's
    // origin. Answers what DragTo answers.
    virtual int HandleMoved(const ControlHandle&, NbPoint, NbPoint) { return 0; }

    void Paint(ControlDrawContext& context) { Draw(context); }
    // 0, or kDuplicateHandle. No handle is current afterwards.
    int AddHandle(const ControlHandle& handle);
    bool GetHandle(int32_t id, ControlHandle& handle) const;
    // 0 or kNoSuchHandle.
    int GetHandlePosition(int32_t id, int32_t& position) const;
    // 0 (laid out anew), kNoSuchHandle, or kPositionOutOfRange outside the
    // handle's range.
    int SetHandlePosition(int32_t id, int32_t position);
    // The first handle, in the order they were added, under (x, y) becomes
    // current and its id goes to id; none: id kNoSuchHandle, false.
    bool BeginDrag(int32_t x, int32_t y, int32_t& id);
    // Moves the handle along its axis towards to, kept in its range, and
    // answers what HandleMoved answers; kNoSuchHandle for an unknown id.
    int DragTo(int32_t id, NbPoint from, NbPoint to);

    // The area erased before drawing.
    void SetControlRect(const NbRect& rect) { controlRect_ = rect; }
    NbRect GetControlRect() const { return controlRect_; }

protected:
    ControlHandle* FindHandle(int32_t id);
    const ControlHandle* FindHandle(int32_t id) const;

private:
    std::vector<ControlHandle> handles_;
    NbRect controlRect_;
    // Index of the handle the last BeginDrag found; -1 for none.
    int current_ = -1;
};

} // namespace NimbalCore
