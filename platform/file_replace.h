// Replacing a file's contents so that a failed write never damages what was there. Main thread.
#pragma once

#include <span>
#include <string>

// Writes the bytes to a new file beside the target, named after it and open to the user alone
// while it is written, then renames it over the target. It takes the target's permissions (for a
// new target, those a plain creation gives) and group; when the user may not give it that group
// it keeps the user's, without the set-group-ID bit or any group right others lacked. A link is
// followed, so the file it names is replaced. Every write, the flush to disk and the close are
// checked: on any failure, a write beyond the process's file-size limit included, the new file is
// removed, the target is left as it was and the result is false. A target that exists but is no
// regular file (a folder, a device), or that the user may not replace (read-only, someone else's,
// or with other hard links), is never replaced.
bool replaceFileContents(const std::string& path, std::span<const unsigned char> bytes);
