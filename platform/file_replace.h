// Replacing a file's contents so that a failed write never damages what was there. Main thread.
#pragma once

#include <span>
#include <string>

// Writes the bytes to a new file in the target's folder and renames it over the target, which
// keeps its permissions; a link is followed, so the file it names is replaced. Every write, the
// flush to disk and the close are checked: on any failure the new file is removed, the target is
// left as it was and the result is false. A target that exists but is no regular file (a folder,
// a device) is never replaced.
bool replaceFileContents(const std::string& path, std::span<const unsigned char> bytes);
