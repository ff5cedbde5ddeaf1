#pragma once
// Where the filter data base keeps a filter of a given name.
#include <cstdint>

namespace kestra {

constexpr uint32_t kDbPathSize = 512;

// The path of name in the data base folder: the folder "psf_path" of
// vxfilter.ini, else <system folder>/orvex/vxfms. False when it does not fit
// size bytes.
bool PsfFilterDbPath(const char* name, char* path, uint32_t size);

} // namespace kestra
