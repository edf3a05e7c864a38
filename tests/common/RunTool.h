// Running the command-line tool from a test: its path, the null device, and the exit
// status of a command run through the shell, on Linux and on Windows.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#ifndef _WIN32
#include <sys/wait.h>
#endif

inline std::string ToolPath() {
#ifdef _WIN32
  return std::filesystem::absolute(std::string(LUMIVEIL_BIN_DIR) + "/lumiveil.exe")
      .make_preferred()
      .string();
#else
  return std::string(LUMIVEIL_BIN_DIR) + "/lumiveil";
#endif
}

inline const char* NullDevice() {
#ifdef _WIN32
  return "NUL";
#else
  return "/dev/null";
#endif
}

// Runs the command through the shell; its exit status, or -1 when it did not exit.
inline int RunCommand(const std::string& command) {
#ifdef _WIN32
  // cmd /c takes off the first and the last quote of a line that starts with one.
  return std::system(("\"" + command + "\"").c_str());
#else
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}
