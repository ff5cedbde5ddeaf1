#pragma once
// The sharpen library bound by name at run time: its module and its eleven
// exports, in the order the renderer indexes them. A missing or damaged
// library costs sharpening and nothing else.
#include "VrelSharpen.h"

#include <cstdint>

namespace NimbalCore {

struct VrelSharpenProcs {
    void* module;
    VrelSharpenInitializeLibraryProc initialize;
    VrelSharpenTerminateLibraryProc terminate;
    VrelSharpenCreateSharpenFilterProc createFilter;
    VrelSharpenReleaseFilterProc releaseFilter;
    VrelSharpenGetBufferSizesProc bufferSizes;
    VrelSharpenSetStripRectsProc stripRects;
    VrelSharpenStripProc strip;
    VrelSharpenAttributeProc attributeInfo;
    VrelSharpenAttributeProc getAttribute;
    VrelSharpenAttributeProc setAttribute;
    VrelSharpenStripWithProgressProc stripWithProgress;
};

enum : int32_t {
    VrelBindMissingArgument = 105,
    VrelBindNotLoadable = 701
};

// 0; 105 without a name or table; 701 when the library does not load (the
// table stays clear); else the system error of the first export that does not
// resolve, with the module and the entries found before it kept.
int32_t LoadVrelSharpenLib(const char* name, VrelSharpenProcs* procs);
// Frees the library and clears the table: 0, 105 without a table, or the
// system error of freeing.
int32_t UnloadVrelSharpenLib(VrelSharpenProcs* procs);

} // namespace NimbalCore
