// The fractal list, the render queue and the view globals back at an empty start, with the
// given base title and no window or menu hooks.
#pragma once

#include "core/fractal_list.h"
#include "core/globals.h"

#include <string>

inline void resetListState(const std::string& title)
{
    fractalList.clear();
    currentFractalIndex = -1;
    renderQueue.clear();
    pendingFrames = 0;
    nextFractalId = 0;
    autoSwitchPalette = true;
    paletteType = 0;
    fractalType = -1;
    baseTitle = title;
    fractalViewHooks = {};
}
