// Seams from the application shell to the display, the menus and the OpenCL set-up. Start-up
// fills them in; an empty seam does nothing (a query answers as noted). Main thread only.
#pragma once

#include <functional>
#include <string>
#include <utility>

struct GLFWwindow;

struct AppHooks {
    // Main loop and driver.
    std::function<void()> renderScene;                       // draws the scene and swaps
    std::function<void(const std::string&)> addInfoLogLine;  // a line in infoLog
    std::function<void()> requestKernelRebuild;              // wakes the OpenCL set-up thread
    std::function<void()> untickSynchronousMode;             // Devices menu: "Synchronous Mode ..."

    // Input. An empty menu handler leaves every event to the fractal view.
    std::function<bool(int key, int mods)> menuKeyboard;     // menuBar's KeyboardCallback
    std::function<bool(int button, int action, int x, int y)> menuMouse; // menuBar's MouseCallback
    std::function<void()> showMenuBar;                       // visible, nothing chosen or selected

    // Window size.
    std::function<void(GLFWwindow*)> setMenuWindow;          // window of menuBar and infoForm
    std::function<std::pair<float, float>()> menuBarOrigin;  // menuBar's x, y; empty: (0, 0)
    std::function<void(float x, float y)> setMenuBarOrigin;
    std::function<void(unsigned size, unsigned resolution)> replaceMenuFont; // new menuFont
    std::function<float(const std::string&)> measureText;    // empty: lineHeight is kept
    std::function<void(float fx, float fy)> reshapeMenus;    // menuBar and the open form
    std::function<void(float x, float y)> moveMessageLog;    // position of messageLog
};

extern AppHooks appHooks;
