/* A sharpen library for the binder's tests that lacks
 * VrelSharpenStripWithProgress: its other exports answer 400. */
#define EXPORT __attribute__((visibility("default")))
#define STUB(name) EXPORT int name(void) { return 400; }
STUB(VrelSharpenInitializeLibrary)
STUB(VrelSharpenTerminateLibrary)
STUB(VrelSharpenCreateSharpenFilter)
STUB(VrelSharpenReleaseFilter)
STUB(VrelSharpenGetBufferSizes)
STUB(VrelSharpenSetStripRects)
STUB(VrelSharpenStrip)
STUB(VrelSharpenGetAttributeInfo)
STUB(VrelSharpenGetAttributeValue)
STUB(VrelSharpenSetAttributeValue)
