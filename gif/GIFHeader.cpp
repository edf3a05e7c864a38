#include "gif/GIFHeader.h"

#include <algorithm>
#include <cstring>

#include "base/Messages.h"
#include "base/Streams.h"
#include "gif/GIFException.h"
#include "gif/Gifimage.h"

void TGIFHeader::Clear() {
  Width = Height = 0;
  PackedFields = BackgroundColorIndex = AspectRatio = 0;
  color_map_.Clear();
}

void TGIFHeader::Assign(const TGIFHeader& source) {
  if (&source == this) return;
  Width = source.Width;
  Height = source.Height;
  PackedFields = source.PackedFields;
  BackgroundColorIndex = source.BackgroundColorIndex;
  AspectRatio = source.AspectRatio;
  color_map_.Assign(source.color_map_);
}

void TGIFHeader::Prepare() {
  uint8_t flags = 0;
  if (color_map_.Count() > 0) {
    flags |= kGlobalColorTable;
    if (color_map_.Optimized()) flags |= kSorted;
  }
  // An empty table counts as -1 bits, so with no tables at all both fields read 7.
  const int resolution = image_.ColorResolution();
  flags |= static_cast<uint8_t>((resolution * 16) & kColorResolution);
  flags |= static_cast<uint8_t>((image_.BitsPerPixel() - 1) & kTableSize);
  PackedFields = flags;
}

void TGIFHeader::SaveToStream(TStream& stream) {
  const TGIFVersion version = image_.Version();
  if (version == gvUnknown) throw GIFException(SGIFUnsupportedVersion);
  uint8_t signature[6] = {'G', 'I', 'F'};
  std::memcpy(signature + 3, GIFVersions[version], 3);
  stream.WriteBuffer(signature, 6);
  Prepare();
  const uint8_t descriptor[7] = {static_cast<uint8_t>(Width),
                                 static_cast<uint8_t>(Width >> 8),
                                 static_cast<uint8_t>(Height),
                                 static_cast<uint8_t>(Height >> 8),
                                 PackedFields,
                                 BackgroundColorIndex,
                                 AspectRatio};
  stream.WriteBuffer(descriptor, 7);
  if (PackedFields & kGlobalColorTable) color_map_.SaveToStream(stream);
}

void TGIFTrailer::SaveToStream(TStream& stream) {
  stream.WriteBuffer(&kTrailer, 1);
}
