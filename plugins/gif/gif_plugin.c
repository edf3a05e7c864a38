/* The GIF import plug-in: decodes the first frame of a GIF file with giflib. The picture
 * has the size of the logical screen (the frame's own extent when the screen size is
 * zero). The frame's transparent pixels are white; area the frame does not cover has the
 * screen's background colour (white without a global colour table), as giflib's own
 * tools paint it. A frame that fills the screen without transparency is handed back as
 * an 8-bit picture with the frame's colour table, any other as a 24-bit picture.
 *
 * Only the part of the frame that lies on the screen is kept, and the frame's rows are
 * decoded only as far as the last of them that does: a frame of 30000 x 30000 in a screen
 * of 1 x 1 costs one row of 30000 pixels, not 900 megapixels. */
#include <gif_lib.h>

#include "plugins/common/plugin_common.h"

static const char* const kInfo[] = {
    "00IN",
    "GIF import plug-in (giflib) for Lumiveil Maker",
    "*.gif",
    "GIF image",
};

typedef struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos;
} Reader;

static int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
  Reader* r = (Reader*)gif->UserData;
  size_t n = count > 0 ? (size_t)count : 0;
  if (n > r->size - r->pos) n = r->size - r->pos;
  memcpy(out, r->data + r->pos, n);
  r->pos += n;
  return (int)n;
}

static int IsGIF(const void* data, intptr_t len) {
  return data != NULL && len >= 6 &&
         (memcmp(data, "GIF87a", 6) == 0 || memcmp(data, "GIF89a", 6) == 0);
}

typedef struct Frame {
  int left, top, width, height;
  int transparent; /* index, or -1 */
  const ColorMapObject* colours;
  /* The part on the screen (the frame's offsets are never negative): its first
   * clip_width columns of its first clip_height rows. */
  int clip_width, clip_height;
  uint8_t* indices; /* clip_width * clip_height, rows from the top */
} Frame;

/* The screen's size: the logical screen, or the frame's extent when that is zero. */
static void CanvasSize(const GifFileType* gif, const Frame* frame, int* width, int* height) {
  *width = gif->SWidth;
  *height = gif->SHeight;
  if (*width <= 0 || *height <= 0) {
    *width = frame->left + frame->width;
    *height = frame->top + frame->height;
  }
}

/* Whether the frame is handed back as it is: filling the screen, without transparency. */
static int FrameIsPicture(const Frame* frame, int canvas_width, int canvas_height) {
  return frame->transparent < 0 && frame->left == 0 && frame->top == 0 &&
         frame->width == canvas_width && frame->height == canvas_height;
}

static int MinInt(int a, int b) {
  return a < b ? a : b;
}

/* Decodes the frame's rows that lie on the screen into frame->indices, through one row of
 * the frame's width; rows after the last of them are not decoded. */
static int DecodeClipped(GifFileType* gif, Frame* frame, int canvas_width, int canvas_height) {
  static const int kStart[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  const int passes = gif->Image.Interlace ? 4 : 1;
  int pass, y, left_to_do;
  uint8_t* row;
  frame->clip_width = MinInt(frame->width, canvas_width - frame->left);
  frame->clip_height = MinInt(frame->height, canvas_height - frame->top);
  if (frame->clip_width <= 0 || frame->clip_height <= 0) {
    frame->clip_width = frame->clip_height = 0;
    return SPI_SUCCESS; /* nothing of it shows */
  }
  frame->indices = (uint8_t*)malloc((size_t)frame->clip_width * (size_t)frame->clip_height);
  row = (uint8_t*)malloc((size_t)frame->width);
  if (frame->indices == NULL || row == NULL) {
    free(row);
    return SPI_NO_MEMORY;
  }
  left_to_do = frame->clip_height;
  for (pass = 0; pass < passes && left_to_do > 0; ++pass) {
    for (y = passes == 1 ? 0 : kStart[pass]; y < frame->height && left_to_do > 0;
         y += passes == 1 ? 1 : kStep[pass]) {
      if (DGifGetLine(gif, row, frame->width) != GIF_OK) {
        free(row);
        return SPI_BROKEN_DATA;
      }
      if (y < frame->clip_height) {
        memcpy(frame->indices + (size_t)y * frame->clip_width, row, (size_t)frame->clip_width);
        --left_to_do;
      }
    }
  }
  free(row);
  return SPI_SUCCESS;
}

/* Reads records up to the first image and, with pixels set, decodes it into
 * frame->indices. Without, only the image's description is read, so that the picture
 * information of a picture too large to decode still tells its size. */
static int ReadFirstFrame(GifFileType* gif, Frame* frame, int pixels) {
  GifRecordType type;
  frame->transparent = -1;
  for (;;) {
    if (DGifGetRecordType(gif, &type) != GIF_OK) return SPI_BROKEN_DATA;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = NULL;
      if (DGifGetExtension(gif, &code, &ext) != GIF_OK) return SPI_BROKEN_DATA;
      if (code == GRAPHICS_EXT_FUNC_CODE && ext != NULL && ext[0] >= 4) {
        GraphicsControlBlock gcb;
        if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK)
          frame->transparent = gcb.TransparentColor;
      }
      while (ext != NULL)
        if (DGifGetExtensionNext(gif, &ext) != GIF_OK) return SPI_BROKEN_DATA;
    } else if (type == IMAGE_DESC_RECORD_TYPE) {
      break;
    } else {
      return SPI_BROKEN_DATA; /* the file ends without an image */
    }
  }
  if (DGifGetImageDesc(gif) != GIF_OK) return SPI_BROKEN_DATA;
  frame->left = gif->Image.Left;
  frame->top = gif->Image.Top;
  frame->width = gif->Image.Width;
  frame->height = gif->Image.Height;
  frame->colours = gif->Image.ColorMap != NULL ? gif->Image.ColorMap : gif->SColorMap;
  if (frame->colours == NULL || frame->width <= 0 || frame->height <= 0) return SPI_BROKEN_DATA;
  if (!pixels) return SPI_SUCCESS;
  {
    int canvas_width, canvas_height;
    CanvasSize(gif, frame, &canvas_width, &canvas_height);
    /* A screen over the limit gets no frame decoded: PluginDibCreate refuses it after. */
    if ((uint64_t)canvas_width * (uint64_t)canvas_height * 3 > PLUGIN_MAX_PIXEL_BYTES)
      return SPI_NO_MEMORY;
    return DecodeClipped(gif, frame, canvas_width, canvas_height);
  }
}

static void PutColour(uint8_t* out, const ColorMapObject* colours, int index) {
  if (index < colours->ColorCount) {
    out[0] = colours->Colors[index].Blue;
    out[1] = colours->Colors[index].Green;
    out[2] = colours->Colors[index].Red;
  } else {
    out[0] = out[1] = out[2] = 0; /* an index beyond the table is black */
  }
}

static int Compose(const GifFileType* gif, const Frame* frame, int canvas_width, int canvas_height,
                   PluginDib* dib) {
  uint8_t background[3] = {0xFF, 0xFF, 0xFF};
  int x, y, result;
  const int indexed = FrameIsPicture(frame, canvas_width, canvas_height);
  if (indexed) {
    const int count = frame->colours->ColorCount;
    result = PluginDibCreate(dib, canvas_width, canvas_height, 8, 256);
    if (result != SPI_SUCCESS) return result;
    for (x = 0; x < 256 && x < count; ++x) PutColour(dib->palette + 4 * x, frame->colours, x);
    for (y = 0; y < canvas_height; ++y)
      memcpy(PluginDibRow(dib, y), frame->indices + (size_t)y * frame->clip_width,
             (size_t)frame->clip_width);
    return SPI_SUCCESS;
  }
  result = PluginDibCreate(dib, canvas_width, canvas_height, 24, 0);
  if (result != SPI_SUCCESS) return result;
  if (gif->SColorMap != NULL) PutColour(background, gif->SColorMap, gif->SBackGroundColor);
  for (y = 0; y < canvas_height; ++y) {
    uint8_t* row = PluginDibRow(dib, y);
    const int fy = y - frame->top;
    for (x = 0; x < canvas_width; ++x) {
      const int fx = x - frame->left;
      uint8_t* out = row + 3 * x;
      int index;
      if (fy < 0 || fy >= frame->clip_height || fx < 0 || fx >= frame->clip_width) {
        memcpy(out, background, 3);
        continue;
      }
      index = frame->indices[(size_t)fy * frame->clip_width + fx];
      if (index == frame->transparent)
        out[0] = out[1] = out[2] = 0xFF;
      else
        PutColour(out, frame->colours, index);
    }
  }
  return SPI_SUCCESS;
}

static int Decode(const uint8_t* data, size_t size, SpiPictureInfo* picture_info, PluginDib* dib) {
  Reader reader = {data, size, 0};
  int error = 0, result, canvas_width, canvas_height;
  Frame frame;
  GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
  if (gif == NULL) return error == D_GIF_ERR_NOT_ENOUGH_MEM ? SPI_NO_MEMORY : SPI_BROKEN_DATA;
  memset(&frame, 0, sizeof frame);
  result = ReadFirstFrame(gif, &frame, picture_info == NULL);
  if (result == SPI_SUCCESS) {
    CanvasSize(gif, &frame, &canvas_width, &canvas_height);
    if (picture_info != NULL) {
      memset(picture_info, 0, sizeof *picture_info);
      picture_info->width = canvas_width;
      picture_info->height = canvas_height;
      /* The bitmap handed back: the frame's 8 bits, or 24 composed. */
      picture_info->color_depth =
          (int16_t)(FrameIsPicture(&frame, canvas_width, canvas_height) ? 8 : 24);
    } else {
      result = Compose(gif, &frame, canvas_width, canvas_height, dib);
    }
  }
  free(frame.indices);
  DGifCloseFile(gif, &error);
  return result;
}

PLUGIN_EXPORTS(kInfo, IsGIF, 6, Decode)
