#pragma once
// The attributes every new filter starts with: format marker, copyright,
// creation time, kind and sizes.
#include "FpRecords.h"
#include "FpStatus.h"

#include <string>

namespace kestra {

FpStatus FpNewAttributeList(int32_t kind, int32_t levels, int32_t variants, int32_t taps, uint32_t& textLength,
                            Handle& list);
void FpStampDate(std::string& text);
// The date text of a given local time: year:month:day:hour:minute:second.
void FpFormatDate(const VxLocalTime& time, std::string& text);
void FpAppendDatePart(std::string& text, int32_t number, bool withColon);
void FpStampCopyright(std::string& text);

} // namespace kestra
