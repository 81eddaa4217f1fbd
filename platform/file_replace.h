// Replacing a file's contents so that a failed write never damages what was there. Main thread.
#pragma once

#include <span>
#include <string>

// Writes the bytes to a new file in the target's folder and renames it over the target, which
// keeps its group and permissions; a link is followed, so the file it names is replaced. Every
// write, the flush to disk and the close are checked: on any failure, a write beyond the
// process's file-size limit included, the new file is removed, the target is left as it was and
// the result is false. A target that exists but is no regular file (a folder, a device), or that
// the user may not replace (read-only, someone else's, or with other hard links), is never
// replaced.
bool replaceFileContents(const std::string& path, std::span<const unsigned char> bytes);
