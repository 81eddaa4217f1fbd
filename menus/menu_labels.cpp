#include "menus/menu_labels.h"

const std::vector<std::string> menuLabels{
    "File", "Palette", "Zoom", "Devices",
    "Fractals", "Toggle Timing Logs", "Previous Fractal", "Next Fractal", "Cycle",
    "Information", "Benchmark", "Benchmark From File", "Load from disk", "Save to disk", "Quit",
    "Mandelbrot", "Julia", "Sin", "Cos", "Sinh", "Cosh", "Barnsley", "Dragon",
    "Chebyshev T5", "Hermite H4", "Legendre P3",
    "Default", "Dendrite", "Douady's Rabbit", "San Marco", "Siegel Disk",
    "1st Fractal", "2nd Fractal", "3rd Fractal", "Sierpinski",
    "VGA Assignmnt", "Red heatmap", "Random Colours", "Auto-switch",
    "CPU", "Double precision", "Extended precision (CPU only)", "CPU Threads",
    "System information", "Use OpenGL fragment shaders", "Use OpenGL/OpenCL interop",
    "Synchronous Mode (faster/menus less responsive)",
};

const std::vector<std::string> formFieldLabels{
    "Name", "Maximum iterations", "Maximum size squared", "Minimum X", "Minimum Y",
    "Maximum X", "Maximum Y", "Cx", "Cy",
};
