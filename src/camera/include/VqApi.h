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

#ifdef __cplusplus
#define VQ_BEGIN_DECLS extern "C" {
#define VQ_END_DECLS }
#else
#define VQ_BEGIN_DECLS
#define VQ_END_DECLS
#endif

#endif /* LUMORA_VQ_API_H */
