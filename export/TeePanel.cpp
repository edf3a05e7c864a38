#include "export/TeePanel.h"

#include <algorithm>

TCustomTeePanel::TCustomTeePanel() = default;

TCustomTeePanel::~TCustomTeePanel() = default;

std::unique_ptr<TBitmap> TCustomTeePanel::TeeCreateBitmap(TColor back_color, const TRect& rect,
                                                          TPixelFormat pixel_format) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pixel_format);
  // A back image that covers the whole raster leaves nothing of the fills to be seen:
  // the raster is then neither filled white nor with the back colour.
  const bool covered = rect.Left == 0 && rect.Top == 0 && BackImageCovers(rect);
  if (covered) {
    bitmap->SetSizeForOverwrite(rect.Right - rect.Left, rect.Bottom - rect.Top);
  } else {
    bitmap->SetWidth(rect.Right - rect.Left);
    bitmap->SetHeight(rect.Bottom - rect.Top);
  }
  TCanvas& canvas = bitmap->Canvas();
  if (back_color != clWhite && !covered) {
    canvas.Brush.Color = back_color;
    canvas.Brush.Style = TBrushStyle::bsSolid;
    canvas.FillRect(rect);
  }
  // Without buffering the panel draws straight into the new raster.
  const bool buffered = BufferedDisplay;
  BufferedDisplay = false;
  try {
    Draw(canvas, rect);
  } catch (...) {
    BufferedDisplay = buffered;
    throw;
  }
  BufferedDisplay = buffered;
  return bitmap;
}

void TCustomTeePanel::Draw(TCanvas& canvas, const TRect& rect) {
  canvas_ = &canvas;
  chart_bounds_ = rect;
  const int w = rect.Width(), h = rect.Height();
  chart_rect_ = TRect{rect.Left + w * MarginLeft / 100 + BorderWidth,
                      rect.Top + h * MarginTop / 100 + BorderWidth,
                      rect.Right - w * MarginRight / 100 - BorderWidth,
                      rect.Bottom - h * MarginBottom / 100 - BorderWidth};
  InternalDraw(chart_bounds_);
  canvas_ = nullptr;
}

void TCustomTeePanel::InternalDraw(const TRect& bounds) {
  PanelPaint(bounds);
}

bool TCustomTeePanel::BackImageCovers(const TRect& rect) const {
  // A bitmap draws every pixel it is stretched over, whatever it holds.
  const auto* bitmap = dynamic_cast<const TBitmap*>(back_image_.Graphic());
  return bitmap != nullptr && !bitmap->Empty() && BackImageMode == pbmStretch && rect.Width() > 0 &&
         rect.Height() > 0;
}

void TCustomTeePanel::PanelPaint(const TRect& rect) {
  // The fill would be drawn over at once by a back image that covers the rectangle.
  if (!BackImageCovers(rect)) FillPanelRect(rect);
  if (HasBackImage()) DrawBitmap(rect, 0);
  if (!GetSupportsFullRotation()) DrawPanelBevels(rect);
}

void TCustomTeePanel::FillPanelRect(const TRect& rect) {
  TCanvas& canvas = Canvas();
  if (Color == clNone) return;
  canvas.Brush.Color = Color;
  canvas.Brush.Style = TBrushStyle::bsSolid;
  canvas.FillRect(rect);
}

void TCustomTeePanel::DrawBitmap(const TRect& rect, int) {
  const TGraphic* graphic = back_image_.Graphic();
  if (graphic == nullptr) return;
  TCanvas& canvas = Canvas();
  switch (BackImageMode) {
    case pbmStretch:
      canvas.StretchDraw(rect, *graphic);
      return;
    case pbmTile: {
      const int gw = graphic->Width(), gh = graphic->Height();
      if (gw <= 0 || gh <= 0) return;
      canvas.SetClipRect(rect);
      for (int dy = 0; dy < rect.Height(); dy += gh)
        for (int dx = 0; dx < rect.Width(); dx += gw)
          canvas.Draw(rect.Left + dx, rect.Top + dy, *graphic);
      canvas.SetClipRect(std::nullopt);
      return;
    }
    case pbmCenter: {
      canvas.SetClipRect(rect);
      FillPanelRect(rect);
      // Divisions truncate toward zero, so a picture larger than the rectangle is centred
      // with its overhang split the same way.
      canvas.Draw(rect.Left + (rect.Width() - graphic->Width()) / 2,
                  rect.Top + (rect.Height() - graphic->Height()) / 2, *graphic);
      canvas.SetClipRect(std::nullopt);
      return;
    }
  }
}

// One frame of `width` passes. Each pass draws four one-pixel lines, every one without its
// end point, later lines overwriting earlier ones; right and bottom are first taken in by
// one so that they name the last column and row, and given back afterwards.
void TCustomTeePanel::DrawFrame(TRect& r, TColor top, TColor bottom, int width) {
  TCanvas& canvas = Canvas();
  r.Right -= 1;
  r.Bottom -= 1;
  for (int pass = 0; pass < width; ++pass) {
    canvas.Pen.Color = top;
    canvas.MoveTo(r.Left, r.Top);
    canvas.LineTo(r.Left, r.Bottom);
    canvas.MoveTo(r.Left, r.Top);
    canvas.LineTo(r.Right, r.Top);
    canvas.Pen.Color = bottom;
    canvas.MoveTo(r.Right, r.Top);
    canvas.LineTo(r.Right, r.Bottom);
    canvas.MoveTo(r.Left - 1, r.Bottom);
    canvas.LineTo(r.Right + 1, r.Bottom);
    r.Left += 1;
    r.Top += 1;
    r.Right -= 1;
    r.Bottom -= 1;
  }
  r.Right += 1;
  r.Bottom += 1;
}

void TCustomTeePanel::DrawBevel(TRect& r, TPanelBevel bevel) {
  switch (bevel) {
    case bvNone:
      return;
    case bvRaised:
      DrawFrame(r, clBtnHighlight, clBtnShadow, BevelWidth);
      return;
    case bvLowered:
      DrawFrame(r, clBtnShadow, clBtnHighlight, BevelWidth);
      return;
    case bvSpace:
      DrawFrame(r, clBtnHighlight, clBtnHighlight, BevelWidth);
      return;
  }
}

void TCustomTeePanel::DrawPanelBevels(const TRect& rect) {
  TCanvas& canvas = Canvas();
  canvas.Pen.Style = TPenStyle::psSolid;
  canvas.Pen.Width = 1;
  canvas.Pen.Mode = TPenMode::pmCopy;
  canvas.Brush.Style = TBrushStyle::bsClear;
  // The three frames share one rectangle, so each lies inside the one before.
  TRect r = rect;
  DrawBevel(r, BevelOuter);
  DrawFrame(r, Color, Color, BorderWidth);
  DrawBevel(r, BevelInner);
}
