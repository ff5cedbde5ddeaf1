#pragma once
// The bad sensor columns an image lists for concealment, as its engine reads
// them through RP_BAD_COLUMNS. The first word switches concealment on; the
// image's hidden property 15 reads and writes it.
#include <cstdint>

namespace lumora {

struct BadColumnRecord {
    int32_t enabled;
    int16_t count;          // entries
    int16_t level;          // an entry is active when level >= its minimum level
    const uint8_t* entries; // count entries of kEntryBytes
    int16_t thresholds[5];  // T1..T3 single-column rule, T4 and T5 paired-column rule

    static constexpr uint32_t kEntryBytes = 16;
    static constexpr uint8_t kConceal = 1;
};

} // namespace lumora
