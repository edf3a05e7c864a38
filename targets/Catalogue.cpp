#include "targets/Catalogue.h"

#include "base/NamedRows.h"

namespace {

// Checked by the tests: every recipe parses, names are unique and need no quoting.
constexpr TTarget kTargets[] = {
    {"lossless", "keeps the file byte for byte (a file host; a messenger's \"send as file\")",
     "generic row; re-saving a PNG losslessly keeps every pixel (measured with ImageMagick "
     "6.9.11, libvips 8.14, Pillow 9.4)",
     ""},
    {"jpeg85", "re-encodes every upload as JPEG at quality 85 with 4:2:0 chroma",
     "generic row: the usual default of photo uploads (messengers' \"photo\" sends, as commonly "
     "reported); 4:2:0 is libjpeg's default",
     "jpeg:85:420"},
    {"mastodon",
     "Mastodon: originals shrunk to 8,294,400 pixels and stripped, previews of 230,400 "
     "pixels, same format (libvips thumbnail, Lanczos3)",
     "mastodon/mastodon 4.x app/models/media_attachment.rb (IMAGE_LIMIT 16 MB, pixel budgets), "
     "lib/paperclip/vips_lazy_thumbnail.rb (thumbnail size: :down, metadata removed)",
     "bytes:16777216,strip,pixels:8294400:lanczos3|pixels:230400:lanczos3"},
    {"misskey",
     "Misskey: web copy within 2048 x 2048 (PNG stays PNG), thumbnail within 498 x 422 as "
     "WebP q85 (sharp, Lanczos3)",
     "misskey-dev/misskey packages/backend/src/core/ImageProcessingService.ts (webpDefault "
     "quality 85, smartSubsample), DriveService.ts (498 x 422, 2048 x 2048), 2024",
     "fit:2048x2048:lanczos3|fit:498x422:lanczos3,webp:85:sharp"},
    {"synapse",
     "Matrix Synapse: original kept, the 800 x 600 \"scale\" thumbnail made with Pillow's "
     "LANCZOS, PNG for a PNG (its size rounded down, as Synapse computes it)",
     "element-hq/synapse synapse/media/thumbnailer.py (Image.LANCZOS, aspect() in floor "
     "division, PNG or JPEG quality 80), "
     "synapse/config/repository.py (default thumbnail sizes), 2024",
     "|fit:800x600:lanczos3:down"},
    {"zulip", "Zulip: original kept, thumbnail within 840 x 560 as WebP at libvips' default Q 75",
     "zulip/zulip zerver/lib/thumbnail.py (pyvips thumbnail_buffer, THUMBNAIL_OUTPUT_FORMATS "
     "webp 840 x 560, written without options), 2024",
     "|fit:840x560:lanczos3,webp:75"},
    {"danbooru",
     "Danbooru: original kept, 180 x 180 thumbnail by libvips (Lanczos3) as JPEG Q 90, "
     "which libvips writes without chroma subsampling",
     "danbooru/danbooru app/logical/danbooru_image_resizer.rb (thumbnail size: :down, linear: "
     "false, jpegsave Q 90); libvips jpegsave: no subsampling at Q >= 90 (8.14)",
     "|fit:180x180:lanczos3,jpeg:90:444"},
    {"lemmy",
     "Lemmy (pict-rs): original kept, thumbnail=512 by point sampling (ImageMagick -sample)",
     "pict-rs src/processor.rs (thumbnail=N runs -sample NxN>; N from the client, 96, 512 and "
     "768 seen), 0.4",
     "|fit:512x512:point"},
    {"vichan",
     "vichan image board: files up to 10 MB kept, 255 x 255 PNG thumbnails by PHP GD "
     "(area averaging, taken as box)",
     "vichan-devel/vichan inc/config.php (max_filesize 10 MB, thumb_width 255, thumb_ext png), "
     "inc/image.php (imagecopyresampled), 2024",
     "bytes:10485760|fit:255x255:box"},
    {"imageboard",
     "a large image board: original kept, 250 x 250 thumbnails by PHP GD as JPEG quality 50",
     "as reported, 2017 on: shiimizu/thumb-gen README (OP thumbnails 250 x 250, quality 50, "
     "reproduced bit for bit with GD 2.0.35 and libjpeg 8d)",
     "|fit:250x250:box,jpeg:50:420"},
    {"microblog",
     "a large microblogging site: text chunks stripped; a palette PNG within 4096 x 4096 or a "
     "full-colour PNG within 900 x 900 and 5 MB kept, everything else JPEG q85",
     "as reported: the site's announcement, February 2019 (JPEG at 85 %, low-colour PNGs "
     "kept); a user report of 2023-12-01 (Comfy-Org/ComfyUI issue 2137: metadata stripped, "
     "5 MB, 900 x 900, palette 4096 x 4096)",
     "strip,keep:palette:4096x4096:5242880,keep:png:900x900:5242880,jpeg:85:420"},
};

}  // namespace

std::span<const TTarget> Targets() {
  return kTargets;
}

const TTarget* FindTarget(const std::string& name) {
  return RowNamed(Targets(), name);
}

TNamedTarget ResolveTarget(const std::string& text) {
  if (const TTarget* t = FindTarget(text))
    return {t->name, t->description, t->source, ParseTargetRecipe(t->recipe)};
  return {text, "the recipe given", "", ParseTargetRecipe(text)};
}
