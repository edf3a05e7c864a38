// The frames of a GIF image, in file order.
#pragma once

#include <memory>
#include <vector>

#include "gif/GIFSubImage.h"

class TGIFImage;
class TStream;

class TGIFImageList {
 public:
  explicit TGIFImageList(TGIFImage& image) : image_(image) {}
  TGIFImageList(const TGIFImageList&) = delete;
  TGIFImageList& operator=(const TGIFImageList&) = delete;

  int Count() const { return static_cast<int>(frames_.size()); }
  // EListError outside 0..Count-1.
  TGIFSubImage& operator[](int index) const;
  // Appends a frame of this image; returns it.
  TGIFSubImage& Add(std::unique_ptr<TGIFSubImage> frame);
  // A new empty frame, appended.
  TGIFSubImage& Add();
  void Delete(int index);
  void Clear() { frames_.clear(); }
  // Writes every frame in order, reporting progress after each.
  void SaveToStream(TStream& stream);

 private:
  TGIFImage& image_;
  std::vector<std::unique_ptr<TGIFSubImage>> frames_;
};
