// The GIF export format: the panel rendered into a raster and written as a GIF file with
// the export's fixed settings (run-length coding; the options' dither and reduction).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/Teeexport.h"

class TGIFImage;

// A radio group or drop-down list as the options form keeps it: a caption, the items and
// the selected index, and a click handler that runs when the selection is made.
struct TOptionSelection {
  std::string Caption;
  std::vector<std::string> Items;
  int ItemIndex = -1;
  int Columns = 1;
  std::function<void()> OnClick;
  // What a click on item `index` does: select it, then run the click handler.
  void Click(int index) {
    ItemIndex = index;
    if (OnClick) OnClick();
  }
};

// The GIF options form. It is never shown; it carries three selections.
class TTeeGIFOptions : public TTeeExportOptions {
 public:
  TTeeGIFOptions();
  TOptionSelection RGCompression;  // "LZW", "RLE"
  TOptionSelection CBDither;       // the dither modes, in their order
  TOptionSelection CBReduction;    // the reduction modes offered, in their order
  // The form fills its parent control; nothing here depends on it.
  void FormCreate();
  // The initial selections: the library's default dither mode, no reduction, "RLE"; and
  // the compression group's click handler.
  void FormShow(TTeeExportFormat* sender);
  // Snaps the compression group back to "RLE": the export always codes run-length.
  void RGCompressionClick();
};

class TGIFExportFormat : public TTeeExportFormat {
 public:
  TGIFExportFormat();
  ~TGIFExportFormat() override;

  void DoCopyToClipboard() override;
  std::string Description() const override;
  std::string FileExtension() const override;
  std::string FileFilter() const override;
  void SaveToStream(TStream& stream) override;
  TTeeExportOptions* Options(bool check) override;

  // Makes the options form when it does not exist yet and shows it (without a window).
  void CheckProperties();
  // A new GIF image of the panel rendered at the format's size, with the export's
  // settings; the caller owns it.
  std::unique_ptr<TGIFImage> GIF();
  TTeeGIFOptions* Properties() const { return properties_.get(); }

  static const TTeeExportFormatClass& Class();

 private:
  std::unique_ptr<TTeeGIFOptions> properties_;
};
