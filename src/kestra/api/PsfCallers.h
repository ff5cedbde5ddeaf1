#pragma once
// Callers of the library: the registry in process-scope thread memory and
// the caller records ('psId') whose handles are the caller ids.
#include <cstdint>

namespace kestra {

constexpr uint32_t kCallerMagic = 0x70734964; // 'psId'

struct PsfCallerRecord {
    uint32_t magic;
    uint32_t evalType;
    uint32_t number;
};

struct PsfCallerRegistry {
    uint32_t liveCallers;
    uint32_t lastNumber;
};

// 1 for a live caller, else 1043.
int32_t PsfCheckCaller(uint32_t caller);

} // namespace kestra
