#include "export/Teegif.h"

#include <span>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "export/HalftoneRender.h"
#include "export/TeePanel.h"
#include "gif/Gifimage.h"

namespace {

// The labels of a table's offered values, in their order: item i is the value i.
template <class Row>
std::vector<std::string> Offered(std::span<const Row> table) {
  std::vector<std::string> items;
  for (const Row& row : table)
    if (row.word != nullptr) items.push_back(row.label);
  return items;
}

}  // namespace

TTeeGIFOptions::TTeeGIFOptions() {
  RGCompression.Caption = "&Compression:";
  RGCompression.Items = Offered(CompressionNames());
  RGCompression.Columns = 2;
  CBDither.Caption = "&Dither:";
  CBDither.Items = Offered(DitherModeNames());
  CBReduction.Caption = "&Reduction:";
  CBReduction.Items = Offered(ColorReductionNames());
}

void TTeeGIFOptions::FormCreate() {}

void TTeeGIFOptions::FormShow(TTeeExportFormat*) {
  CBDither.ItemIndex = GIFImageDefaultDitherMode;
  // A fixed value, not the library's default reduction.
  CBReduction.ItemIndex = 0;
  RGCompression.ItemIndex = 1;
  RGCompression.OnClick = [this] { RGCompressionClick(); };
}

void TTeeGIFOptions::RGCompressionClick() {
  RGCompression.ItemIndex = 1;
}

TGIFExportFormat::TGIFExportFormat() = default;

TGIFExportFormat::~TGIFExportFormat() = default;

void TGIFExportFormat::DoCopyToClipboard() {
  // The GIF would be built as for a file, but this layer has no clipboard to take it.
  GIF();
  throw Exception(TeeMsg_NoClipboard);
}

std::string TGIFExportFormat::Description() const {
  return TeeMsg_AsGIF.text;
}

std::string TGIFExportFormat::FileExtension() const {
  return "gif";
}

std::string TGIFExportFormat::FileFilter() const {
  return TeeMsg_GIFFilter.text;
}

TTeeExportOptions* TGIFExportFormat::Options(bool check) {
  if (check) CheckProperties();
  return properties_.get();
}

void TGIFExportFormat::CheckProperties() {
  if (properties_) return;
  properties_ = std::make_unique<TTeeGIFOptions>();
  properties_->FormCreate();
  properties_->FormShow(this);
}

std::unique_ptr<TGIFImage> TGIFExportFormat::GIF() {
  CheckProperties();
  CheckSize();
  auto image = std::make_unique<TGIFImage>();
  image->SetCompression(gcRLE);
  // The offered values come first in their tables, so item i is the value i.
  image->SetDitherMode(static_cast<TDitherMode>(properties_->CBDither.ItemIndex));
  image->SetColorReduction(static_cast<TColorReduction>(properties_->CBReduction.ItemIndex));
  const TRect rect{0, 0, Width, Height};
  // Without reduction the frame holds the rendered raster's exact colours. When all of
  // them are halftone colours (the window's back image is a halftone copy, the system
  // colours are halftone entries), the panel is rendered at 8 bits per pixel with the
  // halftone table and the frame is read through it: the colour table and indices are
  // those of the display-format raster, from a raster a third of its size.
  if (image->ColorReduction() == rmNone && RendersExactlyInHalftone(*Panel, Panel->Color)) {
    const std::unique_ptr<TBitmap> raster =
        Panel->TeeCreateBitmap(Panel->Color, rect, TPixelFormat::Bits8);
    image->AssignTrueColour(*raster);
    return image;
  }
  // The render raster is freed when this function ends, whether Assign succeeds or not.
  const std::unique_ptr<TBitmap> raster =
      Panel->TeeCreateBitmap(Panel->Color, rect, TPixelFormat::Device);
  image->Assign(raster.get());
  return image;
}

void TGIFExportFormat::SaveToStream(TStream& stream) {
  const std::unique_ptr<TGIFImage> image = GIF();
  image->SaveToStream(stream);
}

const TTeeExportFormatClass& TGIFExportFormat::Class() {
  static const TTeeExportFormatClass cls{
      "TGIFExportFormat",
      []() -> std::unique_ptr<TTeeExportFormat> { return std::make_unique<TGIFExportFormat>(); }};
  return cls;
}

namespace {

// Adds the GIF format to the export list at start-up and takes it out at shut-down.
struct TGIFExportRegistration {
  TGIFExportRegistration() { RegisterTeeExportFormat(TGIFExportFormat::Class()); }
  ~TGIFExportRegistration() { UnRegisterTeeExportFormat(TGIFExportFormat::Class()); }
} registration;

}  // namespace
