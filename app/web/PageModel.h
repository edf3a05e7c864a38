// The web page's model: the window's workflow (compose/Workflow.h) as the page drives it.
// The page hands it pixels that the browser decoded (or BMP files, read by the raster's own
// reader), moves its sliders, asks for views of its pictures at a zoom, for the reveal
// views with the band and the scores, and for the result saved in each format. Nothing
// here knows of the browser: app/web/PageExports.cpp puts it behind the functions the
// page's script calls, and the tests drive it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compose/ApplyInnerTone.h"
#include "compose/Workflow.h"
#include "export/SaveByFormat.h"
#include "raster/Bitmap.h"
#include "reveal/Scores.h"
#include "reveal/Views.h"
#include "targets/Catalogue.h"
#include "targets/Check.h"

// One save the page offers: a row of the table of output formats, in full colour or in its
// palette form, as the window and `lumiveil synth` save it (synth OUT with --indexed for
// the palette form). The page's result is always synthesized, so a format that records
// the band gets the sliders' band.
struct TPageSave {
  TSaveFormat format;
  bool indexed;
  std::string label;      // the button's text: "PNG", "Palette PNG"
  std::string title;      // its tool tip
  std::string file_name;  // the download's name: "lumiveil.png", "lumiveil-palette.png"
};

// The page's saves: first the formats that keep the band (each in full colour, then in its
// palette form), as the window's Export offers them, then the others, each group in the
// table's order.
const std::vector<TPageSave>& PageSaves();

// What a target of the catalogue makes of a result of the page uploaded as the page's PNG
// (full colour, the band recorded; its length left unknown, as the window checks it),
// scored against the visible and the hidden picture (all three of one size, 24 bits) with
// the band. The page runs it away from its view (in a worker) from copies of the three
// pictures (CheckPixels).
void CheckPageResult(const TTarget& target, const TBitmap& result, const TBitmap& visible,
                     const TBitmap& hidden, const TToneBand& band, TTargetCheck& check);
// The same from width x height pixels of three bytes each (blue, green, red, row 0 at the
// top, as TPageModel::CopyPicture gives them) of each picture. Raises for a size the store
// cannot hold.
void CheckPixels(const TTarget& target, int width, int height, const uint8_t* result,
                 const uint8_t* visible, const uint8_t* hidden, const TToneBand& band,
                 TTargetCheck& check);

// The pictures a view can show.
enum class TPagePicture { ppVisible, ppHidden, ppResult, ppReveal };

class TPageModel {
 public:
  TPageModel();

  // Loads the visible (hidden: false) or the hidden picture from width x height pixels of
  // four bytes each, red, green, blue and an alpha that is ignored, row 0 at the top (what
  // a canvas gives). Once both are there the result is synthesized at once with the
  // sliders as they stand. Raises for a size the store cannot hold.
  void LoadPixels(bool hidden, const uint8_t* rgba, int width, int height);
  // The same from a BMP file image, read by the raster's BMP reader and converted to 24
  // bits per pixel. Raises with the reader's message for a file it cannot read.
  void LoadBmp(bool hidden, const uint8_t* data, size_t size);

  bool HasVisible() const { return work_.ExternalLoaded(); }
  bool HasHidden() const { return work_.InnerLoaded(); }
  // The result: the synthesis of both pictures, there once both are loaded.
  bool HasResult() const { return HasVisible() && HasHidden() && !work_.ResultBitmap().Empty(); }

  // The sliders as a person moves them: the average limits the contrast to L(A) (a
  // contrast above the limit is lowered to it); the result's odd cells follow each step.
  // They are mapped anew row by row as they are next used: a view at Fit maps each row just
  // before it sums it, so a slider step reads the pictures once instead of twice.
  void SetAverage(int average);
  void SetContrast(int contrast);
  int Average() const { return work_.Average(); }
  int Contrast() const { return work_.Contrast(); }
  int ContrastMax() const { return work_.ContrastMax(); }

  // The size of a picture (0 x 0 when there is none).
  int Width(TPagePicture picture) const;
  int Height(TPagePicture picture) const;

  // Draws the part of a picture that a view shows into rgba (view_width x view_height
  // pixels of four bytes, red, green, blue, 255): the view's pixel (i, j) shows the
  // picture at zoom `scale` from picture position (left, top) on, where the view's pixels
  // are 1 / scale picture pixels wide. Above 1:1 each picture pixel is a sharp block; below
  // it each view pixel is the mean of all the picture pixels it covers (so a combined
  // picture looks at 1:2 as it does to the eye from further away). Outside the picture the
  // view is left as it was.
  void Render(TPagePicture picture, double scale, double left, double top, int view_width,
              int view_height, uint8_t* rgba);

  // Makes a reveal view of the result (its band the sliders' band) to be drawn with
  // Render(ppReveal, ...). Raises for a result that is not there.
  void MakeReveal(TRevealView view, int size, TThumbnailFilter filter);
  // The scores of the result against the two pictures at the sliders' band (see
  // reveal/Scores.h); the hidden score is absent for a result without odd cells.
  double VisibleScore() const;
  std::optional<double> HiddenScore() const;
  // The band found from the result's odd cells, as `lumiveil reveal` finds it.
  TToneBand FoundBand();

  // CheckPageResult for the result as it stands, with the sliders' band. Raises for a result
  // that is not there.
  void CheckTarget(const TTarget& target, TTargetCheck& check);

  // The result saved as one of the page's saves, as the bytes of the file. Raises for a
  // failed save.
  std::vector<uint8_t> Save(const TPageSave& save);

  // A picture as it stands (the result with every row mapped).
  const TBitmap& Picture(TPagePicture picture);
  // Copies a picture as it stands into bgr: Width x Height pixels of three bytes, blue,
  // green, red, row 0 at the top (nothing for a picture that is not there).
  void CopyPicture(TPagePicture picture, uint8_t* bgr);

 private:
  // Fills the visible or the hidden slot through the workflow's load; raises the reason
  // when it failed.
  void Load(bool hidden, const std::function<void(TBitmap&)>& fill);
  // Both pictures loaded: the result synthesized and the scores' basis made.
  void Refresh();
  // The sliders moved: every row of the result waits for the new band.
  void ToneChanged();
  // Maps the waiting rows among first .. last - 1 of the result (rows: its rows, taken
  // once by the caller) into the band.
  void MapRows(const TRows& rows, int first, int last);
  const TBitmap& Shown(TPagePicture picture) const;
  // The result below 1:1 without mapping its rows (see Render); false when the pictures do
  // not allow it (the caller then maps and sums the result's rows).
  bool RenderResultMeans(const std::vector<int>& xs, const std::vector<int>& ys, int view_width,
                         int view_height, uint8_t* rgba);
  // Packs the hidden picture's odd cells once (rows of `stride` bytes) and makes the view's
  // even-cell sums when the view has changed (MakeEvenSums).
  void KeepCells(const std::vector<int>& xs, const std::vector<int>& ys, size_t stride);
  // The sums of the visible picture's bytes in the even cells of each view pixel, for the
  // view spans xs and ys, made again when the view changes.
  void MakeEvenSums(const std::vector<int>& xs, const std::vector<int>& ys);

  TWorkflow work_;
  // The band's table and, per row of the result, whether it waits to be mapped with it.
  std::unique_ptr<TToneTable> tone_;
  std::vector<uint8_t> waiting_;
  int waiting_count_ = 0;
  TBitmap reveal_;
  std::unique_ptr<TScoreBasis> scores_;
  // For views of the result below 1:1 (RenderResultMeans): the hidden picture's odd cells,
  // packed (row y's cells x + y odd, left to right, at odd_stride_ bytes per row), and the
  // view's even-cell sums (3 per view pixel) with the spans they were made for.
  std::vector<uint8_t> odd_cells_;
  size_t odd_stride_ = 0;
  std::vector<uint32_t> even_sums_;
  std::vector<int> even_xs_, even_ys_;
};
