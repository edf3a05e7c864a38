// Safe saving: every file the system writes is written to a temporary file in the
// target's folder and renamed over the target only when writing succeeded, so a failed
// save leaves an existing file untouched and no partial or empty file behind.
#pragma once

#include <functional>
#include <string>

class TStream;

// Calls write with a stream on a new temporary file beside file_name; when write returns
// and the data is on disk, the temporary file replaces file_name (keeping the permissions
// an existing file had). When anything fails, the temporary file is removed and the
// exception passes on. A folder where no file can be created raises EFCreateError naming
// file_name.
void SaveFileSafely(const std::string& file_name, const std::function<void(TStream&)>& write);

bool FileExists(const std::string& file_name);
