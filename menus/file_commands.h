// The File menu's commands on fractal files. Main thread only.
#pragma once

#include "core/fractal_file.h"
#include "platform/file_dialog.h"

#include <optional>

#include <vector>

// The filters of the load and save dialogs, in order; the first is selected.
extern const std::vector<FileFilter> fractalFileFilters;

// Asks for a file with the "Load fractals" dialog, loads it and shows its path in the window
// title. Cancelling changes nothing. What the load did; nothing when the dialog was cancelled.
std::optional<LoadOutcome> loadFractalsDialog();

// Shows currentFilePath in the window title.
void showFilePathInTitle();

// Asks for a file with the "Select Fractal File" dialog, proposing the path last chosen there,
// and writes the list to it. Only a completed save makes it the current file shown in the title;
// a failed one leaves the old file as it was. Cancelling changes nothing.
void saveFractalsDialog();
