/* Output types of the Vq camera interface: the pixel layout a rendering delivers.
 * Samples of 16-bit types are in host byte order. */
#ifndef LUMORA_VQ_OUTPUT_TYPES_H
#define LUMORA_VQ_OUTPUT_TYPES_H

#define VQ_TYPE_RAW          0u  /* sensor data, one sample per photosite */
/* 1 is not a type */
#define VQ_TYPE_GRAY8        2u
#define VQ_TYPE_GRAY16       3u
#define VQ_TYPE_RGB8         4u  /* R, G, B */
#define VQ_TYPE_XRGB8        5u  /* 0, R, G, B */
#define VQ_TYPE_RGB16        6u
#define VQ_TYPE_XRGB16       7u
#define VQ_TYPE_BGR8         8u  /* B, G, R */
#define VQ_TYPE_BGRX8        9u  /* B, G, R, 0 */
#define VQ_TYPE_BGR16        10u
#define VQ_TYPE_BGRX16       11u
#define VQ_TYPE_CAMERA_RGB8  12u /* R, G, B without colour management */
#define VQ_TYPE_CAMERA_RGB16 13u
#define VQ_TYPE_CAMERA_RGB12 14u /* 16-bit samples holding 12-bit values */
#define VQ_TYPE_MONO8        15u
#define VQ_TYPE_MONO16       16u
#define VQ_TYPE_CMYK8        17u /* four-channel output profile */
#define VQ_TYPE_CMYK16       18u
#define VQ_TYPE_LAB8         19u /* Lab or Luv output profile */
#define VQ_TYPE_LAB16        20u
#define VQ_TYPE_LAST         20u

#endif /* LUMORA_VQ_OUTPUT_TYPES_H */
