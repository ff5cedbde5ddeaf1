/* Colour management of the Vq camera interface: the colour-management library
 * "OrvexCMSC" loaded by name, profiles loaded into an image's profile slots and
 * the image's colour-management mode.
 *
 * Every call needs an open interface (VQ_ERR_DRIVER_NOT_OPEN otherwise). */
#ifndef LUMORA_VQ_OCMS_H
#define LUMORA_VQ_OCMS_H

#include <stdint.h>
#include "VqApi.h"
#include "VqStatus.h"
#include "VqImage.h"

VQ_BEGIN_DECLS

/* Colour-management modes of an image. */
#define VQ_OCMS_MODE_NONE    1u /* the built-in matrices (0 means the same) */
#define VQ_OCMS_MODE_OUTPUT  2u /* source profile, optional look (slot 6), output profile (slot 4) */
#define VQ_OCMS_MODE_OUTPUT2 3u /* source profile, optional look (slot 6), output profile (slot 5) */
#define VQ_OCMS_MODE_SOURCE  4u /* the source profile's own transform */

/* Profile slots an image loads profiles into. */
#define VQ_OCMS_SLOT_SOURCE  3
#define VQ_OCMS_SLOT_OUTPUT  4
#define VQ_OCMS_SLOT_OUTPUT2 5
#define VQ_OCMS_SLOT_LOOK    6
#define VQ_OCMS_SLOT_SPARE   7

/* Sizes of the records the calls fill. */
#define VQ_OCMS_NAME_BYTES   VQ_PATH_BYTES /* profile name */
#define VQ_OCMS_INFO_WORDS   7   /* profile info, 32-bit words */
#define VQ_OCMS_HEADER_BYTES 124 /* loaded flag (32-bit) and the profile's 120-byte header */

/* Profile info words: [0] last library status, [1] 1, [2] slot kind, [3] input
 * colour space, [4] output colour space, [5] output channels, [6] profile mode. */

/* Loads and starts the library; *library receives its handle, *libraryStatus
 * the library's own status. */
VQ_API VqStatus VqOCMSOpen(uint32_t* library, uint32_t* libraryStatus);
/* Frees every profile and transform, ends the library's work and unloads it.
 * A handle other than the open one answers VQ_ERR_OCMS_WRONG_HANDLE, and
 * colour management is closed all the same. */
VQ_API VqStatus VqOCMSClose(uint32_t library, uint32_t* libraryStatus);
VQ_API VqStatus VqOCMSSetMode(ImageInfoRecord* record, uint32_t mode);
/* Answers the mode itself (1 for no colour management), or 0 when the
 * interface, the record, the image or colour management is missing. */
VQ_API VqStatus VqOCMSGetMode(ImageInfoRecord* record);
/* name: a NUL-terminated profile name of at most VQ_PATH_BYTES bytes. info
 * (VQ_OCMS_INFO_WORDS words) and header (VQ_OCMS_HEADER_BYTES) may be null. */
VQ_API VqStatus VqOCMSSetProfile(ImageInfoRecord* record, int32_t slot, const char* name, int32_t profileMode,
                                 int32_t* info, void* header);
/* name: VQ_OCMS_NAME_BYTES; info: VQ_OCMS_INFO_WORDS words; header may be null. */
VQ_API VqStatus VqOCMSGetProfileInfo(ImageInfoRecord* record, int32_t slot, char* name, int32_t* info,
                                     void* header);
VQ_API VqStatus VqOCMSGetLastStatus(ImageInfoRecord* record, uint32_t* out);
VQ_API VqStatus VqOCMSGetErrorText(uint32_t code, char* buffer, uint32_t length);
/* Cache control, eight 16-bit words: [0] total limit, [1]..[5] limits of the
 * entry kinds 1..5, [6] and [7] unused. All of [0]..[5] zero empties the cache. */
VQ_API VqStatus VqOCMSSetCacheControl(const int16_t* control);
VQ_API VqStatus VqOCMSGetCacheControl(int16_t* control);
/* Six 16-bit counts of loaded entries: the total, then kinds 1..5. */
VQ_API VqStatus VqOCMSSenseCache(int16_t* counts);

VQ_END_DECLS

#endif
