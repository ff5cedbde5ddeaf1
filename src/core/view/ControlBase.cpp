#include "ControlBase.h"

#include "IntOps.h"

#include <algorithm>

namespace NimbalCore {

namespace {

NbPoint Relative(NbPoint p, const ControlHandle& handle) {
    return NbPoint{lumora::wrapSub32(p.x, handle.originX), lumora::wrapSub32(p.y, handle.originY)};
}

} // namespace

bool ControlBase::HitTestHandle(int32_t x, int32_t y, const ControlHandle& handle) {
    const int64_t rx = int64_t(x) - handle.originX, ry = int64_t(y) - handle.originY;
    const NbRect& r = handle.hitRect;
    return r.left <= rx && rx <= r.right && r.top <= ry && ry <= r.bottom;
}

ControlHandle* ControlBase::FindHandle(int32_t id) {
    return const_cast<ControlHandle*>(static_cast<const ControlBase*>(this)->FindHandle(id));
}

const ControlHandle* ControlBase::FindHandle(int32_t id) const {
    if (current_ >= 0 && handles_[size_t(current_)].id == id) return &handles_[size_t(current_)];
    for (const ControlHandle& handle : handles_)
        if (handle.id == id) return &handle;
    return nullptr;
}

int ControlBase::AddHandle(const ControlHandle& handle) {
    if (FindHandle(handle.id)) return kDuplicateHandle;
    handles_.push_back(handle);
    current_ = -1;
    return 0;
}

bool ControlBase::GetHandle(int32_t id, ControlHandle& handle) const {
    const ControlHandle* found = FindHandle(id);
    if (!found) return false;
    handle = *found;
    return true;
}

int ControlBase::GetHandlePosition(int32_t id, int32_t& position) const {
    const ControlHandle* found = FindHandle(id);
    if (!found) return kNoSuchHandle;
    position = found->position;
    return 0;
}

int ControlBase::SetHandlePosition(int32_t id, int32_t position) {
    ControlHandle* handle = FindHandle(id);
    if (!handle) return kNoSuchHandle;
    if (position < handle->min || position > handle->max) return kPositionOutOfRange;
    handle->position = position;
    LayoutHandle(*handle);
    return 0;
}

bool ControlBase::BeginDrag(int32_t x, int32_t y, int32_t& id) {
    current_ = -1;
    for (size_t i = 0; i < handles_.size(); ++i)
        if (HitTestHandle(x, y, handles_[i])) {
            current_ = int(i);
            id = handles_[i].id;
            return true;
        }
    id = kNoSuchHandle;
    return false;
}

int ControlBase::DragTo(int32_t id, NbPoint from, NbPoint to) {
    ControlHandle* handle = FindHandle(id);
    if (!handle) return kNoSuchHandle;
    const NbPoint oldPoint = Relative(from, *handle), newPoint = Relative(to, *handle);
    int32_t position = handle->dragAxis == ControlHandle::kDragHorizontal ? newPoint.x
                       : handle->dragAxis == ControlHandle::kDragVertical ? newPoint.y
                                                                          : 0;
    // The top of the range wins over a bottom above it.
    position = std::min(std::max(position, handle->min), handle->max);
    SetHandlePosition(id, position);
    // A copy: the owner may add handles from its hook.
    const ControlHandle moved = *handle;
    return HandleMoved(moved, oldPoint, newPoint);
}

} // namespace NimbalCore
