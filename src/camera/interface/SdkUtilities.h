#pragma once
// Small stateless helpers of the camera interface and the raw pipeline: TIFF
// field sizes and texts, four-character codes, byte order, DOS stamps, date texts, rectangle rotation, plane
// copies, case-blind strings and the JPEG file status mapping.
#include <cstdint>
#include <ctime>

// TIFF 6.0 field-type sizes in bytes; 0 for an unknown type.
uint16_t SdkTiffTypeSize(uint16_t type);

// The four characters of text as one word, the first in the top byte ("sRGB").
uint32_t SdkFourCC(const char* text);
// Bytes of a text the TIFF reader copied, without a terminator, into a field of
// max bytes: count, at most max, cut at the first NUL.
uint32_t SdkTextLength(const char* text, uint32_t count, uint32_t max);

// *out := a new[] copy of length bytes of source (freed with delete[]). A
// length of 0 or less answers 0 and leaves *out alone; VQ_ERR_NO_MEMORY when
// the copy cannot be made (*out null). *outLength := the bytes copied.
uint32_t SdkCopyBytes(const void* source, int32_t length, char** out, uint32_t* outLength);

// *exponent := index of the highest set bit of value (0 for value <= 0);
// answers 1 when value is exactly that power of two, else 0.
uint32_t SdkIntLog2(int32_t value, uint32_t* exponent);

// Spins (no sleeping) until ticks milliseconds have passed.
void SdkBusyWait(uint32_t ticks);

// Turns a rectangle {x, y, width, height} of an image W wide and H high with
// the image: angle 0, ±90, ±180 or ±270 (fractions are dropped). Answers 0 or
// VQ_ERR_BAD_ROTATION. All arithmetic wraps as 16-bit values.
uint32_t SdkRotateRect(int16_t rect[4], int16_t imageWidth, int16_t imageHeight, float angle);

void SdkPutLittle16(uint16_t value, uint8_t* out);
void SdkStoreLittle16(uint16_t value, uint16_t* out);
void SdkPutBig16(uint16_t value, uint8_t* out);
void SdkStoreSwapped16(uint16_t value, uint16_t* out);
// The four bytes of word (in memory order) read most significant first.
uint32_t SdkFromBig32(uint32_t word);
// The value whose bytes in memory are value's, most significant first.
uint32_t SdkToBig32(uint32_t value);
uint32_t SdkToLittle32(uint32_t value);
void SdkSwap32InPlace(uint32_t* value);
void SdkSwap16InPlace(uint16_t* value);

// *out := min(high, 15) * 16 + min(low, 15).
void SdkPackNibbles(uint8_t high, uint8_t low, uint8_t* out);
void SdkSplitNibbles(uint8_t value, uint8_t* high, uint8_t* low);

// Index of the last occurrence of c in text, -1 when absent.
int32_t SdkLastIndexOf(const char* text, char c);
// Position of the first occurrence of text in name, compared without regard to
// case; -1 when absent, when name is longer than 512 characters or text longer
// than 511.
int32_t SdkFindTextNoCase(const char* name, const char* text);
// -1, 0 or 1: a and b compared byte by byte (unsigned) with letters upper-cased.
int32_t SdkCompareNoCase(const char* a, const char* b);
// ASCII upper case, the case table of the helpers above (other bytes unchanged).
char SdkUpperCase(char c);

// R[i], G[i], B[i] := source bytes 3i, 3i + 1, 3i + 2, each shifted left.
void SdkSplitRgbTriples(int16_t* red, int16_t* green, int16_t* blue, const uint8_t* source, uint32_t count,
                        uint32_t shift);
// Copies rows y .. y+h-1, samples x .. x+w-1 of a plane with rowStep samples
// per row into out, one row after another. origin: x low, y high 16 bits;
// size: w low, h high 16 bits.
void SdkCopyShortRect(const int16_t* plane, uint32_t origin, uint32_t size, int32_t rowStep, int16_t* out);

// Seconds since 1970 UTC of a DOS date and time taken as local standard time;
// *out := the result, which is also answered.
time_t SdkDosToTime(uint16_t dosDate, uint16_t dosTime, time_t* out);
// "YYYY:MM:DD HH:MM:SS" into the nine words second, minute, hour, day,
// month - 1, year - 1900, -1, -1, -1. A short text gives 0 for what is
// missing. Answers -1.
int32_t SdkParseDateText(const char* text, int16_t out[9]);
// Gives a file's creation and write stamps one value (see the .cpp).
void SdkUnifyDosStamps(uint16_t* createdDate, uint16_t* createdTime, uint16_t* writtenDate, uint16_t* writtenTime);

// The file-format statuses as their JPEG-file counterparts.
uint32_t SdkMapFileError(uint32_t status);
