#include "raster/JPEGCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "raster/BmpFormat.h"

namespace {

struct TErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

// Warnings (corrupt data that libjpeg works around) are not failures and are not printed.
void OutputMessage(j_common_ptr) {}

void SetUp(jpeg_decompress_struct* cinfo, TErrorManager* err) {
  cinfo->err = jpeg_std_error(&err->pub);
  err->pub.error_exit = ErrorExit;
  err->pub.output_message = OutputMessage;
}

}  // namespace

int ReadJPEGHeader(const uint8_t* data, size_t size, TJPEGHeader* header) {
  jpeg_decompress_struct cinfo;
  TErrorManager err;
  SetUp(&cinfo, &err);
  if (setjmp(err.jump)) {
    const int code = err.pub.msg_code;
    jpeg_destroy_decompress(&cinfo);
    return code;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  header->width = static_cast<int>(cinfo.image_width);
  header->height = static_cast<int>(cinfo.image_height);
  header->components = cinfo.num_components;
  header->progressive = jpeg_has_multiple_scans(&cinfo) != 0;
  jpeg_destroy_decompress(&cinfo);
  return 0;
}

int DecodeJPEG(const uint8_t* data, size_t size, const TJPEGDecodeOptions& options,
               TJPEGPixels* result) {
  jpeg_decompress_struct cinfo;
  TErrorManager err;
  // Volatile: these change after setjmp and are read after the jump back.
  uint8_t* volatile pixels = nullptr;
  volatile int failure = 0;
  SetUp(&cinfo, &err);
  if (setjmp(err.jump)) {
    const int code = failure != 0 ? failure : err.pub.msg_code;
    jpeg_destroy_decompress(&cinfo);
    std::free(pixels);
    return code;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGR;
  cinfo.scale_num = 1;
  cinfo.scale_denom = static_cast<unsigned>(options.scale_denom);
  cinfo.dct_method = options.fast ? JDCT_IFAST : JDCT_ISLOW;
  cinfo.do_fancy_upsampling = options.fast ? FALSE : TRUE;
  cinfo.do_block_smoothing = options.smoothing ? TRUE : FALSE;
  jpeg_calc_output_dimensions(&cinfo);
  // The size check comes before libjpeg allocates its own buffers for the picture.
  const auto store = ComputeStoreSize(cinfo.output_width, cinfo.output_height, 24);
  if (!store) {
    failure = kJPEGTooLarge;
    std::longjmp(err.jump, 1);
  }
  const size_t row_bytes = static_cast<size_t>(cinfo.output_width) * 3;
  pixels = static_cast<uint8_t*>(std::malloc(row_bytes * cinfo.output_height));
  if (pixels == nullptr) {
    failure = kJPEGNoMemory;
    std::longjmp(err.jump, 1);
  }
  jpeg_start_decompress(&cinfo);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels + row_bytes * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  result->pixels = pixels;
  result->width = static_cast<int>(cinfo.output_width);
  result->height = static_cast<int>(cinfo.output_height);
  jpeg_destroy_decompress(&cinfo);
  return 0;
}
