#pragma once
// Shared set-up of the raw-image tests: the image pool with the stand-in
// drivers, stand-in files, folder plug-ins of the fault variants, and counts
// of the process's threads and descriptors.
#include "ImagePool.h"
#include "ProImage.h"
#include "TempFolder.h"
#include "ZproWriter.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace protest {

// The pool with the stand-in drivers next to the program (once per process).
NimbalCore::ImagePool* Pool();
// The build's folder of the fault variants.
std::string FaultFolder();
// A folder plug-in bound from a library file, initialised; null when not.
NimbalCore::YlmRefPtr<NimbalCore::BBPlugIn> PlugInFromFile(const std::string& file);
// Writes a stand-in file as described (defaults set for its model first when
// setDefaults) and answers its path.
std::string WriteFile(const lumora::test::TempFolder& folder, const std::string& name, ZproSpec spec);
ZproSpec Spec(int32_t model, uint32_t width = 64, uint32_t height = 48, bool mono = false);
int CountEntries(const char* folder);
// Waits up to a second for the thread count to come down to the given one.
int ThreadsSettleTo(int expected);
// FNV-1a of a byte range.
uint64_t Hash(const void* data, size_t size);
uint64_t HashFileRange(const std::string& path, uint64_t offset, uint64_t size);

} // namespace protest
