#pragma once
// Conversions between attribute texts and numbers, and 16.16 fixed point.
#include <cstdint>
#include <string>

namespace kestra {

std::string PsfLongToText(int32_t value);
int32_t PsfTextToLong(const char* text);
double PsfTextToDouble(const char* text);
// Six significant digits; a whole number keeps its decimal point and loses
// its zeros (3 -> "3."), as the stored filters write them.
std::string PsfDoubleToText(double value);
int32_t PsfToFixed16(double value);
double PsfFromFixed16(int32_t value);

} // namespace kestra
