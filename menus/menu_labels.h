// The texts of the menu items and of the parameter form's rows. The menu commands are told
// apart by their labels.
#pragma once

#include <string>
#include <vector>

extern const std::vector<std::string> menuLabels;
extern const std::vector<std::string> formFieldLabels;

// Positions of the labels in menuLabels, in table order.
enum MenuLabel : int {
    LabelFile, LabelPalette, LabelZoom, LabelDevices,
    LabelFractals, LabelToggleTimingLogs, LabelPreviousFractal, LabelNextFractal, LabelCycle,
    LabelInformation, LabelBenchmark, LabelBenchmarkFromFile, LabelLoadFromDisk, LabelSaveToDisk,
    LabelQuit,
    LabelMandelbrot, LabelJulia, LabelSin, LabelCos, LabelSinh, LabelCosh, LabelBarnsley,
    LabelDragon, LabelChebyshevT5, LabelHermiteH4, LabelLegendreP3,
    LabelJuliaDefault, LabelDendrite, LabelDouadysRabbit, LabelSanMarco, LabelSiegelDisk,
    LabelFirstFractal, LabelSecondFractal, LabelThirdFractal, LabelSierpinski,
    LabelVgaAssignment, LabelRedHeatmap, LabelRandomColours, LabelAutoSwitch,
    LabelCpu, LabelDoublePrecision, LabelExtendedPrecision, LabelCpuThreads,
    LabelSystemInformation, LabelUseShaders, LabelUseInterop, LabelSynchronousMode,
    MenuLabelCount
};

// Positions of the row labels in formFieldLabels.
enum FormField : int {
    FieldName, FieldMaxIterations, FieldMaxSizeSquared, FieldMinX, FieldMinY, FieldMaxX, FieldMaxY,
    FieldCx, FieldCy,
    FormFieldCount
};
