/* The Vq camera interface: plain C functions over opaque 32-bit handles and
 * caller-owned records, for Lumora and for outside programs.
 *
 * Every function answers an unsigned 32-bit status (VqStatus.h): 0 is success.
 * A successful first VqOpenDriver answers VQ_ERR_PREFS_READ or
 * VQ_ERR_DEFAULTS_KEPT (or VQ_ERR_FW_OS_UNSUPPORTED / VQ_ERR_FW_NO_SETUP_LIBRARY
 * when it opened without the FireWire camera manager); treat those as "open".
 *
 * Nothing in the interface is locked: callers serialise their calls. */
#ifndef LUMORA_VQ_H
#define LUMORA_VQ_H

#include <stdint.h>

#include "VqApi.h"
#include "VqStatus.h"
#include "VqImage.h"
#include "VqCamera.h"
#include "VqOcms.h"

VQ_BEGIN_DECLS

/* Version of the interface (five 16-bit words). VqOpenDriver takes one but
 * does not read it. */
typedef struct SdkVersionRecord {
    uint16_t versionMajor;
    uint16_t versionMinor;
    uint16_t revision;
    uint16_t patch;
    uint16_t build;
} SdkVersionRecord;

/* The interface's own version record. */
#define VQ_SDK_VERSION_RECORD_INIT { 2, 1, 2, 0, 28 }

/* VqOpenDriver flag: open without the FireWire camera manager. */
#define VQ_OPEN_NO_FIREWIRE 0x1u

/* Opens the interface, or one more level of an open interface (answers 0).
 * flags: 0 or VQ_OPEN_NO_FIREWIRE; any other bit on the first open answers
 * VQ_ERR_BAD_ARGUMENT. */
VQ_API uint32_t VqOpenDriver(SdkVersionRecord* version, uint32_t flags);

/* Closes one level of opening; the last close frees the interface's state.
 * Answers VQ_ERR_BAD_HANDLE when the interface is not open. */
VQ_API uint32_t VqCloseDriver(void);

/* Writes the bytes held by the interface's objects to *out and answers 0;
 * a null out answers VQ_ERR_NULL_OUTPUT. */
VQ_API uint32_t VqGetMemoryUsage(int32_t* out);

VQ_END_DECLS

#endif /* LUMORA_VQ_H */
