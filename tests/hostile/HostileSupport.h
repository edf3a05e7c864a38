// Helpers for the tests of hostile files and places: the command-line tool run in a child
// process (its exit status, both outputs and its peak memory), files of every kind, and
// picture files whose headers claim sizes beyond the limit.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "tests/common/RunTool.h"
#include "tests/common/TestFiles.h"

// One run of the tool.
struct ToolRun {
  int status = -1;      // the exit status, -1 when the process did not exit by itself
  std::string out;      // standard output
  std::string err;      // standard error
  long peak_kib = -1;   // the child's peak resident memory (ru_maxrss), in KiB
  bool killed = false;  // stopped by the test for taking longer than it was given
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// The user "nobody", whom a test run as root runs the tool as where a user's own rights
// matter (a file root could read anyway).
constexpr uid_t kNobody = 65534;

// Starts the tool with `args`, in `cwd` when given, with `env` added to the environment,
// as user `as_user` when given (the test runs as root); standard output and error go to
// the pipes returned (the read ends).
inline pid_t StartTool(const std::vector<std::string>& args, const std::string& cwd,
                       const Environment& env, int* out_fd, int* err_fd,
                       uid_t as_user = static_cast<uid_t>(-1)) {
  const std::string tool = ToolPath();
  std::vector<std::string> all = {tool};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    if (as_user != static_cast<uid_t>(-1) && (setgid(as_user) != 0 || setuid(as_user) != 0))
      _exit(125);
    execv(tool.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  *out_fd = out[0];
  *err_fd = err[0];
  return pid;
}

// Reads both pipes to their ends; false when `milliseconds` (when not -1) passed first.
inline bool ReadBoth(int out_fd, int err_fd, std::string& out, std::string& err,
                     int milliseconds = -1) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open_count = 2;
  char buffer[65536];
  while (open_count > 0) {
    const int ready = poll(fds, 2, milliseconds);
    if (ready == 0) {
      for (const pollfd& p : fds)
        if (p.fd >= 0) close(p.fd);
      return false;
    }
    if (ready < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  return true;
}

// How a test runs the tool beyond its arguments.
struct ToolOptions {
  std::string cwd;
  Environment env;
  int seconds = -1;                     // killed when it runs longer (-1: no limit)
  uid_t user = static_cast<uid_t>(-1);  // run as this user (the test is root)
};

inline ToolRun RunTool(const std::vector<std::string>& args, const ToolOptions& options) {
  ToolRun run;
  int out_fd = -1, err_fd = -1;
  const pid_t pid = StartTool(args, options.cwd, options.env, &out_fd, &err_fd, options.user);
  if (pid < 0) return run;
  if (!ReadBoth(out_fd, err_fd, run.out, run.err,
                options.seconds < 0 ? -1 : options.seconds * 1000)) {
    kill(pid, SIGKILL);
    run.killed = true;
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) == pid) {
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peak_kib = usage.ru_maxrss;
  }
  return run;
}

inline ToolRun RunTool(const std::vector<std::string>& args, const std::string& cwd = "",
                       const Environment& env = {}) {
  return RunTool(args, ToolOptions{cwd, env});
}

// Whether this build runs under a sanitizer, whose shadow memory counts in every peak.
constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#else
    false;
#endif

// The tool's peak memory when it reads a small picture: what a run costs anyway (the
// program, its libraries, the plug-ins; under a sanitizer its shadow memory too).
inline long BaselinePeakKiB() {
  static const long peak = RunTool({"info", Sample("coffee.bmp")}).peak_kib;
  return peak;
}

// A run's peak, in KiB, that the test compares with a limit: the whole peak in an ordinary
// build, what it takes beyond a small picture's run under a sanitizer.
inline long MeasuredPeakKiB(const ToolRun& run) {
  return kSanitized ? run.peak_kib - BaselinePeakKiB() : run.peak_kib;
}

// A message of the list filled in, as the tool shows it: the text, then its English sense
// in brackets.
inline std::string Shown(TText text) {
  return Exception(std::move(text)).MessageWithSense();
}

inline std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

inline void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

inline mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// The CRC-32 of PNG chunks over type and data.
inline uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void PutBE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

// A well-formed PNG file (the bundled photo's) whose header claims width x height.
inline std::vector<uint8_t> PngClaiming(uint32_t width, uint32_t height) {
  std::vector<uint8_t> png = ReadBytes(Sample("astronaut.png"));
  // The IHDR chunk follows the 8-byte signature: length, type, 13 bytes of data, CRC.
  PutBE32(png.data() + 16, width);
  PutBE32(png.data() + 20, height);
  PutBE32(png.data() + 29, Crc32(png.data() + 12, 17));
  return png;
}

// The bundled JPEG photo with its frame header claiming width x height.
inline std::vector<uint8_t> JpegClaiming(uint16_t width, uint16_t height) {
  std::vector<uint8_t> jpeg = ReadBytes(Sample("rocket.jpg"));
  for (size_t i = 2; i + 9 < jpeg.size();) {
    const uint8_t marker = jpeg[i + 1];
    const size_t length = static_cast<size_t>(jpeg[i + 2] << 8 | jpeg[i + 3]);
    if (marker >= 0xC0 && marker <= 0xC2) {
      jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<uint8_t>(height);
      jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<uint8_t>(width);
      break;
    }
    i += 2 + length;
  }
  return jpeg;
}

// A GIF file of one two-colour image of width x height whose data is cut short.
inline std::vector<uint8_t> GifClaiming(uint16_t width, uint16_t height) {
  const auto lo = [](uint16_t v) { return static_cast<uint8_t>(v); };
  const auto hi = [](uint16_t v) { return static_cast<uint8_t>(v >> 8); };
  return {'G',  'I', 'F',  '8',  '9', 'a',       lo(width), hi(width),  lo(height), hi(height),
          0x80, 0,   0,    0,    0,   0,         255,       255,        255,  // two colours
          ',',  0,   0,    0,    0,   lo(width), hi(width), lo(height), hi(height), 0,  // the image
          2,    2,   0x44, 0x01, 0,   ';'};
}

// A BMP file of nothing but its headers, claiming width x height at 24 bits.
inline std::vector<uint8_t> BmpClaiming(int32_t width, int32_t height) {
  std::vector<uint8_t> bmp(54, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  const auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(2, 54);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  bmp[26] = 1;   // planes
  bmp[28] = 24;  // bits per pixel
  return bmp;
}

// A valid PNG file of width x height, 1-bit grey, every pixel black: a few kilobytes of
// compressed zeros that describe a picture of any size.
inline std::vector<uint8_t> BlackPng(uint32_t width, uint32_t height) {
  const auto chunk = [](std::vector<uint8_t>& png, const char* type,
                        const std::vector<uint8_t>& data) {
    const size_t at = png.size();
    png.resize(at + 12 + data.size());
    PutBE32(png.data() + at, static_cast<uint32_t>(data.size()));
    std::memcpy(png.data() + at + 4, type, 4);
    if (!data.empty()) std::memcpy(png.data() + at + 8, data.data(), data.size());
    PutBE32(png.data() + at + 8 + data.size(), Crc32(png.data() + at + 4, 4 + data.size()));
  };
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header(13, 0);
  PutBE32(header.data(), width);
  PutBE32(header.data() + 4, height);
  header[8] = 1;  // bit depth; colour type 0 (grey), no interlace
  chunk(png, "IHDR", header);
  // Each row: filter byte 0 and its zero pixel bytes.
  const std::vector<uint8_t> rows(static_cast<size_t>((width + 7) / 8 + 1) * height, 0);
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  std::vector<uint8_t> deflated(size);
  compress2(deflated.data(), &size, rows.data(), static_cast<uLong>(rows.size()), 9);
  deflated.resize(size);
  chunk(png, "IDAT", deflated);
  chunk(png, "IEND", {});
  return png;
}
