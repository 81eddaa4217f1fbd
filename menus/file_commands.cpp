#include "menus/file_commands.h"

#include "core/fractal_file.h"
#include "core/fractal_list.h"
#include "core/globals.h"

const std::vector<FileFilter> fractalFileFilters{
    {"fractals (*.frac, *.frac2)", "*.frac;*.frac2"},
    {"fractals (*.frac2)", "*.frac2"},
    {"version 1 fractals (*.frac)", "*.frac"},
    {"all files (*.*)", "*.*"},
};

void loadFractalsDialog()
{
    const std::optional<std::string> path =
        openFileDialog("Load fractals", fractalFileFilters, ".frac");
    if (!path)
        return;
    loadFractals(*path);
    currentFilePath = *path;
    if (fractalViewHooks.setWindowTitle && fractalViewHooks.windowTitle)
        fractalViewHooks.setWindowTitle(fractalViewHooks.windowTitle());
}
