// Colours, palette entries and palettes: this platform's stand-ins for the Windows colour
// types, palette handles and system colours.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// A colour as 0x00BBGGRR (red in the low byte), or one of the special values below.
using TColor = uint32_t;

constexpr TColor RGBColor(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<TColor>(r) | static_cast<TColor>(g) << 8 | static_cast<TColor>(b) << 16;
}
constexpr uint8_t GetRValue(TColor c) {
  return static_cast<uint8_t>(c);
}
constexpr uint8_t GetGValue(TColor c) {
  return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t GetBValue(TColor c) {
  return static_cast<uint8_t>(c >> 16);
}

constexpr TColor clBlack = RGBColor(0, 0, 0);
constexpr TColor clWhite = RGBColor(255, 255, 255);
constexpr TColor clNone = 0x1FFFFFFF;
// The system colours of this platform: all three are entries of the halftone palette.
constexpr TColor clBtnFace = RGBColor(192, 192, 192);
constexpr TColor clBtnHighlight = RGBColor(255, 255, 255);
constexpr TColor clBtnShadow = RGBColor(128, 128, 128);

// A palette entry as a logical palette holds it: red, green, blue, flags.
struct TPaletteEntry {
  uint8_t peRed = 0, peGreen = 0, peBlue = 0;
  uint8_t peFlags = 0;
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

// A colour-table entry as a device-independent bitmap holds it: blue, green, red, 0.
struct TRGBQuad {
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
  friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

// A logical palette: version 0x300 and at most 256 entries.
struct TLogPalette {
  uint16_t palVersion = 0x300;
  std::vector<TPaletteEntry> palPalEntry;
};

// Stand-in for a palette handle. Palettes never change once made, so a handle is a shared
// reference to an immutable palette; an empty handle is "no palette".
using TPaletteHandle = std::shared_ptr<const TLogPalette>;

// Makes a palette from its entries (at most 256 are taken).
TPaletteHandle CreatePalette(const std::vector<TPaletteEntry>& entries);
// Up to count entries of a palette starting at start; an empty handle gives none.
std::vector<TPaletteEntry> GetPaletteEntries(const TPaletteHandle& palette);

TPaletteEntry ToPaletteEntry(const TRGBQuad& quad);
TRGBQuad ToRGBQuad(const TPaletteEntry& entry);
