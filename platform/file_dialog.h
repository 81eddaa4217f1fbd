// Native file choosers, shown by the desktop's zenity program. Paths are UTF-8.
// Main thread only: the caller waits until the user has answered.
#pragma once

#include <optional>
#include <string>
#include <vector>

// One entry of a chooser's filter list, such as "fractals (*.frac2)" with "*.frac2".
// Several patterns are separated by ';' ("*.frac;*.frac2").
struct FileFilter {
    std::string description;
    std::string patterns;
};

// Asks for a file to open, with the first filter selected. Returns its absolute path, or
// nothing when the user cancels or no chooser can be shown. A name without an extension that
// names no existing file gets defaultExtension (such as ".FRAC"); when no file has that name,
// one whose extension differs from it only in case is taken. Each filter shows the files its
// patterns name in any case.
std::optional<std::string> openFileDialog(const std::string& title,
                                          const std::vector<FileFilter>& filters,
                                          const std::string& defaultExtension);

// Asks for a file to write, proposing proposedPath and asking before an existing file is
// replaced. A name without an extension gets defaultExtension; the filters show names as in
// openFileDialog. Returns the absolute path, or nothing when the user cancels or no chooser can
// be shown.
std::optional<std::string> saveFileDialog(const std::string& title,
                                          const std::vector<FileFilter>& filters,
                                          const std::string& defaultExtension,
                                          const std::string& proposedPath);
