/* A plug-in for the host's tests, built several times with different switches. Its data
 * format lets a test craft any result: "TPIC", a mode byte, then for mode 'P' a 32-bit
 * length and that many bytes of info block, a 32-bit length and that many bytes of bits;
 * the plug-in hands both back in local-memory blocks of exactly those sizes. Other modes
 * return handles that are wrong on purpose; mode 'F' is 'P' with fixed blocks on Windows
 * (LocalAlloc's LMEM_FIXED, whose handle is the data's address). It records what the host
 * passed it (TestPluginState), so the tests can check the calls, and on Windows the handles
 * it handed over, so the tests can check that the host freed them.
 *
 * Modes 'L' and 'M' describe a picture of 100000 x 100000 or 60000 x 60000 pixels and
 * answer GetPicture with out of memory, as a plug-in does for a picture over the limit;
 * mode 'R' answers GetPicture with the result in the byte after it.
 *
 * Switches: TP_PLUGIN (which plug-in: its API version and extension pairs, below),
 * TP_NO_INFO (no "GetPluginInfo"), TP_NO_PICTURE (no "GetPicture"), TP_REFUSE
 * (IsSupported always 0), TP_INFO_FAILS (GetPictureInfo always fails), TP_ENDLESS (info
 * answers for every number), TP_CONSTRUCTOR (code that runs as the library is loaded:
 * it creates the file that the environment variable LUMIVEIL_TEST_MARKER names). */
#include <stdio.h>
#include <stdlib.h>

#ifdef TP_CONSTRUCTOR
__attribute__((constructor)) static void RunsWhenLoaded(void) {
  const char* marker = getenv("LUMIVEIL_TEST_MARKER");
  FILE* f = marker != NULL ? fopen(marker, "w") : NULL;
  if (f != NULL) fclose(f);
}
#endif

#include "plugins/sdk/susie_plugin.h"

typedef struct TestPluginState {
  int is_supported_calls;
  int get_picture_info_calls;
  int get_picture_calls;
  intptr_t last_info_length;    /* len passed to GetPictureInfo */
  intptr_t last_picture_length; /* len passed to GetPicture */
  unsigned last_flag;
  uint8_t head[2048]; /* what IsSupported saw */
  char file_name[256];
  int progress_result;
} TestPluginState;

static TestPluginState g_state;

SPI_EXPORT TestPluginState* TestPluginStateOf(void) {
  return &g_state;
}

/* A block that is not one of the host's: its header is all zeros. */
static uint64_t g_foreign_block[16];

#ifdef _WIN32
/* The blocks handed over by the last GetPictureInfo and GetPicture. */
static SPI_HLOCAL g_handed[3];

/* How many of them kernel32 still knows (blocks of at least one byte). */
SPI_EXPORT int TestPluginLiveHandles(void) {
  int live = 0, i;
  for (i = 0; i < 3; ++i)
    if (g_handed[i] != NULL && SpiLocalSize(g_handed[i]) != 0) ++live;
  return live;
}

static SPI_HLOCAL Handed(int i, SPI_HLOCAL handle) {
  g_handed[i] = handle;
  return handle;
}
#else
#define Handed(i, handle) (handle)
#endif

#ifndef TP_NO_PICTURE
/* A block of the given size: moveable from the SDK, or fixed on Windows for mode 'F'. */
static SPI_HLOCAL Block(size_t size, int fixed) {
#ifdef _WIN32
  if (fixed) return (SPI_HLOCAL)LocalAlloc(SPI_LMEM_FIXED | SPI_LMEM_ZEROINIT, (unsigned long)size);
#else
  (void)fixed;
#endif
  return SpiLocalAlloc(size);
}
#endif

#define TP_VERSION "00IN"
#if TP_PLUGIN == 1 /* basic, infofail */
#define TP_EXT1 "*.tpic"
#define TP_TYPE1 "Test picture"
#elif TP_PLUGIN == 2 /* nopicture */
#define TP_EXT1 "*.np"
#define TP_TYPE1 "No picture"
#elif TP_PLUGIN == 3
#undef TP_VERSION
#define TP_VERSION "00AM"
#define TP_EXT1 "*.am"
#define TP_TYPE1 "Archive"
#elif TP_PLUGIN == 4
#undef TP_VERSION
#define TP_VERSION "00XN"
#define TP_EXT1 "*.xn"
#define TP_TYPE1 "Export"
#elif TP_PLUGIN == 5
#undef TP_VERSION
#define TP_VERSION "00ZZ"
#elif TP_PLUGIN == 6 /* refuse */
#define TP_EXT1 "*.pic"
#define TP_TYPE1 "Refused picture"
#elif TP_PLUGIN == 7 /* a */
#define TP_EXT1 "*.pic"
#define TP_TYPE1 "Picture A"
#elif TP_PLUGIN == 8 /* c */
#define TP_EXT1 "*.x;*.PIC"
#define TP_TYPE1 "Picture C"
#define TP_EXT2 "*.bmp"
#define TP_TYPE2 "Bitmap C"
#endif

static inline uint32_t Get32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static inline int IsTestPicture(const void* data, intptr_t len) {
  return data != NULL && len >= 5 && memcmp(data, "TPIC", 4) == 0;
}

#ifdef TP_NO_INFO
SPI_EXPORT int SPI_API GetPluginDescription(int infono, char* buf, int buflen) {
  (void)infono;
  (void)buf;
  (void)buflen;
  return 0;
}
#else
SPI_EXPORT int SPI_API GetPluginInfo(int infono, char* buf, int buflen) {
  const char* text = NULL;
  char endless[32];
  switch (infono) {
    case 0:
      text = TP_VERSION;
      break;
    case 1:
      text = "test plug-in";
      break;
#ifdef TP_EXT1
    case 2:
      text = TP_EXT1;
      break;
    case 3:
      text = TP_TYPE1;
      break;
#endif
#ifdef TP_EXT2
    case 4:
      text = TP_EXT2;
      break;
    case 5:
      text = TP_TYPE2;
      break;
#endif
    default:
      break;
  }
#ifdef TP_ENDLESS
  if (text == NULL && infono >= 2) {
    snprintf(endless, sizeof endless, infono % 2 == 0 ? "*.e%d" : "type %d", infono);
    text = endless;
  }
#else
  (void)endless;
#endif
  if (text == NULL || buflen <= 0) return 0;
  snprintf(buf, (size_t)buflen, "%s", text);
  return (int)strlen(buf);
}
#endif

SPI_EXPORT int SPI_API IsSupported(const char* filename, void* head) {
  ++g_state.is_supported_calls;
  memcpy(g_state.head, head, sizeof g_state.head);
  snprintf(g_state.file_name, sizeof g_state.file_name, "%s", filename ? filename : "(null)");
#ifdef TP_REFUSE
  return 0;
#else
  return IsTestPicture(head, 2048);
#endif
}

SPI_EXPORT int SPI_API GetPictureInfo(const char* buf, intptr_t len, unsigned int flag,
                                      SpiPictureInfo* info) {
  ++g_state.get_picture_info_calls;
  g_state.last_info_length = len;
  g_state.last_flag = flag;
#ifdef TP_INFO_FAILS
  (void)buf;
  (void)info;
  return SPI_BROKEN_DATA;
#else
  if (!IsTestPicture(buf, len)) return SPI_UNKNOWN_FORMAT;
  memset(info, 0, sizeof *info);
  info->left = 1;
  info->top = 2;
  info->width = 3;
  info->height = 4;
  info->x_density = 72;
  info->y_density = 96;
  info->color_depth = 24;
  if (buf[4] == 'L' || buf[4] == 'M') info->width = info->height = buf[4] == 'L' ? 100000 : 60000;
  if (buf[4] == 'T') {
    /* An info text that fills its block with no NUL at the end. */
    info->info_text = Handed(0, SpiLocalAlloc(5));
    memcpy(SpiLocalLock(info->info_text), "hello", 5);
    SpiLocalUnlock(info->info_text);
  } else if (buf[4] == 'X') {
    info->info_text = (SPI_HLOCAL)g_foreign_block;
  }
  return SPI_SUCCESS;
#endif
}

#ifndef TP_NO_PICTURE
SPI_EXPORT int SPI_API GetPicture(const char* buf, intptr_t len, unsigned int flag,
                                  SPI_HLOCAL* pinfo, SPI_HLOCAL* pbits,
                                  SpiProgressCallback progress, intptr_t user_data) {
  const uint8_t* p = (const uint8_t*)buf;
  uint32_t info_size, bits_size;
  ++g_state.get_picture_calls;
  g_state.last_picture_length = len;
  g_state.last_flag = flag;
  if (!IsTestPicture(buf, len)) return SPI_UNKNOWN_FORMAT;
  g_state.progress_result = progress(1, 2, user_data);
  switch (p[4]) {
    case 'P':
    case 'F':
    case 'T':
    case 'X':
      break;
    case 'H': /* an info handle that is not a block */
      *pinfo = (SPI_HLOCAL)g_foreign_block;
      *pbits = SpiLocalAlloc(16);
      return SPI_SUCCESS;
    case 'B': /* a bits handle that is not a block */
      *pinfo = SpiLocalAlloc(40);
      *pbits = (SPI_HLOCAL)g_foreign_block;
      return SPI_SUCCESS;
    case 'N': /* success without handles */
      *pinfo = NULL;
      *pbits = NULL;
      return SPI_SUCCESS;
    case 'L': /* a picture over the limit */
    case 'M':
      return SPI_NO_MEMORY;
    case 'R': /* the result asked for */
      return len > 5 ? (signed char)p[5] : SPI_BROKEN_DATA;
    default:
      return SPI_BROKEN_DATA;
  }
  if (len < 13) return SPI_BROKEN_DATA;
  info_size = Get32(p + 5);
  if ((uint64_t)info_size + 13 > (uint64_t)len) return SPI_BROKEN_DATA;
  bits_size = Get32(p + 9 + info_size);
  if ((uint64_t)info_size + bits_size + 13 > (uint64_t)len) return SPI_BROKEN_DATA;
  *pinfo = Handed(1, Block(info_size, p[4] == 'F'));
  *pbits = Handed(2, Block(bits_size, p[4] == 'F'));
  memcpy(SpiLocalLock(*pinfo), p + 9, info_size);
  memcpy(SpiLocalLock(*pbits), p + 13 + info_size, bits_size);
  SpiLocalUnlock(*pinfo);
  SpiLocalUnlock(*pbits);
  return SPI_SUCCESS;
}
#endif
