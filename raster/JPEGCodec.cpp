#include "raster/JPEGCodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include <jerror.h>

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

template <typename TInfo>
void SetUp(TInfo* cinfo, TErrorManager* err) {
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
    int code = failure != 0 ? failure : err.pub.msg_code;
    // libjpeg wanted more working memory than it may have (below).
    if (code == JERR_NO_BACKING_STORE) code = kJPEGTooLarge;
    jpeg_destroy_decompress(&cinfo);
    std::free(pixels);
    return code;
  }
  jpeg_create_decompress(&cinfo);
  // A stream with several scans is decoded through coefficient buffers for the whole
  // picture at full size, whatever the scale: a small stream could otherwise make libjpeg
  // allocate gigabytes for a picture it then shows at an eighth. Its working memory is
  // held to our store limit; beyond it libjpeg would need a backing store, which fails.
  cinfo.mem->max_memory_to_use = static_cast<long>(MaxPixelStoreBytes());
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

namespace {

// A destination that grows one malloc block, reachable from the caller's frame so that a
// failed encode frees it.
struct TGrowingDest {
  jpeg_destination_mgr pub;
  uint8_t* data;
  size_t capacity;
  size_t size;
};

void InitDest(j_compress_ptr) {}

boolean GrowDest(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<TGrowingDest*>(cinfo->dest);
  const size_t capacity = dest->capacity * 2;
  auto* grown = static_cast<uint8_t*>(std::realloc(dest->data, capacity));
  if (grown == nullptr) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
  dest->data = grown;
  dest->pub.next_output_byte = grown + dest->capacity;
  dest->pub.free_in_buffer = capacity - dest->capacity;
  dest->capacity = capacity;
  return TRUE;
}

void TermDest(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<TGrowingDest*>(cinfo->dest);
  dest->size = dest->capacity - dest->pub.free_in_buffer;
}

}  // namespace

int EncodeJPEG(const uint8_t* const* rows, int width, int height, int quality, bool subsample420,
               TJPEGStream* result) {
  jpeg_compress_struct cinfo;
  TErrorManager err;
  TGrowingDest dest{};
  dest.pub.init_destination = InitDest;
  dest.pub.empty_output_buffer = GrowDest;
  dest.pub.term_destination = TermDest;
  SetUp(&cinfo, &err);
  if (setjmp(err.jump)) {
    const int code = err.pub.msg_code;
    jpeg_destroy_compress(&cinfo);
    std::free(dest.data);
    return code;
  }
  jpeg_create_compress(&cinfo);
  // A first guess of a quarter of the raw size; the block doubles as it fills.
  dest.capacity = std::max<size_t>(65536, static_cast<size_t>(width) * height * 3 / 4);
  dest.data = static_cast<uint8_t*>(std::malloc(dest.capacity));
  if (dest.data == nullptr) ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 0);
  dest.pub.next_output_byte = dest.data;
  dest.pub.free_in_buffer = dest.capacity;
  cinfo.dest = &dest.pub;
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  // jpeg_set_defaults samples the chroma 2 x 2 (4:2:0); 1 x 1 keeps it whole.
  const int factor = subsample420 ? 2 : 1;
  cinfo.comp_info[0].h_samp_factor = factor;
  cinfo.comp_info[0].v_samp_factor = factor;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rows[cinfo.next_scanline]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  result->data = dest.data;
  result->size = dest.size;
  return 0;
}
