// The functions the page's script calls (web/page.js). Each one that can fail returns 0 for
// done and -1 for failed, with the reason in lv_error(); pictures and files cross in the
// module's memory, whose blocks the script takes with malloc and gives back with free.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "app/web/PageModel.h"
#include "base/Bands.h"
#include "base/Exceptions.h"

namespace {

TPageModel& Model() {
  static TPageModel model;
  return model;
}

std::string& LastError() {
  static std::string error;
  return error;
}

std::vector<uint8_t>& LastFile() {
  static std::vector<uint8_t> file;
  return file;
}

template <typename Work>
int Guarded(Work work) {
  try {
    work();
    LastError().clear();
    return 0;
  } catch (const Exception& e) {
    LastError() = e.FullMessage();
  } catch (const std::bad_alloc&) {
    LastError() = "out of memory";
  } catch (const std::exception& e) {
    LastError() = e.what();
  }
  return -1;
}

TPagePicture PictureOf(int which) {
  switch (which) {
    case 0:
      return TPagePicture::ppVisible;
    case 1:
      return TPagePicture::ppHidden;
    case 2:
      return TPagePicture::ppResult;
    default:
      return TPagePicture::ppReveal;
  }
}

}  // namespace

extern "C" {

// The row kernels run on the page's one thread.
EMSCRIPTEN_KEEPALIVE void lv_init() {
  SetBandThreads(1);
}

EMSCRIPTEN_KEEPALIVE const char* lv_error() {
  return LastError().c_str();
}

// hidden: 0 for the visible picture, 1 for the hidden one.
EMSCRIPTEN_KEEPALIVE int lv_load_pixels(int hidden, const uint8_t* rgba, int width, int height) {
  return Guarded([&] { Model().LoadPixels(hidden != 0, rgba, width, height); });
}

EMSCRIPTEN_KEEPALIVE int lv_load_bmp(int hidden, const uint8_t* data, int size) {
  return Guarded([&] { Model().LoadBmp(hidden != 0, data, static_cast<size_t>(size)); });
}

EMSCRIPTEN_KEEPALIVE int lv_has_result() {
  return Model().HasResult() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int lv_set_average(int average) {
  return Guarded([&] { Model().SetAverage(average); });
}

EMSCRIPTEN_KEEPALIVE int lv_set_contrast(int contrast) {
  return Guarded([&] { Model().SetContrast(contrast); });
}

EMSCRIPTEN_KEEPALIVE int lv_average() {
  return Model().Average();
}

EMSCRIPTEN_KEEPALIVE int lv_contrast() {
  return Model().Contrast();
}

EMSCRIPTEN_KEEPALIVE int lv_contrast_max() {
  return Model().ContrastMax();
}

// which: 0 visible, 1 hidden, 2 result, 3 the reveal view.
EMSCRIPTEN_KEEPALIVE int lv_width(int which) {
  return Model().Width(PictureOf(which));
}

EMSCRIPTEN_KEEPALIVE int lv_height(int which) {
  return Model().Height(PictureOf(which));
}

EMSCRIPTEN_KEEPALIVE void lv_render(int which, double scale, double left, double top, int width,
                                    int height, uint8_t* rgba) {
  Model().Render(PictureOf(which), scale, left, top, width, height, rgba);
}

// view: even, odd, average, thumbnail, levels, hidden, sheet (0 .. 6); filter: area,
// bilinear, nearest (0 .. 2).
EMSCRIPTEN_KEEPALIVE int lv_make_reveal(int view, int size, int filter) {
  return Guarded([&] {
    Model().MakeReveal(kAllViews[view < 0 || view > 6 ? 6 : view], size,
                       kAllFilters[filter < 0 || filter > 2 ? 0 : filter]);
  });
}

// The visible score in dB (infinite for a result equal to the visible picture).
EMSCRIPTEN_KEEPALIVE double lv_visible_score() {
  return Model().VisibleScore();
}

// The hidden score in dB; NaN when the result has no odd cells.
EMSCRIPTEN_KEEPALIVE double lv_hidden_score() {
  const std::optional<double> score = Model().HiddenScore();
  return score ? *score : __builtin_nan("");
}

// The band found from the result: average * 256 + contrast.
EMSCRIPTEN_KEEPALIVE int lv_found_band() {
  const TToneBand band = Model().FoundBand();
  return band.average * 256 + band.contrast;
}

// format: PNG, palette PNG, GIF, BMP (0 .. 3). The file's bytes are at lv_file() for
// lv_file_size() bytes until the next save.
EMSCRIPTEN_KEEPALIVE int lv_save(int format) {
  LastFile().clear();
  return Guarded([&] {
    LastFile() = Model().Save(static_cast<TPageFormat>(format < 0 || format > 3 ? 0 : format));
  });
}

EMSCRIPTEN_KEEPALIVE const uint8_t* lv_file() {
  return LastFile().data();
}

EMSCRIPTEN_KEEPALIVE int lv_file_size() {
  return static_cast<int>(LastFile().size());
}

}  // extern "C"
