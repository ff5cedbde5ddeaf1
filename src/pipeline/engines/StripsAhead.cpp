#include "StripsAhead.h"

#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

#include "EngineBlock.h"
#include "WorkerPool.h"

namespace lumora {

namespace {

// A strip worked ahead of its delivery, in a buffer laid out as the caller's.
struct AheadStrip {
    engine::Block<uint8_t> bytes;
    int32_t index = -1; // the strip it holds once ready
    bool ready = false;
    StripsAhead::Worked worked;
    std::exception_ptr error; // thrown while it was worked
};

// A strip's bytes into the caller's buffer. The packer never writes the
// padding at the end of each line, so neither does the copy.
void CopyStripOut(uint8_t* to, const AheadStrip& strip, uint32_t pad) {
    const StripsAhead::Worked& w = strip.worked;
    if (pad == 0 || w.padTotal == 0) {
        std::memcpy(to, strip.bytes.get(), size_t(w.size));
        return;
    }
    const uint64_t lines = w.padTotal / pad;
    const uint64_t lineBytes = w.size / lines, dataBytes = lineBytes - pad;
    for (uint64_t l = 0; l < lines; ++l)
        std::memcpy(to + l * lineBytes, strip.bytes.get() + l * lineBytes, size_t(dataBytes));
}

} // namespace

bool StripsAhead::Run(int32_t strips, unsigned lanes, uint32_t bufferBytes, uint32_t padBytes,
                      RenderProgress& progress, int32_t& goOn, uint8_t* const& out, const Work& work,
                      const PassOn& passOn, VqStatus* result) {
    const size_t slots = size_t(lanes) + 1;
    std::vector<AheadStrip> ring(slots);
    for (AheadStrip& slot : ring) {
        slot.bytes = engine::Allocate<uint8_t>(bufferBytes);
        if (!slot.bytes) return false;
    }
    std::mutex lock;
    std::condition_variable changed;
    int32_t taken = 0, delivered = 0; // under the lock
    bool stop = false;

    auto workOne = [&](unsigned lane, int32_t index) {
        AheadStrip& slot = ring[size_t(index) % slots];
        Worked worked;
        std::exception_ptr error;
        try {
            worked = work(lane, index, slot.bytes.get());
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard<std::mutex> guard(lock);
        slot.index = index;
        slot.worked = worked;
        slot.error = error;
        slot.ready = true;
        changed.notify_all();
    };
    // The next strip whose buffer is free: -1 when none is left to take, -2
    // when its buffer is still waiting to be delivered.
    auto take = [&](std::unique_lock<std::mutex>& held, bool wait) -> int32_t {
        for (;;) {
            if (stop || taken >= strips) return -1;
            if (size_t(taken - delivered) < slots && !ring[size_t(taken) % slots].ready) return taken++;
            if (!wait) return -2;
            changed.wait(held);
        }
    };
    auto helper = [&](size_t, unsigned lane) {
        for (;;) {
            std::unique_lock<std::mutex> held(lock);
            const int32_t index = take(held, true);
            held.unlock();
            if (index < 0) return;
            workOne(lane, index);
        }
    };
    std::exception_ptr error;
    auto deliver = [&] {
        VqStatus status = VQ_OK;
        std::unique_lock<std::mutex> held(lock);
        while (delivered < strips) {
            AheadStrip& slot = ring[size_t(delivered) % slots];
            if (slot.ready && slot.index == delivered) {
                held.unlock();
                const Worked& w = slot.worked;
                if (slot.error) {
                    // Thrown on the calling thread, once the workers stopped.
                    error = slot.error;
                    held.lock();
                    break;
                }
                if (!w.read) {
                    status = w.status;
                } else if (!(goOn = progress.Step(0))) {
                    status = VQ_OK;
                } else if (w.status) {
                    status = w.status;
                } else {
                    CopyStripOut(out, slot, padBytes);
                    status = passOn(w.size);
                }
                held.lock();
                if (status || !goOn) break;
                slot.ready = false;
                ++delivered;
                changed.notify_all();
                continue;
            }
            const int32_t index = take(held, false);
            if (index >= 0) {
                held.unlock();
                workOne(0, index);
                held.lock();
            } else {
                changed.wait(held);
            }
        }
        stop = true;
        changed.notify_all();
        *result = status;
    };
    WorkerPool::Shared().ForEach(lanes - 1, lanes, helper, deliver);
    if (error) std::rethrow_exception(error);
    return true;
}

} // namespace lumora
