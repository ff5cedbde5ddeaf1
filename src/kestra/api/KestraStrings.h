#pragma once
// Kestra's string table (the status texts) and the module handle through
// which the colour library's string calls find it.
namespace kestra {

constexpr int kStatusTextBase = 1999; // the prefix; status texts follow

// The library's own module handle, kept while it is loaded; null when the
// library code runs linked into a program rather than as libKestra.so.
void* KestraModule();

} // namespace kestra
