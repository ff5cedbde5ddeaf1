#pragma once
// A caller-owned table of 16-bit entries with its length and top value.
#include <cstdint>

#include "VqStatus.h"

namespace lumora {

class TableBase {
public:
    TableBase() = default;
    virtual ~TableBase() = default;
    TableBase(const TableBase&) = delete;
    TableBase& operator=(const TableBase&) = delete;

    virtual bool IsValid() const;
    // length must be positive and even, entries non-null.
    virtual VqStatus Attach(uint16_t* entries, int32_t length, int32_t top);
    virtual VqStatus Generate();

    uint16_t* entries = nullptr;
    int32_t spare = 0;
    int32_t length = 0;
    int32_t top = 0;
    int32_t attached = 0;
};

} // namespace lumora
