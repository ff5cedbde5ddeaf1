/* What every public header of the Vq camera interface starts with: the mark of
 * an exported function, and the C linkage of the declarations between
 * VQ_BEGIN_DECLS and VQ_END_DECLS when a C++ program includes them. Plain C. */
#ifndef LUMORA_VQ_API_H
#define LUMORA_VQ_API_H

#if defined(__GNUC__)
#define VQ_API __attribute__((visibility("default")))
#else
#define VQ_API
#endif

/* Bytes of every fixed path and name field of the interface's records (folder,
 * path, processing folder, profile name), terminator included: the records were
 * laid out for 260-character paths, and callers still hand fields of that size. */
#define VQ_PATH_BYTES 260

#ifdef __cplusplus
#define VQ_BEGIN_DECLS extern "C" {
#define VQ_END_DECLS }
#else
#define VQ_BEGIN_DECLS
#define VQ_END_DECLS
#endif

#endif /* LUMORA_VQ_API_H */
