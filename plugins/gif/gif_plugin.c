/* The GIF import plug-in: decodes the first frame of a GIF file with giflib. The picture
 * has the size of the logical screen (the frame's own extent when the screen size is
 * zero). The frame's transparent pixels are white; area the frame does not cover has the
 * screen's background colour (white without a global colour table), as giflib's own
 * tools paint it. A frame that fills the screen without transparency is handed back as
 * an 8-bit picture with the frame's colour table, any other as a 24-bit picture. */
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
  uint8_t* indices; /* width * height, rows from the top */
} Frame;

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
  if ((uint64_t)frame->width * (uint64_t)frame->height > PLUGIN_MAX_PIXEL_BYTES)
    return SPI_NO_MEMORY; /* over the limit, as PluginDibCreate answers */
  frame->indices = (uint8_t*)malloc((size_t)frame->width * (size_t)frame->height);
  if (frame->indices == NULL) return SPI_NO_MEMORY;
  if (gif->Image.Interlace) {
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    int pass, y;
    for (pass = 0; pass < 4; ++pass)
      for (y = kStart[pass]; y < frame->height; y += kStep[pass])
        if (DGifGetLine(gif, frame->indices + (size_t)y * frame->width, frame->width) != GIF_OK)
          return SPI_BROKEN_DATA;
  } else {
    int y;
    for (y = 0; y < frame->height; ++y)
      if (DGifGetLine(gif, frame->indices + (size_t)y * frame->width, frame->width) != GIF_OK)
        return SPI_BROKEN_DATA;
  }
  return SPI_SUCCESS;
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
  const int indexed = frame->transparent < 0 && frame->left == 0 && frame->top == 0 &&
                      frame->width == canvas_width && frame->height == canvas_height;
  if (indexed) {
    const int count = frame->colours->ColorCount;
    result = PluginDibCreate(dib, canvas_width, canvas_height, 8, 256);
    if (result != SPI_SUCCESS) return result;
    for (x = 0; x < 256 && x < count; ++x) PutColour(dib->palette + 4 * x, frame->colours, x);
    for (y = 0; y < canvas_height; ++y)
      memcpy(PluginDibRow(dib, y), frame->indices + (size_t)y * frame->width, (size_t)frame->width);
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
      if (fy < 0 || fy >= frame->height || fx < 0 || fx >= frame->width) {
        memcpy(out, background, 3);
        continue;
      }
      index = frame->indices[(size_t)fy * frame->width + fx];
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
    canvas_width = gif->SWidth;
    canvas_height = gif->SHeight;
    if (canvas_width <= 0 || canvas_height <= 0) {
      canvas_width = frame.left + frame.width;
      canvas_height = frame.top + frame.height;
    }
    if (picture_info != NULL) {
      memset(picture_info, 0, sizeof *picture_info);
      picture_info->width = canvas_width;
      picture_info->height = canvas_height;
      picture_info->color_depth = (int16_t)frame.colours->BitsPerPixel;
    } else {
      result = Compose(gif, &frame, canvas_width, canvas_height, dib);
    }
  }
  free(frame.indices);
  DGifCloseFile(gif, &error);
  return result;
}

PLUGIN_EXPORTS(kInfo, IsGIF, 6, Decode)
