// The extension blocks a frame may carry (all of them GIF89a features). Each writes the
// introducer 0x21, its label and its contents.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gif/GIFTypes.h"

class TStream;

class TGIFExtension {
 public:
  virtual ~TGIFExtension() = default;
  virtual uint8_t Label() const = 0;
  virtual std::unique_ptr<TGIFExtension> Clone() const = 0;
  void SaveToStream(TStream& stream) const;

 protected:
  // The contents after the label, up to and including the block terminator.
  virtual void SaveData(TStream& stream) const = 0;
};

using TGIFExtensionList = std::vector<std::unique_ptr<TGIFExtension>>;

// Writes text lines as data sub-blocks: each line in pieces of at most 255 bytes, a line
// never sharing a sub-block with the next, an empty line writing nothing; then the 0 that
// ends the blocks.
void WriteTextSubBlocks(TStream& stream, const std::vector<std::string>& lines);

class TGIFGraphicControlExtension final : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0xF9;
  uint8_t Label() const override { return kLabel; }
  std::unique_ptr<TGIFExtension> Clone() const override;

  bool Transparent = false;
  bool UserInput = false;
  TDisposalMethod Disposal = dmNone;
  uint16_t Delay = 0;  // hundredths of a second
  uint8_t TransparentColorIndex = 0;

 protected:
  void SaveData(TStream& stream) const override;
};

class TGIFCommentExtension final : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0xFE;
  uint8_t Label() const override { return kLabel; }
  std::unique_ptr<TGIFExtension> Clone() const override;

  std::vector<std::string> Text;

 protected:
  void SaveData(TStream& stream) const override;
};

// Plain text drawn on a grid of character cells.
class TGIFTextExtension final : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0x01;
  uint8_t Label() const override { return kLabel; }
  std::unique_ptr<TGIFExtension> Clone() const override;

  uint16_t Left = 0;
  uint16_t Top = 0;
  uint16_t GridWidth = 0;
  uint16_t GridHeight = 0;
  uint8_t CellWidth = 0;
  uint8_t CellHeight = 0;
  uint8_t ForegroundColorIndex = 0;
  uint8_t BackgroundColorIndex = 0;
  std::vector<std::string> Text;

 protected:
  void SaveData(TStream& stream) const override;
};

// An application's block: an 8-byte identifier and a 3-byte authentication code, then
// data that each kind of application block lays out itself.
class TGIFApplicationExtension : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0xFF;
  uint8_t Label() const override { return kLabel; }
  std::unique_ptr<TGIFExtension> Clone() const override;

  std::array<char, 8> Identifier{};
  std::array<char, 3> Authentication{};

 protected:
  void SaveData(TStream& stream) const override;
  // The data sub-blocks and the terminating 0; here no data.
  virtual void SaveApplicationData(TStream& stream) const;
};

// The looping block ("NETSCAPE" "2.0"): how often the animation repeats (0 = forever) and
// an optional buffer size.
class TGIFAppExtNSLoop final : public TGIFApplicationExtension {
 public:
  TGIFAppExtNSLoop();
  std::unique_ptr<TGIFExtension> Clone() const override;

  uint16_t Loops = 0;
  uint32_t BufferSize = 0;

 protected:
  void SaveApplicationData(TStream& stream) const override;
};

// One data sub-block as read: a length byte and that many bytes (1 to 255).
class TGIFBlock {
 public:
  // Raises GIFException for more than 255 bytes.
  explicit TGIFBlock(std::vector<uint8_t> data);
  const std::vector<uint8_t>& Data() const { return data_; }

 private:
  std::vector<uint8_t> data_;
};

// An application block of a kind this library does not know: its data blocks as read.
class TGIFUnknownAppExtension final : public TGIFApplicationExtension {
 public:
  std::unique_ptr<TGIFExtension> Clone() const override;

  std::vector<TGIFBlock> Blocks;

 protected:
  void SaveApplicationData(TStream& stream) const override;
};
