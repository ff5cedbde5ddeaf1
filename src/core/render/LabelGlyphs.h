#pragma once
// The glyph table of the one-line label drawn into exported pixels, made at
// build time from an installed monospaced font: printable ASCII from the
// blank, 16 rows per character, bit 7 the leftmost pixel, a set bit ink.
#include <cstdint>

namespace NimbalCore {

constexpr int kLabelGlyphFirst = 32;
constexpr int kLabelGlyphCount = 95;
constexpr int kLabelGlyphRows = 16;
extern const int kLabelGlyphAdvance;
extern const uint8_t kLabelGlyphs[kLabelGlyphCount][kLabelGlyphRows];

} // namespace NimbalCore
