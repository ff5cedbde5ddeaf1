#pragma once
// Reading and writing a filter's attributes as text inside the processor.
// Computed ids of a filter with kernels are answered from its kernel table.
#include "FpRecords.h"
#include "FpStatus.h"

#include <string>

namespace kestra {

constexpr int32_t kAttrProcessorVersion = 16401;
constexpr const char* kProcessorVersion = "2.0.007";

bool FpIsComputedAttribute(int32_t id);
bool FpIsReadOnlyAttribute(int32_t id);
FpStatus FpComputedAttribute(Handle kernelSet, int32_t id, std::string& text);
// limit: room at text in, the value's full length out.
FpStatus FpGetAttributeText(Handle filter, int32_t id, int32_t& limit, char* text);
FpStatus FpSetAttributeText(Handle filter, int32_t id, const char* text);

} // namespace kestra
