// Running a target's pipeline on a picture: the real codecs and filters, step by step.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "raster/Bitmap.h"
#include "targets/Recipe.h"

// What the place receives: the uploaded file's facts that its steps look at.
enum class TUploadKind { ukOther, ukPng, ukPalettePng };
struct TUpload {
  int64_t bytes = -1;  // the file's length; -1 when unknown (no bytes step applies)
  TUploadKind kind = TUploadKind::ukOther;
  bool has_text = false;  // the file holds text chunks (our band's)
};

// Not copied (it holds a picture); RunPipeline sets every field.
struct TPipelineRun {
  TBitmap picture;        // what the place shows
  int64_t limit = -1;     // the bytes step's limit; -1 none
  bool refused = false;   // the upload is over the limit (the steps still ran: what it would do)
  bool kept = false;      // a keep step kept the file as uploaded
  bool text_kept = true;  // the upload's text chunks are still there
  bool encoded = false;   // a codec step ran: `bytes` is its stream's length
  int64_t bytes = -1;     // the stored file's length (the upload's when nothing re-encoded it)
};

// Pictures made by pipelines, by the input they started from and the steps that made them,
// so that targets sharing their first steps make them once.
class TPipelineCache {
 public:
  struct TMade {
    TBitmap picture;
    int64_t bytes = -1;  // the stored file's length after the step
  };
  const TMade* Find(const std::string& key) const;
  void Store(const std::string& key, const TBitmap& picture, int64_t bytes);

 private:
  std::map<std::string, TMade> made_;
};

// Runs `pipeline` on `in` (24 bits, not empty). With geometry_only the codec steps are left
// out (the picture as the place's shrinking alone leaves it). `tag` names the input for the
// cache (null: nothing cached).
void RunPipeline(const TBitmap& in, const TPipeline& pipeline, const TUpload& upload,
                 TPipelineRun& run, bool geometry_only = false, TPipelineCache* cache = nullptr,
                 const char* tag = nullptr);
