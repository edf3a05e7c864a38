/* The JPEG import plug-in: decodes JPEG files (baseline and progressive, grey and colour)
 * with libjpeg-turbo into a 24-bit picture, with libjpeg's default (most accurate)
 * settings. Four-component (CMYK) files are not read.
 *
 * Two bounds keep a small file from costing unbounded time or memory:
 * - at most JPEG_MAX_SCANS scans. Every scan makes the decoder visit every block of its
 *   components, even a scan that holds nothing, so a file of a few megabytes with tens of
 *   thousands of empty scans would take minutes. The progressive scripts encoders write
 *   have from 6 (grey) and 10 (colour, libjpeg's own) to a few dozen scans; 100 leaves
 *   room for any of them and holds the worst file of the largest picture we read to about
 *   100 passes over its blocks.
 * - libjpeg's working memory (the coefficients a progressive or multi-scan picture keeps
 *   whole) at most twice the picture's own bitmap and 16 MiB: a colour picture whose
 *   components are all at full resolution needs twice its bitmap, every other less.
 * Both are told before decoding in the picture information's text ("refused: ..."), and a
 * file that ends before its last scan does ("note: cut short: ..."), as the host reads
 * that text. */
#include <limits.h>
#include <setjmp.h>
#include <stdio.h>

#include <jpeglib.h>
/* After jpeglib.h, which it needs. */
#include <jerror.h>

#include "plugins/common/plugin_common.h"

#define JPEG_MAX_SCANS 100
#define JPEG_WORKING_SLACK ((uint64_t)16 << 20)

/* The first extension entry lists the usual endings together, as a host's open dialog
 * offers the first entry alone. A host registers and matches an entry by its last ending
 * only, so .jpg and .jpeg have entries of their own too. */
static const char* const kInfo[] = {
    "00IN",
    "JPEG import plug-in (libjpeg-turbo) for Lumiveil Maker",
    "*.jpg;*.jpeg;*.jpe",
    "JPEG image",
    "*.jpg",
    "JPEG image",
    "*.jpeg",
    "JPEG image",
    "*.jfif",
    "JPEG image",
};

typedef struct ErrorManager {
  struct jpeg_error_mgr pub;
  jmp_buf jump;
  int too_many_scans;
} ErrorManager;

static void OnError(j_common_ptr cinfo) {
  longjmp(((ErrorManager*)cinfo->err)->jump, 1);
}

static void OnMessage(j_common_ptr cinfo) {
  (void)cinfo;
}

/* Stops the decoder once it meets a scan beyond the bound, as libjpeg's documentation
 * suggests: libjpeg calls this between its units of work. */
static void OnProgress(j_common_ptr cinfo) {
  if (((j_decompress_ptr)cinfo)->input_scan_number > JPEG_MAX_SCANS) {
    ((ErrorManager*)cinfo->err)->too_many_scans = 1;
    OnError(cinfo);
  }
}

/* A JPEG stream starts with the start-of-image marker and another marker. */
static int IsJPEG(const void* data, intptr_t len) {
  const uint8_t* p = (const uint8_t*)data;
  return p != NULL && len >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF;
}

/* What the markers of a file say, without decoding: the scans (counted up to one past the
 * bound) and whether the data reaches the end-of-image marker. */
typedef struct Layout {
  int scans;
  int complete;
} Layout;

/* Skips entropy-coded data from pos to the next marker: 0xFF followed by neither 0x00 (a
 * stuffed byte) nor a restart marker, nor another 0xFF (fill). */
static size_t SkipEntropyData(const uint8_t* p, size_t size, size_t pos) {
  while (pos < size) {
    const uint8_t* ff = (const uint8_t*)memchr(p + pos, 0xFF, size - pos);
    uint8_t next;
    if (ff == NULL || (size_t)(ff - p) + 1 >= size) return size;
    pos = (size_t)(ff - p);
    next = p[pos + 1];
    if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
      pos += 2;
    } else if (next == 0xFF) {
      pos += 1;
    } else {
      return pos;
    }
  }
  return size;
}

static Layout ReadLayout(const uint8_t* p, size_t size) {
  Layout layout = {0, 0};
  size_t pos = 2; /* after the start-of-image marker */
  while (pos < size && layout.scans <= JPEG_MAX_SCANS) {
    uint8_t marker;
    size_t length;
    if (p[pos] != 0xFF) { /* stray bytes between segments, as libjpeg skips them */
      ++pos;
      continue;
    }
    while (pos < size && p[pos] == 0xFF) ++pos;
    if (pos >= size) break;
    marker = p[pos++];
    if (marker == 0xD9) {
      layout.complete = 1;
      break;
    }
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (size - pos < 2) break;
    length = (size_t)p[pos] << 8 | p[pos + 1];
    if (length < 2 || length > size - pos) break;
    pos += length;
    if (marker == 0xDA) {
      ++layout.scans;
      pos = SkipEntropyData(p, size, pos);
    }
  }
  return layout;
}

/* The bytes of libjpeg's whole-image coefficient buffers for the picture whose header has
 * been read: none for a single interleaved scan, else 64 coefficients of 2 bytes for every
 * block of every component, rounded to its sampling factors as libjpeg allocates them. */
static uint64_t CoefficientBytes(const struct jpeg_decompress_struct* cinfo) {
  uint64_t bytes = 0;
  int c;
  if (!cinfo->progressive_mode && cinfo->comps_in_scan >= cinfo->num_components) return 0;
  for (c = 0; c < cinfo->num_components; ++c) {
    const jpeg_component_info* comp = &cinfo->comp_info[c];
    const uint64_t h = (uint64_t)comp->h_samp_factor;
    const uint64_t v = (uint64_t)comp->v_samp_factor;
    const uint64_t wide = ((uint64_t)comp->width_in_blocks + h - 1) / h * h;
    const uint64_t high = ((uint64_t)comp->height_in_blocks + v - 1) / v * v;
    bytes += wide * high * 64 * sizeof(JCOEF);
  }
  return bytes;
}

/* The working memory the decoder may take for a picture whose bitmap has `bitmap` bytes. */
static uint64_t WorkingBound(uint64_t bitmap) {
  return 2 * bitmap + JPEG_WORKING_SLACK;
}

static uint64_t BitmapBytes(uint64_t width, uint64_t height) {
  return (width * 24 + 31) / 32 * 4 * height;
}

/* The picture information, with what the host should know before it asks for the picture:
 * too many scans or too much working memory (refused), or data cut short (a note). */
static int DescribePicture(const uint8_t* data, size_t size,
                           const struct jpeg_decompress_struct* cinfo,
                           SpiPictureInfo* picture_info) {
  char text[200];
  const Layout layout = ReadLayout(data, size);
  const uint64_t working = CoefficientBytes(cinfo);
  const uint64_t bound = WorkingBound(BitmapBytes(cinfo->image_width, cinfo->image_height));
  memset(picture_info, 0, sizeof *picture_info);
  picture_info->width = (int32_t)cinfo->image_width;
  picture_info->height = (int32_t)cinfo->image_height;
  picture_info->color_depth = 24; /* the bitmap handed back, whatever the components */
  if (cinfo->saw_JFIF_marker && cinfo->density_unit == 1) {
    picture_info->x_density = cinfo->X_density;
    picture_info->y_density = cinfo->Y_density;
  }
  text[0] = '\0';
  if (layout.scans > JPEG_MAX_SCANS)
    snprintf(text, sizeof text,
             "refused: the file has more than %d scans, the most a JPEG picture is read with",
             JPEG_MAX_SCANS);
  else if (working > bound)
    snprintf(text, sizeof text,
             "refused: decoding it would take %lu MiB of working memory, more than twice "
             "its picture",
             (unsigned long)((working + ((uint64_t)1 << 20) - 1) >> 20));
  else if (!layout.complete)
    snprintf(text, sizeof text, "%s",
             cinfo->progressive_mode
                 ? "note: cut short: the scans after the cut are missing, so the picture "
                   "lacks detail, and rows that no scan reached are grey"
                 : "note: cut short: the missing rows are grey");
  return text[0] != '\0' ? PluginSetInfoText(picture_info, text) : SPI_SUCCESS;
}

static int Decode(const uint8_t* data, size_t size, SpiPictureInfo* picture_info, PluginDib* dib) {
  struct jpeg_decompress_struct cinfo;
  struct jpeg_progress_mgr progress;
  ErrorManager err;
  volatile int result = SPI_BROKEN_DATA;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = OnError;
  err.pub.output_message = OnMessage;
  err.too_many_scans = 0;
  if (setjmp(err.jump)) {
    /* The bounds are no damage: the decoder was stopped, or refused more memory. */
    if (err.too_many_scans)
      result = SPI_ABORTED;
    else if (err.pub.msg_code == JERR_NO_BACKING_STORE || err.pub.msg_code == JERR_OUT_OF_MEMORY)
      result = SPI_NO_MEMORY;
    if (dib != NULL) PluginDibFree(dib);
    jpeg_destroy_decompress(&cinfo);
    return result;
  }
  jpeg_create_decompress(&cinfo);
  progress.progress_monitor = OnProgress;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, data, (unsigned long)size);
  jpeg_read_header(&cinfo, TRUE);
  if (picture_info != NULL) {
    result = DescribePicture(data, size, &cinfo, picture_info);
    jpeg_destroy_decompress(&cinfo);
    return result;
  }
  if (cinfo.num_components != 1 && cinfo.num_components != 3) {
    result = SPI_UNKNOWN_FORMAT;
    longjmp(err.jump, 1);
  }
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_calc_output_dimensions(&cinfo);
  result = PluginDibCreate(dib, (int)cinfo.output_width, (int)cinfo.output_height, 24, 0);
  if (result != SPI_SUCCESS) longjmp(err.jump, 1);
  /* Beyond this libjpeg stops with an error instead of allocating (it has no backing
   * store to turn to). */
  {
    const uint64_t bound = WorkingBound(BitmapBytes(cinfo.output_width, cinfo.output_height));
    cinfo.mem->max_memory_to_use = bound > (uint64_t)LONG_MAX ? LONG_MAX : (long)bound;
  }
  result = SPI_BROKEN_DATA;
  jpeg_start_decompress(&cinfo);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW out = PluginDibRow(dib, (int)cinfo.output_scanline);
    jpeg_read_scanlines(&cinfo, &out, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return SPI_SUCCESS;
}

PLUGIN_EXPORTS(kInfo, IsJPEG, 3, Decode)
