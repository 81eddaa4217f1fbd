#include "menus/main_commands.h"

#include "core/fractal_list.h"
#include "core/globals.h"
#include "menus/benchmark_start.h"
#include "menus/file_commands.h"
#include "menus/menu_bar.h"
#include "menus/menu_labels.h"
#include "menus/parameter_form.h"

#include <algorithm>
#include <mutex>

using GlutMenu::CGlutMenu;

namespace {

// The position of a label in menuLabels, or MenuLabelCount for a text that is none of them.
MenuLabel labelOf(const std::string& text)
{
    const auto found = std::find(menuLabels.begin(), menuLabels.end(), text);
    return static_cast<MenuLabel>(found - menuLabels.begin());
}

// Starts cycling through the list, or stops it; either way the queued frames are dropped.
// Stopping the list cycle of a benchmark ends the benchmark.
void toggleCycle(int item, CGlutMenu& menu)
{
    {
        std::lock_guard lock(renderQueueMutex);
        renderQueue.clear();
    }
    redrawRequested = true;
    const bool cycling = cycleDirection != 0;
    menu.setItemChecked(item, !cycling);
    if (cycling && benchmarkActive)
        stopBenchmark();
    cycleDirection = cycling ? 0 : 1;
    zoomRequested = !cycling;
}

// Loads a list chosen in the file dialog. A running benchmark ends first, as Cycle ends it: without
// a total, its queued and pending frames dropped and the driver at rest. Its animation ends whole,
// so that no step of it, now or in a later Benchmark, nor a zoom towards a stale target reaches
// the list. The current record, the file's first or, when nothing was loaded, the old one, is then
// shown at its own bounds.
void loadFromDisk()
{
    const bool benchmarkCut = benchmarkActive;
    if (benchmarkCut) {
        {
            std::lock_guard lock(renderQueueMutex);
            renderQueue.clear();
        }
        dropPendingFrames();
        stopBenchmark();
        endZoomAnimation();
    }
    const std::optional<LoadOutcome> outcome = loadFractalsDialog();
    if (!benchmarkCut || outcome == LoadOutcome::Loaded)
        return;
    std::lock_guard lock(fractalListMutex);
    if (currentFractalIndex < 0 || static_cast<size_t>(currentFractalIndex) >= fractalList.size())
        return;
    const FractalRecord& current = fractalList[static_cast<size_t>(currentFractalIndex)];
    setCurrentFractal(current);
    queueFractal(current);
    redrawRequested = true;
    // A chosen file that held no list still names the window, as it does outside a benchmark.
    if (outcome)
        showFilePathInTitle();
}

void quit()
{
    {
        std::lock_guard lock(pendingFramesMutex);
        pendingFrames = 0;
    }
    quitFlag = true;
    stopFlag = true;
}

void choosePalette(int32_t type)
{
    paletteType = type;
    redrawRequested = true;
}

void runCommand(MenuLabel label, int item, CGlutMenu& menu)
{
    switch (label) {
    case LabelZoom:
        zoomMode = true;
        menuBar.closeChain(true);
        break;
    case LabelJuliaDefault: newFractal(Julia, 5); break;
    case LabelSanMarco: newFractal(Julia, 100); break;
    case LabelDendrite: newFractal(Julia, 103); break;
    case LabelDouadysRabbit: newFractal(Julia, 101); break;
    case LabelSiegelDisk: newFractal(Julia, 102); break;
    case LabelFirstFractal: newFractal(FirstBarnsley, 0); break;
    case LabelSecondFractal: newFractal(SecondBarnsley, 0); break;
    case LabelThirdFractal: newFractal(ThirdBarnsley, 0); break;
    case LabelSierpinski: newFractal(BarnsleySierpinski, 0); break;
    case LabelMandelbrot: newFractal(Mandelbrot, 0); break;
    case LabelSin: newFractal(Sine, 0); break;
    case LabelCos: newFractal(Cosine, 0); break;
    case LabelSinh: newFractal(HyperbolicSine, 0); break;
    case LabelCosh: newFractal(HyperbolicCosine, 0); break;
    case LabelDragon: newFractal(Dragon, 0); break;
    case LabelChebyshevT5: newFractal(ChebyshevT5, 0); break;
    case LabelHermiteH4: newFractal(HermiteH4, 0); break;
    case LabelLegendreP3: newFractal(LegendreP3, 0); break;
    case LabelVgaAssignment: choosePalette(0); break;
    case LabelRedHeatmap: choosePalette(1); break;
    case LabelRandomColours: choosePalette(2); break;
    case LabelAutoSwitch:
        autoSwitchPalette = !autoSwitchPalette;
        redrawRequested = true;
        break;
    case LabelPreviousFractal: selectFractal(-1, true); break;
    case LabelBenchmark: startBenchmark(); break;
    case LabelBenchmarkFromFile:
        // NOTE: a new list must not replace the one a running benchmark steps through.
        if (benchmarkActive) {
            startBenchmark();
            break;
        }
        loadFractalsDialog();
        startBenchmark();
        break;
    case LabelCycle: toggleCycle(item, menu); break;
    case LabelNextFractal: selectFractal(1, true); break;
    case LabelToggleTimingLogs:
        timingLogs = !timingLogs;
        menu.setItemChecked(item, timingLogs);
        break;
    case LabelInformation: openFractalInformation(); break;
    case LabelLoadFromDisk: loadFromDisk(); break;
    case LabelSaveToDisk: saveFractalsDialog(); break;
    case LabelQuit: quit(); break;
    default: break;
    }
}

} // namespace

void menuCallback(int& item, CGlutMenu* menu, void*)
{
    const int32_t previousPalette = paletteType;
    const std::string label = menu->getItemLabel(item);
    redrawRequested = false;
    runCommand(labelOf(label), item, *menu);

    if (CGlutMenu* palette = menuBar.getSubmenu(1))
        updatePaletteChecks(palette);
    if (paletteType != previousPalette)
        redrawRequested = true;
    std::lock_guard lock(pendingFramesMutex);
    if (redrawRequested)
        pendingFrames += 1;
}
