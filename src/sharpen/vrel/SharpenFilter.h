#pragma once
// One sharpening job of the library: its set-up, the rectangles of its
// strips and the pictures it hands to the plug-in.
#include "VrelSharpen.h"
#include "VxFilt.h"

struct SharpenLibrary;

struct SharpenFilter {
    explicit SharpenFilter(SharpenLibrary* owner);
    virtual ~SharpenFilter();
    SharpenFilter(const SharpenFilter&) = delete;
    SharpenFilter& operator=(const SharpenFilter&) = delete;

    // Whether the pointer names a filter that was made and not yet released.
    static bool IsAlive(const SharpenFilter* filter);

    VrelSharpenStatus Setup(const FilterRect* image, uint32_t mode, uint32_t amount, uint32_t radius,
                            uint32_t threshold, uint32_t flags);
    VrelSharpenStatus GetBufferSizes(const FilterRect* strip, uint32_t* input, uint32_t* work, uint32_t* output);
    VrelSharpenStatus SetStripRects(const FilterRect* strip, FilterRect* source);
    VrelSharpenStatus Strip(void* work, const FilterRect* strip, const VrelSharpenPlanes* destination,
                            const VrelSharpenPlanes* source);
    VrelSharpenStatus StripWithProgress(void* work, const FilterRect* strip, const VrelSharpenPlanes* destination,
                                        const VrelSharpenPlanes* source, VrelSharpenProgressProc progress,
                                        void* user);
    // Ends an open plug-in strip and counts the filter out of its library;
    // answers the library when it is to be destroyed with this filter.
    SharpenLibrary* Release();

    static PSFRect SwapRect(const FilterRect& r) { return PSFRect{r.left, r.top, r.right, r.bottom}; }
    static FilterRect UnswapRect(const PSFRect& r) { return FilterRect{r.y0, r.x0, r.y1, r.x1}; }

    SharpenLibrary* library;
    VxFiltPlugIn plugIn;
    int32_t reserved;
    uint32_t flags = 0;
    VxFiltProcs procs;
    int32_t colorMode = 0;
    int32_t stripHeight = 0;
    uint16_t setUp = 0;
    uint16_t inStrip = 0;
    uint16_t rectanglesFlag = 0;
    uint16_t align = 0;
    uint16_t flagBit1 = 0;
    PSFRect image{}, source{}, second{}, work{}, strip{};
    int32_t margins[4] = {};
    PSFRect alignedSource{};
    PSFPicture sourcePicture{}, workPicture{}, destinationPicture{};

private:
    VrelSharpenStatus run(void* workBuffer, const FilterRect* stripRect, const VrelSharpenPlanes* destination,
                          const VrelSharpenPlanes* sourcePlanes, VxFiltProgressProc progress, void* user,
                          VxFiltStatus& answered);
    bool inside(const PSFRect& r) const;
    // The source rectangle widened to even edges when the align flag is set;
    // the widening (0 or 1) comes back.
    int32_t alignSource();
    void endStrip();
};
