// The chart panel as the GIF export draws it: a panel with a colour, an optional back
// image (stretched, tiled or centred), and raised or lowered bevels, rendered into a
// raster of its own. The chart's other parts (walls, legend, title, axes) exist as
// switches; on this panel they are off and nothing draws them.
#pragma once

#include <memory>
#include <string>

#include "platform/Colors.h"
#include "raster/Bitmap.h"
#include "raster/Canvas.h"
#include "raster/Picture.h"

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
enum TBackImageMode { pbmStretch, pbmTile, pbmCenter };

class TCustomTeePanel {
 public:
  TCustomTeePanel();
  virtual ~TCustomTeePanel();
  TCustomTeePanel(const TCustomTeePanel&) = delete;
  TCustomTeePanel& operator=(const TCustomTeePanel&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetWidth(int value) { width_ = value; }
  void SetHeight(int value) { height_ = value; }

  // The back image: a picture container; setting it copies the given picture.
  TPicture& BackImage() { return back_image_; }
  void SetBackImage(const TPicture& picture) { back_image_.Assign(picture); }
  TBackImageMode BackImageMode = pbmStretch;

  TPanelBevel BevelOuter = bvRaised;
  TPanelBevel BevelInner = bvNone;
  int BevelWidth = 1;
  int BorderWidth = 0;
  TColor Color = clBtnFace;
  // Margins around the inner chart rectangle, in percent of the bounds.
  int MarginLeft = 3, MarginTop = 4, MarginRight = 3, MarginBottom = 4;
  // Drawing through an off-screen buffer; the export switches it off while it renders.
  bool BufferedDisplay = true;

  // A new raster of rect's size in the given pixel format with the panel drawn into it.
  // A back colour other than pure white fills it first.
  std::unique_ptr<TBitmap> TeeCreateBitmap(TColor back_color, const TRect& rect,
                                           TPixelFormat pixel_format);
  // Paints the whole panel into canvas within rect.
  void Draw(TCanvas& canvas, const TRect& rect);

  // Set by the last Draw: the bounds, and the inner chart rectangle from the margins.
  TRect ChartBounds() const { return chart_bounds_; }
  TRect ChartRect() const { return chart_rect_; }

 protected:
  // Paints everything within the chart bounds; the panel paints its background.
  virtual void InternalDraw(const TRect& bounds);
  void PanelPaint(const TRect& rect);
  void FillPanelRect(const TRect& rect);
  bool HasBackImage() const { return back_image_.Graphic() != nullptr; }
  // Whether painting the back image covers every pixel of rect (a non-empty bitmap
  // stretched over the whole panel), so that nothing drawn before it can be seen.
  bool BackImageCovers(const TRect& rect) const;
  void DrawBitmap(const TRect& rect, int z);
  void DrawPanelBevels(const TRect& rect);
  // Whether the canvas can rotate text and shapes freely (the plain canvas cannot), in
  // which case bevels are left to it.
  virtual bool GetSupportsFullRotation() const { return false; }
  TCanvas& Canvas() { return *canvas_; }

 private:
  void DrawFrame(TRect& rect, TColor top, TColor bottom, int width);
  void DrawBevel(TRect& rect, TPanelBevel bevel);

  int width_ = 0;
  int height_ = 0;
  TPicture back_image_;
  TRect chart_bounds_;
  TRect chart_rect_;
  TCanvas* canvas_ = nullptr;
};

class TCustomTeePanelExtended : public TCustomTeePanel {};

// A chart part that can be switched off.
struct TChartPart {
  bool Visible = true;
};

struct TChartTitle : TChartPart {
  std::string Text;
};

class TCustomAxisPanel : public TCustomTeePanelExtended {
 public:
  bool AxisVisible = true;
  bool View3DWalls = true;
};

class TCustomChart : public TCustomAxisPanel {
 public:
  TCustomChart() { Title.Text = "TChart"; }
  TChartPart BackWall;
  TChartPart Legend;
  TChartTitle Title;
  TChartTitle SubTitle, Foot, SubFoot;
  bool Visible = true;
};

class TChart : public TCustomChart {};
