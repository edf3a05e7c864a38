/* What the shipped plug-ins share: answering GetPluginInfo from a table, and making the
 * device-independent bitmap they hand back (a 40-byte info header with an optional colour
 * table, and bottom-up rows padded to 4 bytes, each in a local-memory block). */
#ifndef LUMIVEIL_PLUGIN_COMMON_H
#define LUMIVEIL_PLUGIN_COMMON_H

#include <stdint.h>
#include <string.h>

#include "plugins/sdk/susie_plugin.h"

#if defined(__linux__)
#include <sys/mman.h>

#include "plugins/common/plugin_huge_pages.h"
#endif

/* The largest pixel block a plug-in makes: the host's limit for one picture (1 GiB). A
 * build may set a lower one (the fuzz targets do). */
#ifndef PLUGIN_MAX_PIXEL_BYTES
#define PLUGIN_MAX_PIXEL_BYTES ((uint64_t)1 << 30)
#endif

/* Copies table[infono] into buf (at most buflen bytes with its NUL); returns the number
 * of characters written, 0 past the table's end. */
static inline int PluginInfoAnswer(const char* const* table, int count, int infono, char* buf,
                                   int buflen) {
  size_t n;
  if (infono < 0 || infono >= count || buf == NULL || buflen <= 0) return 0;
  n = strlen(table[infono]);
  if (n >= (size_t)buflen) n = (size_t)buflen - 1;
  memcpy(buf, table[infono], n);
  buf[n] = '\0';
  return (int)n;
}

typedef struct PluginDib {
  SPI_HLOCAL info; /* header and colour table */
  SPI_HLOCAL bits; /* pixel rows, bottom row first */
  uint8_t* pixels;
  uint8_t* palette; /* 4-byte entries (blue, green, red, 0), or NULL */
  size_t stride;
  int width;
  int height;
} PluginDib;

/* The blocks stay locked while the plug-in fills them. */
static inline void PluginDibFree(PluginDib* dib) {
  if (dib->info != NULL) SpiLocalUnlock(dib->info);
  if (dib->bits != NULL) SpiLocalUnlock(dib->bits);
  SpiLocalFree(dib->info);
  SpiLocalFree(dib->bits);
  memset(dib, 0, sizeof *dib);
}

/* Unlocks the finished blocks and hands them to the host, which frees them. */
static inline void PluginDibHandOver(PluginDib* dib, SPI_HLOCAL* info, SPI_HLOCAL* bits) {
  SpiLocalUnlock(dib->info);
  SpiLocalUnlock(dib->bits);
  *info = dib->info;
  *bits = dib->bits;
  memset(dib, 0, sizeof *dib);
}

static inline void PluginPut32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
  p[2] = (uint8_t)(v >> 16);
  p[3] = (uint8_t)(v >> 24);
}

/* Asks for huge pages over the whole 2 MiB blocks inside a large pixel block: the decoder
 * then writes a 36 MB picture with some twenty page faults instead of nine thousand. The
 * block is a fresh mapping the allocator has not touched, so nothing moves. Only where the
 * kernel has them free, with as many to spare as the host wants beside them; otherwise
 * the block keeps its pages as they are. Only a hint. */
static inline void PluginHugePages(uint8_t* data, uint64_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const uintptr_t huge = (uintptr_t)1 << 21;
  const uintptr_t start = ((uintptr_t)data + huge - 1) & ~(huge - 1);
  const uintptr_t end = ((uintptr_t)data + (uintptr_t)size) & ~(huge - 1);
  if (size >= ((uint64_t)4 << 20) && end > start && PluginHugePagesFree((end - start) / huge + 64))
    (void)madvise((void*)start, end - start, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

/* Makes a width x height picture of 24 bits (colours 0) or 8 bits (colours entries in the
 * colour table, 1 to 256). Returns SPI_SUCCESS, SPI_BROKEN_DATA for a size that is not
 * positive, or SPI_NO_MEMORY for a picture beyond the limit or memory that cannot be had
 * (the host then tells a picture over its limit from damaged data). */
static inline int PluginDibCreate(PluginDib* dib, int width, int height, int bits, int colours) {
  uint64_t stride, total;
  uint8_t* h;
  memset(dib, 0, sizeof *dib);
  if (width <= 0 || height <= 0 || (bits != 24 && bits != 8)) return SPI_BROKEN_DATA;
  if (bits == 24) colours = 0;
  if (bits == 8 && (colours < 1 || colours > 256)) return SPI_BROKEN_DATA;
  stride = (((uint64_t)width * (uint64_t)bits + 31) / 32) * 4;
  total = stride * (uint64_t)height;
  if (total > PLUGIN_MAX_PIXEL_BYTES) return SPI_NO_MEMORY;
  dib->info = SpiLocalAlloc(40 + 4 * (size_t)colours);
  dib->bits = SpiLocalAlloc((size_t)total);
  if (dib->info == NULL || dib->bits == NULL) {
    PluginDibFree(dib);
    return SPI_NO_MEMORY;
  }
  h = (uint8_t*)SpiLocalLock(dib->info);
  PluginPut32(h, 40);
  PluginPut32(h + 4, (uint32_t)width);
  PluginPut32(h + 8, (uint32_t)height);
  h[12] = 1; /* planes */
  h[14] = (uint8_t)bits;
  PluginPut32(h + 20, (uint32_t)total); /* image size */
  PluginPut32(h + 32, (uint32_t)colours);
  dib->palette = colours != 0 ? h + 40 : NULL;
  dib->pixels = (uint8_t*)SpiLocalLock(dib->bits);
  PluginHugePages(dib->pixels, total);
  dib->stride = (size_t)stride;
  dib->width = width;
  dib->height = height;
  return SPI_SUCCESS;
}

/* Row y counted from the top. */
static inline uint8_t* PluginDibRow(const PluginDib* dib, int y) {
  return dib->pixels + (size_t)(dib->height - 1 - y) * dib->stride;
}

/* The picture information's text, as the host reads it: a line "note: ..." is shown to the
 * person when the picture is read (a file cut short that still decodes), a line
 * "refused: ..." says why GetPicture will not read this file (a bound of the plug-in, not
 * damage), so that the host tells that instead of a result code. Returns 0, or
 * SPI_NO_MEMORY when no block can be had for the text. */
static inline int PluginSetInfoText(SpiPictureInfo* info, const char* text) {
  const size_t n = strlen(text);
  SPI_HLOCAL h = SpiLocalAlloc(n + 1);
  char* p;
  if (h == NULL) return SPI_NO_MEMORY;
  p = (char*)SpiLocalLock(h);
  memcpy(p, text, n + 1);
  SpiLocalUnlock(h);
  info->info_text = h;
  return SPI_SUCCESS;
}

/* A plug-in's format test on the first len bytes, and its decoder: with picture_info it
 * fills the picture's description, with dib it makes the picture. */
typedef int (*PluginRecognizer)(const void* data, intptr_t len);
typedef int (*PluginDecoder)(const uint8_t* data, size_t size, SpiPictureInfo* picture_info,
                             PluginDib* dib);

/* GetPictureInfo as every shipped plug-in answers it: memory input only. */
static inline int PluginGetPictureInfo(const char* buf, intptr_t len, unsigned int flag,
                                       SpiPictureInfo* info, PluginRecognizer recognize,
                                       PluginDecoder decode) {
  if ((flag & SPI_INPUT_MASK) != SPI_INPUT_MEMORY || info == NULL) return SPI_NOT_IMPLEMENTED;
  if (!recognize(buf, len)) return SPI_UNKNOWN_FORMAT;
  return decode((const uint8_t*)buf, (size_t)len, info, NULL);
}

/* GetPicture as every shipped plug-in answers it: memory input only, progress reported
 * before and after decoding (either may abort), the blocks handed over only on success. */
static inline int PluginGetPicture(const char* buf, intptr_t len, unsigned int flag,
                                   SPI_HLOCAL* info, SPI_HLOCAL* bits, SpiProgressCallback progress,
                                   intptr_t user_data, PluginRecognizer recognize,
                                   PluginDecoder decode) {
  PluginDib dib;
  int result;
  if ((flag & SPI_INPUT_MASK) != SPI_INPUT_MEMORY || info == NULL || bits == NULL)
    return SPI_NOT_IMPLEMENTED;
  if (!recognize(buf, len)) return SPI_UNKNOWN_FORMAT;
  if (progress != NULL && progress(0, 1, user_data) != 0) return SPI_ABORTED;
  memset(&dib, 0, sizeof dib);
  result = decode((const uint8_t*)buf, (size_t)len, NULL, &dib);
  if (result != SPI_SUCCESS) return result;
  if (progress != NULL && progress(1, 1, user_data) != 0) {
    PluginDibFree(&dib);
    return SPI_ABORTED;
  }
  PluginDibHandOver(&dib, info, bits);
  return SPI_SUCCESS;
}

/* The four entries of an import plug-in, written once for every shipped plug-in: its info
 * strings (an array), its format test with the bytes of the head that test reads (the
 * host shows at least 2048), and its decoder. */
#define PLUGIN_EXPORTS(info_strings, recognize, head_bytes, decode)                              \
  SPI_EXPORT int SPI_API GetPluginInfo(int infono, char* buf, int buflen) {                      \
    return PluginInfoAnswer(info_strings, (int)(sizeof info_strings / sizeof info_strings[0]),   \
                            infono, buf, buflen);                                                \
  }                                                                                              \
  SPI_EXPORT int SPI_API IsSupported(const char* filename, void* head) {                         \
    (void)filename;                                                                              \
    return recognize(head, head_bytes);                                                          \
  }                                                                                              \
  SPI_EXPORT int SPI_API GetPictureInfo(const char* buf, intptr_t len, unsigned int flag,        \
                                        SpiPictureInfo* info) {                                  \
    return PluginGetPictureInfo(buf, len, flag, info, recognize, decode);                        \
  }                                                                                              \
  SPI_EXPORT int SPI_API GetPicture(const char* buf, intptr_t len, unsigned int flag,            \
                                    SPI_HLOCAL* info, SPI_HLOCAL* bits,                          \
                                    SpiProgressCallback progress, intptr_t user_data) {          \
    return PluginGetPicture(buf, len, flag, info, bits, progress, user_data, recognize, decode); \
  }

#endif /* LUMIVEIL_PLUGIN_COMMON_H */
