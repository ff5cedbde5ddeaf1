/* OrvexCMSC: the module the camera interface loads by name for colour
 * management. It offers 11 entry points with the argument orders that caller
 * binds, over the ORVEXCMS library of the same process. Library blocks are
 * ORVEXCMS's SpFileProps (136 bytes), headers its SpHeader (120 bytes), pixel
 * layouts its SpPixelLayout read up to the layout's channel count. */
#ifndef ORVEXCMSC_H
#define ORVEXCMSC_H

#include "ORVEXCMS.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef SpStatus (*OcmsSpInitialize)(SpInstance* instance, void* reserved1, void* reserved2);
typedef SpStatus (*OcmsSpXformFree)(SpXform* xform);
typedef SpStatus (*OcmsSpEvaluate)(SpXform xform, const SpPixelLayout* source, const SpPixelLayout* destination,
                                   void* reserved1, void* reserved2);
typedef SpStatus (*OcmsSpProfileLoadHeader)(const char* name, const SpFileProps* block, SpHeader* header);
typedef SpStatus (*OcmsSpProfileLoadProfile)(SpInstance instance, const char* name, const SpFileProps* block,
                                             SpProfile* profile);
typedef SpStatus (*OcmsSpXformGet)(SpProfile profile, int32_t renderMode, int32_t kind, SpXform* xform);
typedef SpStatus (*OcmsSpProfileFree)(SpProfile* profile);
typedef SpStatus (*OcmsSpXformGetChannels)(SpXform xform, int32_t* inChannels, int32_t* outChannels);
typedef SpStatus (*OcmsSpCombineXforms)(int32_t count, const SpXform* xforms, SpXform* result,
                                        int32_t* failedIndex, void* reserved1, void* reserved2);
typedef SpStatus (*OcmsSpTerminate)(SpInstance* instance);
/* Note the order: code, buffer, length. */
typedef SpStatus (*OcmsSpGetErrorText)(SpStatus status, char* buffer, int32_t bufferSize);

#ifdef __cplusplus
}
#endif

#endif
