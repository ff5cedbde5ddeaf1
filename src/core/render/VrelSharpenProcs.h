#pragma once
// The sharpen library bound by name at run time: its module and its eleven
// exports, in the order the renderer indexes them, and the process-wide table
// and library object the renderer works with. The image kinds install the
// binder that loads the library; until then nothing is bound and images
// render unsharpened. A missing or damaged library costs sharpening and
// nothing else.
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

    // Binding the library of a name into a table, and unbinding it: 0 or a
    // status.
    using BindProc = int32_t (*)(const char* name, VrelSharpenProcs* procs);
    using UnbindProc = int32_t (*)(VrelSharpenProcs* procs);
    static void SetBinding(BindProc bind, UnbindProc unbind);
    static BindProc binder;
    static UnbindProc unbinder;

    // The process-wide table and library object (written only when the
    // pool starts and ends).
    static VrelSharpenProcs table;
    static SharpenLibrary* library;
};

} // namespace NimbalCore
