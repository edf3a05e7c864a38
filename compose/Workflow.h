// The main window's state and commands without any toolkit: the three picture slots, the
// load flags, the two sliders with the contrast limit, the x, y edits, and the commands
// that resize, compose and synthesize. The window and the command-line tool both drive
// this model, so every computation runs the same code; a front end only shows dialogs,
// reads files and shows what the model tells it to show.
#pragma once

#include <functional>
#include <memory>
#include <string>

class TBitmap;

// The image boxes of the window, one per slot.
enum class TSlot { slExternal, slInner, slResult };

class TWorkflow {
 public:
  // Makes an empty raster for the visible and the hidden slot. The window passes one that
  // makes rasters with the plug-in-aware loader; by default they are plain TBitmaps.
  using TSlotFactory = std::function<std::unique_ptr<TBitmap>()>;
  // Loads a picture into the slot it is given (for example with the slot's own
  // LoadFromFile, or by assigning a picture the front end has read). Raises on failure.
  using TLoader = std::function<void(TBitmap& slot)>;

  explicit TWorkflow(const TSlotFactory& slot_factory = nullptr);
  ~TWorkflow();
  TWorkflow(const TWorkflow&) = delete;
  TWorkflow& operator=(const TWorkflow&) = delete;

  TBitmap& ExternalBitmap() { return *external_; }
  TBitmap& InnerBitmap() { return *inner_; }
  TBitmap& ResultBitmap() { return *result_; }
  const TBitmap& ExternalBitmap() const { return *external_; }
  const TBitmap& InnerBitmap() const { return *inner_; }
  const TBitmap& ResultBitmap() const { return *result_; }
  bool ExternalLoaded() const { return external_loaded_; }
  bool InnerLoaded() const { return inner_loaded_; }

  // --- Loading ("Load Visible Image", "Load Hiden Image") ---
  // The visible picture: `loader` fills the slot, which is then converted to 24 bits per
  // pixel and shown; the edits take its width and height and ExternalLoaded becomes true.
  // Any failure ends the command silently (false): the flag keeps its value and the slot
  // is as it was before. A load that gives an empty picture (an empty file) is a failure
  // too. `failure`, when given, receives what a person is told of a failure (the
  // exception's message with its sense and detail) and is emptied on success.
  bool LoadExternalImage(const TLoader& loader, std::string* failure = nullptr);
  // The hidden picture. With a loader (the dialog was accepted and the file exists) the
  // slot is filled and converted as above, failures again silent and told in `failure`.
  // Then in every case, also with an empty loader for a cancelled dialog or a missing
  // file: the hidden picture is fitted to the visible picture's size and shown, and when a
  // visible picture has been loaded the checkerboard preview is composed and shown. These
  // last steps raise their failures. Returns whether the hidden picture was loaded.
  bool LoadInnerImage(const TLoader& loader, std::string* failure = nullptr);

  // --- "Resize" (and the invisible "Size Fit") ---
  void SizeFit();

  // --- The x, y edits ---
  const std::string& XEditText() const { return x_text_; }
  const std::string& YEditText() const { return y_text_; }
  // What the user types; nothing happens until the focus leaves the edit.
  void SetXEditText(const std::string& text) { x_text_ = text; }
  void SetYEditText(const std::string& text) { y_text_ = text; }
  // Leaving XEdit: X from its text as an integer, Yt from YEdit's text as a number,
  // Y = truncate((Yt * X) / W) with W the visible picture's width, in extended precision.
  // YEdit shows Y, the visible picture is resized to X x Y and, when a hidden picture has
  // been loaded, fitted to the new size. A text that does not convert (EConvertError), a
  // zero width (EZeroDivide, or EInvalidOp for 0 / 0) or a size of 0 or below
  // (EInvalidGraphicOperation) ends the command before anything changes. A size that
  // cannot be made (too large a picture) changes nothing either: both pictures take their
  // new size together once both resizes have succeeded, and YEdit shows its text again.
  void XEditChange();
  // Leaving YEdit: the mirror image, X = truncate((Xt * Y) / H).
  void YEditChange();

  // --- The sliders ---
  int Average() const { return average_; }
  int Contrast() const { return contrast_; }
  // Whether the result's odd cells carry the hidden picture mapped into the band of the
  // current A and C (after a slider change or Synthesize), not a preview's unmapped cells.
  bool ResultToneMapped() const { return result_tone_mapped_; }
  // The contrast slider's maximum: 128 at start, L(A) after every average change.
  int ContrastMax() const { return contrast_max_; }
  // The label at the contrast slider's right end: "255" at start, then L(A).
  const std::string& MaxLabel() const { return max_label_; }
  // The average slider's change handler, run when its position changes (taken within
  // 0 .. 255 as the slider keeps it). The contrast maximum becomes L(A); when that pulls
  // the contrast position down, the contrast handler runs first, nested, as the slider
  // control raises it. Then the odd cells of the result are mapped again.
  void AverageTrackBarChange(int position);
  // The contrast slider's change handler (position taken within 0 .. the maximum): maps
  // the odd cells of the result again with the current A and C.
  void MinMaxTrackBarChange(int position);

  // --- "Synthesize" ---
  // The checkerboard with the tone mapping of the current A and C; a hidden picture of
  // another size is refitted first.
  void Synthesize();
  // The checkerboard alone, as after a hidden picture is loaded.
  void ComposePreview();

  // --- A batch job ---
  // A batch job (the command-line tool) shows nothing and saves only the result of its
  // last command. When set, the steps that only refresh what a window shows are skipped:
  // the checkerboard preview after the hidden picture is loaded and the remapping after
  // each slider change (the final Synthesize or ComposePreview writes every cell of the
  // result anyway). Synthesize and ComposePreview then make the result in the visible
  // picture's store and leave the visible and the hidden slot empty, so that the job never
  // holds a third full-size picture (see SynthesizeConsuming). The hidden picture is
  // refitted by those two, not when it is loaded: enlarged both ways, its rows go straight
  // into the odd cells, and the job holds no second full-size picture either. The result
  // is the same.
  bool BatchJob = false;

  // --- What the front end shows ---
  // An image box is to show its slot anew (boxes keep their own copy of a raster).
  std::function<void(TSlot)> OnShow;
  // The edits' texts, the contrast slider's maximum or position, or MaxLabel changed.
  // A window sets its controls from the model without raising their change events again.
  std::function<void()> OnControlsChanged;

 private:
  void Show(TSlot slot);
  void ControlsChanged();
  // Fills `slot` with the loader and converts it to 24 bits per pixel; false, with the
  // slot put back as it was and the reason in `failure`, when that raised or gave no
  // picture.
  static bool LoadSlot(TBitmap& slot, const TLoader& loader, std::string* failure);
  // Y (or X) from the partner's value, the typed value and the current size.
  static int ScaledPartner(long double partner, int typed, int size);
  // Resizes the pictures to x by y; `partner` is the other edit's text before the command
  // rewrote it, shown again when the size cannot be made.
  void ApplyEdits(int x, int y, std::string& partner_text, const std::string& partner);
  // The batch job's end: the visible and hidden slots are emptied.
  void ReleaseSources();

  std::unique_ptr<TBitmap> result_;
  std::unique_ptr<TBitmap> external_;
  std::unique_ptr<TBitmap> inner_;
  bool external_loaded_ = false;
  bool inner_loaded_ = false;
  std::string x_text_ = "0";
  std::string y_text_ = "0";
  int average_ = 128;
  int contrast_ = 127;
  int contrast_max_ = 128;
  std::string max_label_ = "255";
  bool result_tone_mapped_ = false;
};
