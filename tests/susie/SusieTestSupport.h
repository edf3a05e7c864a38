// Helpers for the plug-in host's tests: temporary folders, environment and working
// directory guards, and pictures in the test plug-in's format.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "raster/BmpFormat.h"
#include "susie/Spis.h"

namespace fs = std::filesystem;

inline std::string TestPluginDir() {
  return LUMIVEIL_TEST_PLUGINS;
}
inline std::string TestPlugin(const std::string& name) {
  return TestPluginDir() + "/" + name + ".spi";
}
inline std::string ShippedPluginDir() {
  return std::string(LUMIVEIL_BIN_DIR) + "/SusiePlugin";
}

// What the test plug-in records (its TestPluginState).
struct TestPluginState {
  int is_supported_calls;
  int get_picture_info_calls;
  int get_picture_calls;
  intptr_t last_info_length;
  intptr_t last_picture_length;
  unsigned last_flag;
  uint8_t head[2048];
  char file_name[256];
  int progress_result;
};

inline TestPluginState& StateOf(const TSPI& spi) {
  auto fn =
      reinterpret_cast<TestPluginState* (*)()>(GetProcAddress(spi.Handle(), "TestPluginStateOf"));
  if (fn == nullptr) std::abort();
  return *fn();
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "lumiveil-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

class EnvGuard {
 public:
  EnvGuard(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~EnvGuard() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

class CwdGuard {
 public:
  explicit CwdGuard(const std::string& dir) : old_(fs::current_path()) { fs::current_path(dir); }
  ~CwdGuard() { fs::current_path(old_); }
  CwdGuard(const CwdGuard&) = delete;
  CwdGuard& operator=(const CwdGuard&) = delete;

 private:
  fs::path old_;
};

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void Append32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

// A 40-byte info header.
inline std::vector<uint8_t> InfoHeader(int32_t width, int32_t height, uint16_t bits,
                                       uint32_t colours_used = 0, uint32_t compression = BI_RGB) {
  std::vector<uint8_t> h(kInfoHeaderSize, 0);
  PutU32(h.data(), kInfoHeaderSize);
  PutU32(h.data() + 4, static_cast<uint32_t>(width));
  PutU32(h.data() + 8, static_cast<uint32_t>(height));
  PutU16(h.data() + 12, 1);
  PutU16(h.data() + 14, bits);
  PutU32(h.data() + 16, compression);
  PutU32(h.data() + 32, colours_used);
  return h;
}

// Data in the test plug-in's format: "TPIC", the mode, the info block and the bits.
inline std::vector<uint8_t> TestPicture(const std::vector<uint8_t>& info,
                                        const std::vector<uint8_t>& bits, char mode = 'P') {
  std::vector<uint8_t> v = {'T', 'P', 'I', 'C', static_cast<uint8_t>(mode)};
  Append32(v, static_cast<uint32_t>(info.size()));
  v.insert(v.end(), info.begin(), info.end());
  Append32(v, static_cast<uint32_t>(bits.size()));
  v.insert(v.end(), bits.begin(), bits.end());
  return v;
}

// A 2x2 24-bit test picture: bottom row blue, green; top row red, white.
inline std::vector<uint8_t> SmallPicture(char mode = 'P') {
  const std::vector<uint8_t> bits = {255, 0, 0,   0,   255, 0,   0, 0,  // bottom row, padded
                                     0,   0, 255, 255, 255, 255, 0, 0};
  return TestPicture(InfoHeader(2, 2, 24), bits, mode);
}
