// Safe saving in the web page: the writer writes into memory, and only a file written
// whole is put into the store under its name (platform/web/SavedFiles.h), replacing what
// an earlier save left there; a failed save leaves the store as it was.
#include "platform/Files.h"

#include <map>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "platform/MemoryStream.h"
#include "platform/web/SavedFiles.h"

namespace {

std::map<std::string, std::vector<uint8_t>>& Store() {
  static std::map<std::string, std::vector<uint8_t>> store;
  return store;
}

}  // namespace

void SaveFileSafely(const std::string& file_name, const std::function<void(TStream&)>& write) {
  if (file_name.empty()) throw EFCreateError(Format(SFCreateError, file_name.c_str()));
  TMemoryStream stream;
  write(stream);
  const uint8_t* bytes = stream.Memory();
  Store()[file_name].assign(bytes, bytes + stream.Size());
}

// The page's store has no folders and no links to follow.
std::optional<std::string> PlantedLinkReason(const std::string&) {
  return std::nullopt;
}

bool FileExists(const std::string& file_name) {
  return Store().count(file_name) != 0;
}

std::optional<std::vector<uint8_t>> TakeSavedFile(const std::string& file_name) {
  const auto found = Store().find(file_name);
  if (found == Store().end()) return std::nullopt;
  std::vector<uint8_t> bytes = std::move(found->second);
  Store().erase(found);
  return bytes;
}
