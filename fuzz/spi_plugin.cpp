// Fuzz target: one shipped import plug-in, compiled into the target (fuzz/CMakeLists.txt
// builds this file once per plug-in), on arbitrary data: IsSupported, GetPictureInfo and
// GetPicture as the host calls them, and the picture it returns wrapped and read by the
// host as a load does.
//
// Last input byte: bit 0 set calls the plug-in even when IsSupported says no.
#include <algorithm>
#include <cstring>
#include <vector>

#include "base/Exceptions.h"
#include "fuzz/FuzzSupport.h"
#include "platform/LocalMemory.h"
#include "plugins/sdk/susie_plugin.h"
#include "susie/Spibmp.h"

// The plug-in's entries, declared as it defines them (the plug-in API's calling convention).
extern "C" {
int SPI_API GetPluginInfo(int infono, char* buf, int buflen);
int SPI_API IsSupported(const char* filename, void* head);
int SPI_API GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info);
int SPI_API GetPicture(const char* buf, intptr_t len, unsigned int flag, SPI_HLOCAL* info,
                       SPI_HLOCAL* bits, SpiProgressCallback progress, intptr_t user_data);
}

FUZZ_INITIALIZE_LIMITS()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input = TakeOptions(data, size, 1);
  // The data in a block of its own size, so that reading past it is caught; the head
  // IsSupported sees is at least 2048 bytes, zero-padded, as the host gives it.
  const std::vector<uint8_t> bytes(input.data, input.data + input.size);
  std::vector<uint8_t> head(std::max(bytes.size(), TInSPIAble::kHeadSize), 0);
  if (!bytes.empty()) std::memcpy(head.data(), bytes.data(), bytes.size());
  const bool supported = IsSupported("fuzz", head.data()) != 0;
  if (!supported && !(input.options & 1)) return 0;
  const auto* buf = reinterpret_cast<const char*>(bytes.empty() ? head.data() : bytes.data());
  const auto len = static_cast<intptr_t>(bytes.size());

  SpiPictureInfo picture_info;
  std::memset(&picture_info, 0, sizeof picture_info);
  if (GetPictureInfo(buf, len, SPI_INPUT_MEMORY, &picture_info) == SPI_SUCCESS &&
      picture_info.info_text != nullptr) {
    // The host frees the text as it frees every block a plug-in hands over.
    FUZZ_CHECK(LocalValid(picture_info.info_text));
    LocalFree(picture_info.info_text);
  }

  SPI_HLOCAL info = nullptr;
  SPI_HLOCAL bits = nullptr;
  if (GetPicture(buf, len, SPI_INPUT_MEMORY, &info, &bits, &ProgressCallback, 0) != SPI_SUCCESS)
    return 0;
  // What a plug-in of ours hands back must be two valid blocks that the host can read.
  FUZZ_CHECK(LocalValid(info) && LocalValid(bits));
  TSPIBitmap bitmap;
  bool done = false;
  try {
    bitmap.LoadFromSPI(static_cast<const uint8_t*>(LocalLock(info)), LocalSize(info),
                       static_cast<const uint8_t*>(LocalLock(bits)), LocalSize(bits),
                       TPictureInfoRec{}, done);
  } catch (const Exception& e) {
    std::fprintf(stderr, "the host refuses the plug-in's picture: %s\n", e.what());
    std::abort();
  }
  FUZZ_CHECK(done);
  TouchBitmap(bitmap);
  LocalFree(info);
  LocalFree(bits);
  return 0;
}
