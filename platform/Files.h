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
// file_name, with the system's reason as its detail.
//
// On Linux, besides:
// - the temporary file has no name (O_TMPFILE) until just before the rename, so a save
//   killed half-way leaves nothing; a file system that cannot do that gets a named one;
// - a symbolic link is written through: its final target is replaced (the temporary file
//   sits in that target's folder) and the link stays; a dangling link's target is made;
// - an existing character device or FIFO is written into directly (no temporary file, no
//   rename), so /dev/stdout, a pipe or a terminal take the data and stay what they are;
//   any other kind of file (a directory, a socket, a block device) is refused with
//   EFCreateError.
// On both platforms the name "-" writes to standard output.
void SaveFileSafely(const std::string& file_name, const std::function<void(TStream&)>& write);

bool FileExists(const std::string& file_name);
