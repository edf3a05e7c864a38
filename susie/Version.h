// The version both programs print for --version: the project's version (CMake's project
// version) and the plug-in API the host loads.
#pragma once

#include <string>

// The project's version, e.g. "0.1.0".
const char* LumiveilVersion();

// Two lines for `PROGRAM --version`: "PROGRAM VERSION" and the plug-in API.
std::string VersionText(const std::string& program);
