#include "menus/file_commands.h"

#include "core/fractal_list.h"
#include "core/globals.h"

const std::vector<FileFilter> fractalFileFilters{
    {"fractals (*.frac, *.frac2)", "*.frac;*.frac2"},
    {"fractals (*.frac2)", "*.frac2"},
    {"version 1 fractals (*.frac)", "*.frac"},
    {"all files (*.*)", "*.*"},
};

void showFilePathInTitle()
{
    if (fractalViewHooks.setWindowTitle && fractalViewHooks.windowTitle)
        fractalViewHooks.setWindowTitle(fractalViewHooks.windowTitle());
}

std::optional<LoadOutcome> loadFractalsDialog()
{
    const std::optional<std::string> path =
        openFileDialog("Load fractals", fractalFileFilters, ".FRAC");
    if (!path)
        return std::nullopt;
    const LoadOutcome outcome = loadFractals(*path);
    currentFilePath = *path;
    showFilePathInTitle();
    return outcome;
}

void saveFractalsDialog()
{
    const std::optional<std::string> path =
        saveFileDialog("Select Fractal File", fractalFileFilters, ".FRAC", lastDialogPath);
    if (!path)
        return;
    lastDialogPath = *path;
    if (!saveFractals(*path))
        return;
    currentFilePath = *path;
    showFilePathInTitle();
}
