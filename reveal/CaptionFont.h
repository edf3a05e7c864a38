// The caption font of the sheet: a small bitmap font drawn for this program (lower-case
// letters, digits and a little punctuation), so that a sheet has the same bytes on every
// machine and in every build, with no font files, font library or toolkit. Glyphs are 5 x 9
// cells (two rows for ascenders above the five of the x-height, two for descenders below)
// and are drawn at kCaptionScale pixels per cell, one empty column between glyphs.
#pragma once

#include <cstdint>
#include <string>

class TBitmap;

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 9;
inline constexpr int kCaptionScale = 2;

// The width and height in pixels of a text drawn with DrawCaption.
int CaptionWidth(const std::string& text);
inline constexpr int CaptionHeight() {
  return kGlyphHeight * kCaptionScale;
}

// Whether the font has a glyph for c (others are drawn as '?').
bool HasGlyph(char c);

// Draws text with its top-left corner at (left, top) on a 24-bit picture in the grey
// `ink`; the cells between the strokes keep their bytes. Parts outside the picture are
// clipped.
void DrawCaption(TBitmap& picture, int left, int top, const std::string& text, uint8_t ink);
