#pragma once
// The colour transform of a strip worked on a lane: the lane's own stage, or,
// for a stage that runs one strip at a time, the stage of the job the lane
// helps, under that job's lock. A job type has `owner` (the job it helps, or
// null for the job itself), `transform`, `sharedTransform` and
// `transformLock`.
#include <mutex>

#include "ColorTransformStage.h"

namespace lumora {

template <typename Job>
VqStatus RunLaneTransform(Job& job, uint16_t width, uint16_t height, int16_t* p, int16_t* q, int16_t* r,
                          int16_t* fourth) {
    Job& owner = job.owner ? *job.owner : job;
    std::unique_lock<std::mutex> lock(owner.transformLock, std::defer_lock);
    if (owner.sharedTransform) lock.lock();
    ColorTransformStage& transform = owner.sharedTransform ? owner.transform : job.transform;
    transform.width = width;
    transform.height = height;
    return transform.Run(p, q, r, fourth);
}

} // namespace lumora
