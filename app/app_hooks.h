// The menu toolkit's keyboard and mouse handling, which the window callbacks offer every key
// and click first. Until that handling exists the seams stay empty and every event goes on to
// the fractal view. Main thread only.
#pragma once

#include <functional>

struct AppHooks {
    std::function<bool(int key, int mods)> menuKeyboard;                 // menuBar's KeyboardCallback
    std::function<bool(int button, int action, int x, int y)> menuMouse; // menuBar's MouseCallback
};

extern AppHooks appHooks;
