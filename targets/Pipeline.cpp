#include "targets/Pipeline.h"

#include "targets/Codecs.h"
#include "targets/Resample.h"

const TPipelineCache::TMade* TPipelineCache::Find(const std::string& key) const {
  const auto it = made_.find(key);
  return it == made_.end() ? nullptr : &it->second;
}

void TPipelineCache::Store(const std::string& key, const TBitmap& picture, int64_t bytes) {
  TMade& made = made_[key];
  made.picture.Assign(&picture);  // shares the pixels
  made.bytes = bytes;
}

namespace {

bool Keeps(const TStep& step, const TBitmap& in, const TUpload& upload) {
  const bool kind = step.keep == TKeepKind::kkPalette ? upload.kind == TUploadKind::ukPalettePng
                                                      : upload.kind != TUploadKind::ukOther;
  const bool size = in.Width() <= step.width && in.Height() <= step.height;
  const bool bytes = step.count == 0 || (upload.bytes >= 0 && upload.bytes <= step.count);
  return kind && size && bytes;
}

}  // namespace

void RunPipeline(const TBitmap& in, const TPipeline& pipeline, const TUpload& upload,
                 TPipelineRun& run, bool geometry_only, TPipelineCache* cache, const char* tag) {
  run.limit = -1;
  run.refused = run.kept = run.encoded = false;
  run.text_kept = upload.has_text;
  run.bytes = upload.bytes;
  run.picture.Assign(&in);
  std::string key = tag != nullptr ? std::string(tag) + (geometry_only ? "/g" : "/a") : "";
  for (const TStep& step : pipeline) {
    switch (step.kind) {
      case TStepKind::skBytes:
        run.limit = step.count;
        run.refused = upload.bytes > step.count;
        continue;
      case TStepKind::skKeep:
        if (Keeps(step, in, upload)) {
          run.kept = true;
          return;
        }
        continue;
      case TStepKind::skStrip:
        run.text_kept = false;
        continue;
      case TStepKind::skJpeg:
      case TStepKind::skWebp:
        run.text_kept = false;
        run.encoded = true;
        if (geometry_only) continue;
        break;
      case TStepKind::skFit:
      case TStepKind::skPixels:
        break;
    }
    key += "," + StepText(step);
    if (cache != nullptr && tag != nullptr) {
      if (const TPipelineCache::TMade* made = cache->Find(key)) {
        run.picture.Assign(&made->picture);
        run.bytes = made->bytes;
        continue;
      }
    }
    TBitmap next;
    switch (step.kind) {
      case TStepKind::skJpeg:
        JpegRoundTrip(run.picture, {step.quality, step.subsample420}, next, run.bytes);
        break;
      case TStepKind::skWebp:
        WebpRoundTrip(run.picture, {step.quality, step.lossless, step.sharp}, next, run.bytes);
        break;
      case TStepKind::skFit:
      case TStepKind::skPixels: {
        const TViewSize size = StepSize(step, run.picture.Width(), run.picture.Height());
        if (size.width == run.picture.Width() && size.height == run.picture.Height()) continue;
        Shrink(run.picture, size, step.filter, next);
        break;
      }
      default:
        continue;
    }
    run.picture.Assign(&next);
    if (cache != nullptr && tag != nullptr) cache->Store(key, run.picture, run.bytes);
  }
}
