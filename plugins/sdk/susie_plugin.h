/* The header a Susie import plug-in includes: the API's types, the exported entry names,
 * and the local-memory functions through which a plug-in hands its pictures to the host.
 * C and C++; see README.md beside this file.
 *
 * On Linux a plug-in is a shared library named NAME.spi. Entries use the platform's one C
 * calling convention (there is no second one to choose on x86-64 or AArch64 Linux) and C
 * linkage; SPI_EXPORT makes them visible. Values that hold an address (the file-head
 * argument of IsSupported, data lengths, the user value, memory handles) are
 * pointer-sized.
 *
 * On 32-bit Windows a plug-in is a DLL named NAME.spi whose entries use the standard
 * calling convention (SPI_API, __stdcall) and are exported under their plain names (link
 * with --kill-at, or name them in a .def file); every value above is 32 bits wide there,
 * and the memory handles are kernel32's LocalAlloc handles. */
#ifndef LUMIVEIL_SUSIE_PLUGIN_H
#define LUMIVEIL_SUSIE_PLUGIN_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
#define SPI_EXTERN_C extern "C"
#else
#define SPI_EXTERN_C
#endif
#if defined(_WIN32)
#define SPI_API __stdcall
#define SPI_EXPORT SPI_EXTERN_C __declspec(dllexport)
#else
#define SPI_API
#define SPI_EXPORT SPI_EXTERN_C __attribute__((visibility("default")))
#endif

/* Results of the entries. The host acts only on 0 (success) or anything else; when a load
 * fails it tells the person what GetPicture answered. Answer SPI_NO_MEMORY for a picture
 * too large to make, so that a well-formed picture over the limit is not called damaged. */
enum {
  SPI_NOT_IMPLEMENTED = -1,
  SPI_SUCCESS = 0,
  SPI_ABORTED = 1,        /* the progress function asked to stop */
  SPI_UNKNOWN_FORMAT = 2, /* not a picture this plug-in reads */
  SPI_BROKEN_DATA = 3,    /* a picture of this format, but damaged */
  SPI_NO_MEMORY = 4,
  SPI_MEMORY_ERROR = 5,
  SPI_FILE_READ_ERROR = 6,
  SPI_INTERNAL_ERROR = 8
};

/* The flag argument: the low three bits say where the input is (1: in memory at the data
 * address, with the data length), the next bits where the output goes (0: local-memory
 * handles). The host always passes SPI_INPUT_MEMORY. */
#define SPI_INPUT_MASK 0x7u
#define SPI_INPUT_MEMORY 0x1u

/* A local-memory handle. */
typedef void* SPI_HLOCAL;

/* The picture information record, byte-packed (26 bytes with a 4-byte handle, 30 with an
 * 8-byte one). */
#pragma pack(push, 1)
typedef struct SpiPictureInfo {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  uint16_t x_density;
  uint16_t y_density;
  int16_t color_depth;
  SPI_HLOCAL info_text; /* NUL-terminated text in a local-memory block, or NULL */
} SpiPictureInfo;
#pragma pack(pop)

/* The progress function the host passes to GetPicture. A result other than 0 asks the
 * plug-in to stop (this host always returns 0). */
typedef int(SPI_API* SpiProgressCallback)(int num, int denom, intptr_t user_data);

/* The entries. A plug-in defines them with these exact names (SPI_EXPORT in front, SPI_API
 * between the result type and the name):
 *
 *   int GetPluginInfo(int infono, char* buf, int buflen);
 *     infono 0: API version ("00IN" for an import plug-in); 1: a description; 2, 4, ...:
 *     an extension pattern such as "*.png" (several joined with ';'); 3, 5, ...: the name
 *     of that file type. Writes at most buflen bytes including a NUL; returns the number of
 *     characters written, 0 when infono is past the end.
 *   int IsSupported(const char* filename, void* head);
 *     head addresses at least 2048 bytes of the file's beginning (zero-padded when the file
 *     is shorter). Non-zero: the plug-in reads this file.
 *   int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag,
 *                      SpiPictureInfo* info);
 *   int GetPicture(const char* buf, intptr_t len, unsigned int flag, SPI_HLOCAL* info,
 *                  SPI_HLOCAL* bits, SpiProgressCallback progress, intptr_t user_data);
 *     On success *info holds a device-independent bitmap info block (a 40-byte info
 *     header, then the colour table for 8 bits or fewer) and *bits the pixel rows, bottom
 *     row first, each padded to a multiple of 4 bytes; both allocated with SpiLocalAlloc.
 *     The host frees them.
 *   int GetPreview(...);  same arguments as GetPicture; optional. */
typedef int(SPI_API* SpiGetPluginInfoFunc)(int infono, char* buf, int buflen);
typedef int(SPI_API* SpiIsSupportedFunc)(const char* filename, void* head);
typedef int(SPI_API* SpiGetPictureInfoFunc)(const char* buf, intptr_t len, unsigned int flag,
                                            SpiPictureInfo* info);
typedef int(SPI_API* SpiGetPictureFunc)(const char* buf, intptr_t len, unsigned int flag,
                                        SPI_HLOCAL* info, SPI_HLOCAL* bits,
                                        SpiProgressCallback progress, intptr_t user_data);

#if defined(_WIN32)
/* Local memory on Windows: kernel32's moveable blocks. The host locks, sizes and frees
 * them with LocalLock, LocalSize and LocalFree, and refuses a handle that kernel32 does not
 * know. The declarations are kernel32's own, repeated so that this header is all a plug-in
 * needs; the host, which has local-memory functions of its own, defines SPI_HOST and
 * gets only the types. */
#if !defined(SPI_HOST)
#define SPI_LMEM_FIXED 0x0000u
#define SPI_LMEM_MOVEABLE 0x0002u
#define SPI_LMEM_ZEROINIT 0x0040u
#if !defined(_WINBASE_)
SPI_EXTERN_C __declspec(dllimport) void* __stdcall LocalAlloc(unsigned int flags,
                                                              unsigned long bytes);
SPI_EXTERN_C __declspec(dllimport) void* __stdcall LocalLock(void* handle);
SPI_EXTERN_C __declspec(dllimport) int __stdcall LocalUnlock(void* handle);
SPI_EXTERN_C __declspec(dllimport) unsigned long __stdcall LocalSize(void* handle);
SPI_EXTERN_C __declspec(dllimport) void* __stdcall LocalFree(void* handle);
#endif

/* A new moveable block of size bytes, filled with zeros; NULL when memory is short. */
static inline SPI_HLOCAL SpiLocalAlloc(size_t size) {
  return (SPI_HLOCAL)LocalAlloc(SPI_LMEM_MOVEABLE | SPI_LMEM_ZEROINIT, (unsigned long)size);
}

/* The block's data (the block stays locked until SpiLocalUnlock), or NULL. */
static inline void* SpiLocalLock(SPI_HLOCAL handle) {
  return handle != NULL ? LocalLock(handle) : NULL;
}

static inline int SpiLocalUnlock(SPI_HLOCAL handle) {
  return handle != NULL ? LocalUnlock(handle) : 0;
}

static inline size_t SpiLocalSize(SPI_HLOCAL handle) {
  return handle != NULL ? (size_t)LocalSize(handle) : 0;
}

/* Frees a block; returns NULL, or the handle when kernel32 refused it. */
static inline SPI_HLOCAL SpiLocalFree(SPI_HLOCAL handle) {
  return handle != NULL ? (SPI_HLOCAL)LocalFree(handle) : NULL;
}
#endif                              /* !SPI_HOST */
#else                               /* !_WIN32 */

/* Local memory. A block is a 16-byte header (a magic word, a check word and the size of
 * the data) followed by the data; the handle is the address of the header. The host locks,
 * sizes and frees blocks with the same layout, and refuses a handle whose header is
 * wrong, so every block handed to the host must come from SpiLocalAlloc. */
#define SPI_LOCAL_MAGIC 0x4C4D454Du /* "MEML" */
#define SPI_LOCAL_HEADER_SIZE 16u

typedef struct SpiLocalHeader {
  uint32_t magic;
  uint32_t check; /* magic ^ low 32 bits of size ^ high 32 bits of size */
  uint64_t size;
} SpiLocalHeader;

static inline uint32_t SpiLocalCheckWord(uint64_t size) {
  return SPI_LOCAL_MAGIC ^ (uint32_t)size ^ (uint32_t)(size >> 32);
}

/* A new block of size bytes, filled with zeros; NULL when memory is short. */
static inline SPI_HLOCAL SpiLocalAlloc(size_t size) {
  SpiLocalHeader* h;
  if (size > SIZE_MAX - SPI_LOCAL_HEADER_SIZE) return NULL;
  h = (SpiLocalHeader*)calloc(1, SPI_LOCAL_HEADER_SIZE + size);
  if (h == NULL) return NULL;
  h->magic = SPI_LOCAL_MAGIC;
  h->size = size;
  h->check = SpiLocalCheckWord(size);
  return (SPI_HLOCAL)h;
}

static inline int SpiLocalValid(SPI_HLOCAL handle) {
  const SpiLocalHeader* h = (const SpiLocalHeader*)handle;
  return h != NULL && h->magic == SPI_LOCAL_MAGIC && h->check == SpiLocalCheckWord(h->size);
}

/* The block's data, or NULL for a handle that is not a block. */
static inline void* SpiLocalLock(SPI_HLOCAL handle) {
  return SpiLocalValid(handle) ? (char*)handle + SPI_LOCAL_HEADER_SIZE : NULL;
}

static inline int SpiLocalUnlock(SPI_HLOCAL handle) {
  (void)handle;
  return 0;
}

static inline size_t SpiLocalSize(SPI_HLOCAL handle) {
  return SpiLocalValid(handle) ? (size_t)((const SpiLocalHeader*)handle)->size : 0;
}

/* Frees a block; returns NULL, or the handle when it is not a block. */
static inline SPI_HLOCAL SpiLocalFree(SPI_HLOCAL handle) {
  if (handle == NULL) return NULL;
  if (!SpiLocalValid(handle)) return handle;
  ((SpiLocalHeader*)handle)->magic = 0;
  free(handle);
  return NULL;
}
#endif /* _WIN32 */

#endif /* LUMIVEIL_SUSIE_PLUGIN_H */
