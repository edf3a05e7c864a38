// The reductions without error diffusion (dmNearest) in bands: every pixel's index then
// depends on its colour and the lookup alone, so the rows can be shared out over the
// processor's cores (base/Bands.h), with the same bytes as the engine's serpentine walk.
#pragma once

class TColorLookup;
class TDIBReader;
class TDIBWriter;

// Maps the rows of a 24-bit picture through one of the library's lookups (fast nearest,
// web, grey scale, monochrome) into the 8-bit picture, as the base dither engine's walk
// does; false (nothing written) for a lookup of another class, which the caller then
// walks with its engine.
bool MapNearestRows(const TDIBReader& source, TColorLookup& lookup, TDIBWriter& dest);
