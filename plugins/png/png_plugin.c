/* The PNG import plug-in: decodes PNG files with libpng into a 24-bit picture. Grey,
 * palette and RGB pictures of every bit depth are read, interlaced ones too.
 * Transparency (an alpha channel or a transparent colour) is composed over white at 16
 * bits per channel, rounded, and every channel is then brought to 8 bits as
 * floor(v * 255 / 65535) (an 8-bit value v * 257 gives v back). This is the arithmetic of
 * the reference decoder the tests compare with, so both give the same pixels. */
#include <png.h>
#include <setjmp.h>

#include "plugins/common/plugin_common.h"

static const char* const kInfo[] = {
    "00IN",
    "PNG import plug-in (libpng) for Lumiveil Maker",
    "*.png",
    "PNG image",
};

/* The three text chunks' names, each ended by a zero byte (the last by the literal's). */
static const char kTextChunks[] = "tEXt\0zTXt\0iTXt";

static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

typedef struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos;
} Reader;

static void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  Reader* r = (Reader*)png_get_io_ptr(png);
  if (count > r->size - r->pos) png_error(png, "truncated");
  memcpy(out, r->data + r->pos, count);
  r->pos += count;
}

static void OnError(png_structp png, png_const_charp message) {
  (void)message;
  png_longjmp(png, 1);
}

static void OnWarning(png_structp png, png_const_charp message) {
  (void)png;
  (void)message;
}

static int IsPNG(const void* data, intptr_t len) {
  return data != NULL && len >= 8 && memcmp(data, kSignature, 8) == 0;
}

/* Sets up the transformations: every picture becomes RGB or RGBA at 8 or 16 bits per
 * channel. */
static void SetTransforms(png_structp png, png_infop info) {
  png_set_expand(png);
  png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

/* A 16-bit channel c with alpha a (both 0..65535) over white, rounded, then at 8 bits. */
static uint8_t Channel8(uint32_t c, uint32_t a) {
  const uint64_t twice = 2 * ((uint64_t)c * a + (uint64_t)65535 * (65535 - a)) + 65535;
  const uint64_t composed = twice / (2 * 65535);
  return (uint8_t)(composed * 255 / 65535);
}

/* One row of RGB(A) at 8 or 16 bits into blue, green, red. */
static void ConvertRow(const uint8_t* in, uint8_t* out, int width, int channels, int depth) {
  int x, c;
  for (x = 0; x < width; ++x) {
    uint32_t v[4];
    if (depth == 16) {
      const uint8_t* p = in + (size_t)x * channels * 2;
      for (c = 0; c < channels; ++c) v[c] = (uint32_t)(p[2 * c] << 8 | p[2 * c + 1]);
    } else {
      const uint8_t* p = in + (size_t)x * channels;
      for (c = 0; c < channels; ++c) v[c] = p[c] * 257u;
    }
    if (channels == 3) v[3] = 65535;
    out[3 * x] = Channel8(v[2], v[3]);
    out[3 * x + 1] = Channel8(v[1], v[3]);
    out[3 * x + 2] = Channel8(v[0], v[3]);
  }
}

/* Whether every chunk before the image data fits in the file. libpng allocates a chunk's
 * claimed length before it reads the chunk, so an 8 KB file claiming a 500 MB text chunk
 * would cost 500 MB; such a file is refused before libpng sees it. Image data is read in
 * pieces and may be cut short (libpng then reports the damage itself). Every pass moves
 * on by at least 12 bytes. */
static int ChunksFit(const uint8_t* data, size_t size) {
  size_t pos = 8;
  while (size - pos >= 8) {
    const size_t length = (size_t)data[pos] << 24 | (size_t)data[pos + 1] << 16 |
                          (size_t)data[pos + 2] << 8 | data[pos + 3];
    const int idat = memcmp(data + pos + 4, "IDAT", 4) == 0;
    if (length > size - pos - 8) return idat;
    if (idat || memcmp(data + pos + 4, "IEND", 4) == 0) return 1;
    pos += 8 + length;
    if (size - pos < 4) return 1;
    pos += 4;
  }
  return 1;
}

/* The widest and the tallest picture whose 24-bit bitmap fits the plug-in's limit. */
static const uint64_t kMaxWidth = PLUGIN_MAX_PIXEL_BYTES / 4 * 32 / 24;
static const uint64_t kMaxHeight = PLUGIN_MAX_PIXEL_BYTES / 4;
/* The format's own limit on either dimension. */
static const uint32_t kFormatMax = 0x7FFFFFFFu;

static png_uint_32 Limited(uint64_t limit) {
  return limit > kFormatMax ? kFormatMax : (png_uint_32)limit;
}

/* libpng's own width and height limits (one million by default, which made a valid
 * picture of 1000001 x 1 look damaged) are set from the plug-in's picture limit; for the
 * picture information they are the format's, so that a picture over ours is told with its
 * size. */
static void SetSizeLimits(png_structp png, int describing) {
  png_set_user_limits(png, describing ? kFormatMax : Limited(kMaxWidth),
                      describing ? kFormatMax : Limited(kMaxHeight));
}

/* Whether the header chunk claims a width or height beyond what the plug-in decodes; such
 * a picture is answered as too large to make, before libpng refuses it as an error. */
static int ClaimsTooLarge(const uint8_t* data, size_t size) {
  uint64_t width, height;
  if (size < 24 || memcmp(data + 12, "IHDR", 4) != 0) return 0;
  width = (uint64_t)data[16] << 24 | (uint64_t)data[17] << 16 | (uint64_t)data[18] << 8 | data[19];
  height = (uint64_t)data[20] << 24 | (uint64_t)data[21] << 16 | (uint64_t)data[22] << 8 | data[23];
  return width > kMaxWidth || height > kMaxHeight;
}

static int Decode(const uint8_t* data, size_t size, SpiPictureInfo* picture_info, PluginDib* dib) {
  Reader reader = {data, size, 0};
  png_structp png;
  png_infop info;
  uint8_t* volatile buffer = NULL;
  volatile int result = SPI_BROKEN_DATA;
  if (!ChunksFit(data, size)) return SPI_BROKEN_DATA;
  if (picture_info == NULL && ClaimsTooLarge(data, size)) return SPI_NO_MEMORY;
  png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, OnError, OnWarning);
  if (png == NULL) return SPI_NO_MEMORY;
  info = png_create_info_struct(png);
  if (info == NULL) {
    png_destroy_read_struct(&png, NULL, NULL);
    return SPI_NO_MEMORY;
  }
  if (setjmp(png_jmpbuf(png))) {
    free(buffer);
    if (dib != NULL) PluginDibFree(dib);
    png_destroy_read_struct(&png, &info, NULL);
    return result;
  }
  png_set_read_fn(png, &reader, ReadFromMemory);
  SetSizeLimits(png, picture_info != NULL);
  /* Text chunks (among them the band that a combined picture records) say nothing about
   * the pixels: they are skipped unread, never kept or inflated. */
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, (png_const_bytep)kTextChunks, 3);
  png_read_info(png, info);
  {
    const int width = (int)png_get_image_width(png, info);
    const int height = (int)png_get_image_height(png, info);
    int channels, depth, passes, pass, y;
    size_t row_bytes;
    if (picture_info != NULL) {
      png_uint_32 xres = 0, yres = 0;
      int unit = 0;
      memset(picture_info, 0, sizeof *picture_info);
      picture_info->width = width;
      picture_info->height = height;
      picture_info->color_depth = 24; /* the bitmap handed back, whatever the file's depth */
      if (png_get_pHYs(png, info, &xres, &yres, &unit) && unit == PNG_RESOLUTION_METER) {
        picture_info->x_density = (uint16_t)((xres * 254 + 5000) / 10000);
        picture_info->y_density = (uint16_t)((yres * 254 + 5000) / 10000);
      }
      png_destroy_read_struct(&png, &info, NULL);
      return SPI_SUCCESS;
    }
    SetTransforms(png, info);
    channels = png_get_channels(png, info);
    depth = png_get_bit_depth(png, info);
    row_bytes = png_get_rowbytes(png, info);
    if ((channels != 3 && channels != 4) || (depth != 8 && depth != 16)) png_longjmp(png, 1);
    result = PluginDibCreate(dib, width, height, 24, 0);
    if (result != SPI_SUCCESS) png_longjmp(png, 1);
    result = SPI_BROKEN_DATA;
    passes = png_set_interlace_handling(png);
    if (passes > 1) {
      /* Interlaced: the passes fill a whole decoded picture, converted at the end. */
      if ((uint64_t)row_bytes * (uint64_t)height > PLUGIN_MAX_PIXEL_BYTES) {
        result = SPI_NO_MEMORY; /* over the limit, as PluginDibCreate answers */
        png_longjmp(png, 1);
      }
      buffer = (uint8_t*)malloc(row_bytes * (size_t)height);
      if (buffer == NULL) {
        result = SPI_NO_MEMORY;
        png_longjmp(png, 1);
      }
      for (pass = 0; pass < passes; ++pass)
        for (y = 0; y < height; ++y) png_read_row(png, buffer + row_bytes * (size_t)y, NULL);
      for (y = 0; y < height; ++y)
        ConvertRow(buffer + row_bytes * (size_t)y, PluginDibRow(dib, y), width, channels, depth);
    } else {
      buffer = (uint8_t*)malloc(row_bytes);
      if (buffer == NULL) {
        result = SPI_NO_MEMORY;
        png_longjmp(png, 1);
      }
      for (y = 0; y < height; ++y) {
        png_read_row(png, buffer, NULL);
        ConvertRow(buffer, PluginDibRow(dib, y), width, channels, depth);
      }
    }
    png_read_end(png, NULL);
  }
  free(buffer);
  png_destroy_read_struct(&png, &info, NULL);
  return SPI_SUCCESS;
}

PLUGIN_EXPORTS(kInfo, IsPNG, 8, Decode)
