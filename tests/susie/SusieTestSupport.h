// Helpers for the plug-in host's tests: paths in the platform's own form, temporary
// folders, environment (Linux) or registry (Windows) settings, working directory guards,
// and pictures in the test plug-in's format.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <random>

#include "platform/DynamicLibrary.h"
#include "platform/Paths.h"
#include "raster/BmpFormat.h"
#include "susie/Spis.h"

namespace fs = std::filesystem;

// A folder as the platform's loader and file search name it: on Windows absolute, with
// a drive and backslashes (so that it compares equal to GetModuleFileNameA's paths).
inline std::string NativePath(const std::string& path) {
#ifdef _WIN32
  return fs::absolute(path).make_preferred().string();
#else
  return path;
#endif
}
// Joins a folder and a name with the platform's delimiter.
inline std::string Join(const std::string& folder, const std::string& name) {
  return folder + kPathDelimiter + name;
}

inline std::string TestPluginDir() {
  return NativePath(LUMIVEIL_TEST_PLUGINS);
}
inline std::string TestPlugin(const std::string& name) {
  return Join(TestPluginDir(), name + ".spi");
}
inline std::string ShippedPluginDir() {
  return Join(NativePath(LUMIVEIL_BIN_DIR), "SusiePlugin");
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

#ifdef _WIN32
// How many of the LocalAlloc blocks that the test plug-in handed over last are still
// known to kernel32.
inline int LiveHandles(const TSPI& spi) {
  auto fn = reinterpret_cast<int (*)()>(GetProcAddress(spi.Handle(), "TestPluginLiveHandles"));
  if (fn == nullptr) std::abort();
  return fn();
}
#endif

class TempDir {
 public:
  TempDir() {
    std::mt19937_64 rng(std::random_device{}());
    const fs::path base = fs::temp_directory_path();
    fs::path path;
    do path = base / ("lumiveil-test-" + std::to_string(rng()));
    while (!fs::create_directory(path));
    path_ = NativePath(path.string());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return Join(path_, name); }

 private:
  std::string path_;
};

// Makes `to` name the same file as `from`: a symbolic link on Linux, a copy on Windows.
inline void LinkOrCopy(const std::string& from, const std::string& to) {
#ifdef _WIN32
  fs::copy_file(from, to);
#else
  fs::create_symlink(from, to);
#endif
}

#ifdef _WIN32
// The string value "Path" under the current user's Susie key, set with the system's reg
// tool for the life of the guard; the key is deleted again afterwards. A type other than
// REG_SZ sets a value that is not a string.
class RegistryPathGuard {
 public:
  RegistryPathGuard() { Delete(); }
  ~RegistryPathGuard() { Delete(); }
  RegistryPathGuard(const RegistryPathGuard&) = delete;
  RegistryPathGuard& operator=(const RegistryPathGuard&) = delete;
  static bool Set(const std::string& value, const char* type = "REG_SZ") {
    // reg reads its arguments by the C rules: a backslash before the closing quote must
    // be doubled.
    std::string quoted = value;
    if (!quoted.empty() && quoted.back() == '\\') quoted += '\\';
    return Reg("add " + Key() + " /v Path /t " + type + " /d \"" + quoted + "\" /f");
  }
  static bool SetKeyWithoutPath() { return Reg("add " + Key() + " /v Other /d x /f"); }
  static void Delete() { Reg("delete " + Key() + " /f"); }

 private:
  static std::string Key() { return "\"HKCU\\Software\\Quenbrook\\Susie\\Plug-in\""; }
  static bool Reg(const std::string& arguments) {
    const std::string command = "\"reg " + arguments + " >NUL 2>&1\"";
    return std::system(command.c_str()) == 0;
  }
};
#else
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
#endif

// The user's Susie plug-in folder setting for one test: the registry value on Windows,
// the configuration file on Linux. Nothing is set until Set is called.
class SusiePathSetting {
 public:
#ifdef _WIN32
  void Set(const std::string& path) {
    if (!RegistryPathGuard::Set(path)) std::abort();
  }

 private:
  RegistryPathGuard guard_;
#else
  void Set(const std::string& path) {
    fs::create_directories(config_ / "Quenbrook");
    std::ofstream(config_ / "Quenbrook/Susie.conf") << "[Plug-in]\nPath=" << path << "\n";
  }

 private:
  TempDir config_;
  EnvGuard xdg_{"XDG_CONFIG_HOME", config_.Path()};
#endif
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
