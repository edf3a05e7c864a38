// The web page's files. A page has no folders: what the core saves under a name is kept in
// memory until the page takes it and hands it to the browser as a download.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The bytes last saved under `file_name`, removed from the store; nothing when no save
// under that name has finished since the last take.
std::optional<std::vector<uint8_t>> TakeSavedFile(const std::string& file_name);
