#pragma once
// Strips of one rendering worked on every lane of the worker pool into
// buffers of the engine's while the calling thread hands the finished ones to
// the caller in order, each with the progress step and cancel answer of a
// strip worked in place. The calling thread works strips itself whenever the
// next one is not yet taken, so it never waits on a worker that is not there.
#include <cstdint>
#include <functional>

#include "RenderProgress.h"
#include "VqImageBuffer.h"
#include "VqStatus.h"

namespace lumora {

class StripsAhead {
public:
    // Caller's buffers up to this size are worked several at once; each lane
    // holds one of its own and one more is in the ring. Larger ones are worked
    // in place.
    static constexpr uint32_t kMaxBufferBytes = 8u << 20;

    // What working one strip gave: its status, whether its first sensor read
    // succeeded (a strip that failed before it reports no progress), and
    // the bytes it delivers with their line padding.
    struct Worked {
        VqStatus status = VQ_OK;
        bool read = false;
        uint64_t size = 0;
        uint32_t padTotal = 0;
    };
    // Runs work(lane) for lane `laneIndex` of a job (0: the job itself, n:
    // its extra lane n - 1) with the lane's output pointed at `out` for the
    // strip, and the line padding the lane's packer left.
    template <class Job, class WorkOnLane>
    static Worked OnLane(Job& job, unsigned laneIndex, uint8_t* out, WorkOnLane&& work) {
        Job& lane = laneIndex == 0 ? job : *job.lanes[laneIndex - 1];
        uint8_t* const kept = lane.out;
        lane.out = out;
        Worked worked = work(lane);
        worked.padTotal = lane.output.PadTotal();
        lane.out = kept;
        return worked;
    }
    // Works strip `index` on lane `lane` into `out`; never calls back.
    using Work = std::function<Worked(unsigned lane, int32_t index, uint8_t* out)>;
    // Hands the strip just copied into `out` (its `bytes`) to the caller.
    using PassOn = std::function<VqStatus(uint64_t bytes)>;

    // False when the buffers (of bufferBytes each) could not be had and
    // nothing was done; else the rendering's status in *result and goOn false
    // once the caller cancelled. `out` is the caller's buffer of the moment.
    static bool Run(int32_t strips, unsigned lanes, uint32_t bufferBytes, uint32_t padBytes, RenderProgress& progress,
                    int32_t& goOn, uint8_t* const& out, const Work& work, const PassOn& passOn, VqStatus* result);
};

} // namespace lumora
