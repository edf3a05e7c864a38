// Safe saving: every file the system writes is written to a temporary file in the
// target's folder and renamed over the target only when writing succeeded, so a failed
// save leaves an existing file untouched and no partial or empty file behind.
#pragma once

#include <functional>
#include <optional>
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
// - /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N are written into the
//   descriptor the process already holds, as "-" is: opened anew, a regular file behind
//   one would be replaced, where the shell's `>>` asked for the bytes to be appended;
// - a symbolic link that lies in a sticky folder everyone may write to is followed only
//   when it belongs to the process's user or to the folder's owner (PlantedLinkReason);
// - a replaced file keeps its permission bits, its group where the user may give it, and
//   when the process runs as root its owner.
// On Windows a replaced file keeps its attributes and access rights (ReplaceFileA).
// On both platforms the name "-" writes to standard output.
void SaveFileSafely(const std::string& file_name, const std::function<void(TStream&)>& write);

bool FileExists(const std::string& file_name);

// Whether an output name stands for standard output: "-", and on Linux /dev/stdout,
// /dev/fd/1 and /proc/self/fd/1.
bool NamesStandardOutput(const std::string& file_name);
// Whether an output name stands for a descriptor the process holds: "-", and on Linux
// also /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N. What is written there
// cannot be read back as the file written (the bytes went into whatever the shell set up).
bool NamesHeldDescriptor(const std::string& file_name);

// Why the symbolic links on the way to `path` may not be followed, or nothing. Anyone may
// make a link in a sticky folder that all may write to (such as /tmp), pointing at a file
// of someone else's; such a link is followed only when it belongs to the process's user
// or to the folder's owner, the rule the Linux kernel applies when its protection of these
// links is on (it is off on some machines). Nothing on Windows, which has no such folders.
std::optional<std::string> PlantedLinkReason(const std::string& path);

#ifndef _WIN32
// What a kind of file is, as messages name it ("a directory", "a FIFO", ...), from the
// file type bits of a mode.
const char* FileKindText(unsigned mode);
#endif
