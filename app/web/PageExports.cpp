// The functions the page's script calls (web/page.js). Each one that can fail returns 0 for
// done and -1 for failed, with the reason in lv_error(); pictures and files cross in the
// module's memory, whose blocks the script takes with malloc and gives back with free.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <exception>
#include <iterator>
#include <memory>
#include <span>
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

const TViewRow& ViewAt(int view) {
  const std::span<const TViewRow> views = ViewTable();
  return view >= 0 && static_cast<size_t>(view) < views.size() ? views[static_cast<size_t>(view)]
                                                               : ViewRowOf(TViewOptions{}.view);
}

TThumbnailFilter FilterAt(int filter) {
  return filter >= 0 && static_cast<size_t>(filter) < std::size(kAllFilters)
             ? kAllFilters[filter]
             : TViewOptions{}.filter;
}

std::unique_ptr<TTargetCheck>& LastCheck() {
  static std::unique_ptr<TTargetCheck> check;
  return check;
}

// A score for the page: NaN for none.
double Score(const std::optional<double>& psnr) {
  return psnr ? *psnr : __builtin_nan("");
}

const TTarget& TargetAt(int target) {
  const std::span<const TTarget> targets = Targets();
  return targets[target >= 0 && static_cast<size_t>(target) < targets.size()
                     ? static_cast<size_t>(target)
                     : 0];
}

const TPageSave& SaveAt(int save) {
  const std::vector<TPageSave>& saves = PageSaves();
  return saves[save >= 0 && static_cast<size_t>(save) < saves.size() ? static_cast<size_t>(save)
                                                                     : 0];
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

// The reveal views and the thumbnail filters, as the page lists them: from the table of
// views (ViewTable's order) and kAllFilters. An index out of range is the default's.
EMSCRIPTEN_KEEPALIVE int lv_view_count() {
  return static_cast<int>(ViewTable().size());
}

EMSCRIPTEN_KEEPALIVE const char* lv_view_name(int view) {
  return ViewAt(view).name;
}

EMSCRIPTEN_KEEPALIVE const char* lv_view_description(int view) {
  return ViewAt(view).description;
}

EMSCRIPTEN_KEEPALIVE int lv_default_view() {
  return static_cast<int>(TViewOptions{}.view);
}

EMSCRIPTEN_KEEPALIVE int lv_filter_count() {
  return static_cast<int>(std::size(kAllFilters));
}

EMSCRIPTEN_KEEPALIVE const char* lv_filter_name(int filter) {
  return FilterName(FilterAt(filter));
}

EMSCRIPTEN_KEEPALIVE int lv_make_reveal(int view, int size, int filter) {
  return Guarded([&] { Model().MakeReveal(ViewAt(view).value, size, FilterAt(filter)); });
}

// The targets (the catalogue's rows, in its order) and what the last checked one makes of
// the result: lv_check_target runs the check; the others read it (none before).
EMSCRIPTEN_KEEPALIVE int lv_target_count() {
  return static_cast<int>(Targets().size());
}

EMSCRIPTEN_KEEPALIVE const char* lv_target_name(int target) {
  return TargetAt(target).name;
}

EMSCRIPTEN_KEEPALIVE const char* lv_target_description(int target) {
  return TargetAt(target).description;
}

EMSCRIPTEN_KEEPALIVE int lv_check_target(int target) {
  LastCheck().reset();
  return Guarded([&] {
    auto check = std::make_unique<TTargetCheck>();
    Model().CheckTarget(TargetAt(target), *check);
    LastCheck() = std::move(check);
  });
}

// Copies a picture (which as for lv_width) into bgr, lv_width x lv_height pixels of three
// bytes: what the page hands its worker for a target's check.
EMSCRIPTEN_KEEPALIVE int lv_copy_picture(int which, uint8_t* bgr) {
  return Guarded([&] { Model().CopyPicture(PictureOf(which), bgr); });
}

// The check of a result given as pixels (width x height, three bytes each, as
// lv_copy_picture copies them) against the visible and the hidden picture of the same
// size, with the band average +- contrast: what the page's worker runs, in a module of its
// own.
EMSCRIPTEN_KEEPALIVE int lv_check_pixels(int target, int width, int height, const uint8_t* result,
                                         const uint8_t* visible, const uint8_t* hidden, int average,
                                         int contrast) {
  LastCheck().reset();
  return Guarded([&] {
    auto check = std::make_unique<TTargetCheck>();
    CheckPixels(TargetAt(target), width, height, result, visible, hidden,
                TToneBand{average, contrast}, *check);
    LastCheck() = std::move(check);
  });
}

EMSCRIPTEN_KEEPALIVE const char* lv_check_verdict() {
  return LastCheck() ? VerdictName(LastCheck()->verdict) : "";
}

EMSCRIPTEN_KEEPALIVE double lv_check_visible_score() {
  return LastCheck() ? LastCheck()->visible_psnr : __builtin_nan("");
}

EMSCRIPTEN_KEEPALIVE double lv_check_hidden_score() {
  return LastCheck() ? Score(LastCheck()->hidden_psnr) : __builtin_nan("");
}

EMSCRIPTEN_KEEPALIVE double lv_check_grey_score() {
  return LastCheck() ? Score(LastCheck()->hidden_grey_psnr) : __builtin_nan("");
}

// What the target's thumbnail shows ("none" when it makes none).
EMSCRIPTEN_KEEPALIVE const char* lv_check_thumbnail() {
  return LastCheck() ? ThumbnailShowsName(LastCheck()->thumbnail) : "";
}

// 1 when the band the PNG records is still there and still describes the picture.
EMSCRIPTEN_KEEPALIVE int lv_check_band_kept() {
  return LastCheck() && LastCheck()->band_survives ? 1 : 0;
}

// The visible score in dB (infinite for a result equal to the visible picture).
EMSCRIPTEN_KEEPALIVE double lv_visible_score() {
  return Model().VisibleScore();
}

// The hidden score in dB; NaN when the result has no odd cells.
EMSCRIPTEN_KEEPALIVE double lv_hidden_score() {
  return Score(Model().HiddenScore());
}

// The band found from the result: average * 256 + contrast.
EMSCRIPTEN_KEEPALIVE int lv_found_band() {
  const TToneBand band = Model().FoundBand();
  return band.average * 256 + band.contrast;
}

// The page's saves (PageSaves): how many, and each one's button text, tool tip and
// download name.
EMSCRIPTEN_KEEPALIVE int lv_save_count() {
  return static_cast<int>(PageSaves().size());
}

EMSCRIPTEN_KEEPALIVE const char* lv_save_label(int save) {
  return SaveAt(save).label.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* lv_save_title(int save) {
  return SaveAt(save).title.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* lv_save_file_name(int save) {
  return SaveAt(save).file_name.c_str();
}

// Saves the result; the file's bytes are at lv_file() for lv_file_size() bytes until the
// next save.
EMSCRIPTEN_KEEPALIVE int lv_save(int save) {
  LastFile().clear();
  return Guarded([&] { LastFile() = Model().Save(SaveAt(save)); });
}

EMSCRIPTEN_KEEPALIVE const uint8_t* lv_file() {
  return LastFile().data();
}

EMSCRIPTEN_KEEPALIVE int lv_file_size() {
  return static_cast<int>(LastFile().size());
}

}  // extern "C"
