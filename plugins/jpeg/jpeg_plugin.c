/* The JPEG import plug-in: decodes JPEG files (baseline and progressive, grey and colour)
 * with libjpeg-turbo into a 24-bit picture, with libjpeg's default (most accurate)
 * settings. Four-component (CMYK) files are not read. */
#include <setjmp.h>
#include <stdio.h>

#include <jpeglib.h>

#include "plugins/common/plugin_common.h"

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
} ErrorManager;

static void OnError(j_common_ptr cinfo) {
  longjmp(((ErrorManager*)cinfo->err)->jump, 1);
}

static void OnMessage(j_common_ptr cinfo) {
  (void)cinfo;
}

/* A JPEG stream starts with the start-of-image marker and another marker. */
static int IsJPEG(const void* data, intptr_t len) {
  const uint8_t* p = (const uint8_t*)data;
  return p != NULL && len >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF;
}

static int Decode(const uint8_t* data, size_t size, SpiPictureInfo* picture_info, PluginDib* dib) {
  struct jpeg_decompress_struct cinfo;
  ErrorManager err;
  volatile int result = SPI_BROKEN_DATA;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = OnError;
  err.pub.output_message = OnMessage;
  if (setjmp(err.jump)) {
    if (dib != NULL) PluginDibFree(dib);
    jpeg_destroy_decompress(&cinfo);
    return result;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, (unsigned long)size);
  jpeg_read_header(&cinfo, TRUE);
  if (picture_info != NULL) {
    memset(picture_info, 0, sizeof *picture_info);
    picture_info->width = (int32_t)cinfo.image_width;
    picture_info->height = (int32_t)cinfo.image_height;
    picture_info->color_depth = (int16_t)(8 * cinfo.num_components);
    if (cinfo.saw_JFIF_marker && cinfo.density_unit == 1) {
      picture_info->x_density = cinfo.X_density;
      picture_info->y_density = cinfo.Y_density;
    }
    jpeg_destroy_decompress(&cinfo);
    return SPI_SUCCESS;
  }
  if (cinfo.num_components != 1 && cinfo.num_components != 3) {
    result = SPI_UNKNOWN_FORMAT;
    longjmp(err.jump, 1);
  }
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_calc_output_dimensions(&cinfo);
  result = PluginDibCreate(dib, (int)cinfo.output_width, (int)cinfo.output_height, 24, 0);
  if (result != SPI_SUCCESS) longjmp(err.jump, 1);
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
