#include "app/callbacks.h"


#include "app/driver.h"
#include "core/fractal_list.h"
#include "core/globals.h"
#include "core/message_log.h"
#include "glutmenu/glut_menu.h"
#include "glutmenu/menu_font.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"
#include "platform/console.h"
#include "platform/window_close.h"
#include "platform/working_directory.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <sstream>

int32_t scrollAccumulator = 0;

namespace {

// A window coordinate or wheel offset truncated toward zero, kept inside the int range.
int32_t truncated(double value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int32_t>(std::clamp(value, -1.0e9, 1.0e9));
}

// Makes the first (Home) or last (End) record current and queues it.
void showListEnd(bool last)
{
    std::lock_guard lock(fractalListMutex);
    if (fractalList.empty())
        return;
    setCurrentFractal(last ? fractalList.back() : fractalList.front());
    currentFractalIndex = last ? static_cast<int32_t>(fractalList.size()) - 1 : 0;
    selectFractal(0, true);
}

// The menu bar shown with nothing chosen, selected or open.
void showMenuBar()
{
    menuBar.visible = true;
    menuBar.itemChosen = false;
    menuBar.selectedItem = -1;
    menuBar.highlighted = 0;
}

// Stores the released rubber band in image pixels and hands it to the driver.
void finishSelection(GLFWwindow* window, int32_t x, int32_t y)
{
    RubberBand& band = rubberBand;
    band.selecting = false;
    band.endX = band.currentX = x;
    band.endY = band.currentY = y;
    if (x == band.startX && y == band.startY)
        return;

    int fbW = 0, fbH = 0;
    glfwGetFramebufferSize(window, &fbW, &fbH);
    // NOTE: a minimised window has no pixels to scale from; the band stays armed instead of
    // zooming into infinite bounds.
    if (fbW <= 0 || fbH <= 0)
        return;

    band.moved = false;
    zoomMode = false;
    const float sx = static_cast<float>(static_cast<uint32_t>(imageWidth)) / static_cast<float>(fbW);
    const float sy = static_cast<float>(static_cast<uint32_t>(imageHeight)) / static_cast<float>(fbH);
    zoomTarget.maxX = static_cast<float>(std::max(band.startX, band.endX)) * sx;
    zoomTarget.minX = static_cast<float>(std::min(band.startX, band.endX)) * sx;
    zoomTarget.maxY = static_cast<float>(std::max(band.startY, band.endY)) * sy;
    zoomTarget.minY = static_cast<float>(std::min(band.startY, band.endY)) * sy;

    band.dragging = false;
    requestFrame();
    zoomRequested = true;
    showMenuBar();
}

// Prints the pieces as one line, reals in the stream's default six significant digits.
template <typename... Pieces>
void printPieces(const Pieces&... pieces)
{
    std::ostringstream line;
    (line << ... << pieces);
    printLine(line.str());
}

} // namespace

void keyCallback(GLFWwindow*, int key, int, int action, int mods)
{
    if (action != GLFW_RELEASE)
        return;
    if ((mods & GLFW_MOD_SHIFT) == 0) {
        menuBar.KeyboardCallback(key, mods);
        return;
    }
    switch (key) {
    case GLFW_KEY_RIGHT:
        selectFractal(1, true);
        break;
    case GLFW_KEY_LEFT:
        selectFractal(-1, true);
        break;
    case GLFW_KEY_HOME:
        showListEnd(false);
        break;
    case GLFW_KEY_END:
        showListEnd(true);
        break;
    default:
        break;
    }
}

void mouseButtonCallback(GLFWwindow* window, int button, int action, int)
{
    double cursorX = 0, cursorY = 0;
    glfwGetCursorPos(window, &cursorX, &cursorY);
    const int32_t x = truncated(cursorX);
    const int32_t y = truncated(cursorY);

    const bool barShown = menuBar.visible;
    if (menuBar.MouseCallback(button, action, x, y)) {
        // NOTE: choosing a drop-down's item with the mouse hides the bar with it; only the
        // Zoom command keeps it hidden, until the rubber band is released.
        if (barShown && !menuBar.visible && !zoomMode)
            showMenuBar();
        return;
    }

    const bool left = button == GLFW_MOUSE_BUTTON_LEFT;
    if (rubberBand.selecting) {
        if (left && action == GLFW_RELEASE)
            finishSelection(window, x, y);
        return;
    }
    if (left && action == GLFW_PRESS && zoomMode) {
        endZoomAnimation();
        zoomRequested = false;
        rubberBand.startX = x;
        rubberBand.startY = y;
        rubberBand.selecting = true;
        rubberBand.moved = false;
        redrawRequested = false;
        rubberBand.dragging = true;
    }
}

void cursorPosCallback(GLFWwindow*, double x, double y)
{
    if (!rubberBand.dragging || !zoomMode)
        return;
    rubberBand.moved = true;
    redrawRequested = false;
    rubberBand.currentX = truncated(x);
    rubberBand.currentY = truncated(y);
    std::lock_guard lock(pendingFramesMutex);
    pendingFrames = 0;
}

void scrollCallback(GLFWwindow* window, double xoffset, double yoffset)
{
    const double offset = yoffset == 0.0 ? xoffset : yoffset;
    scrollAccumulator += std::clamp(truncated(offset), -1000, 1000);
    if (scrollAccumulator > 4)
        selectFractal(-1, true);
    else if (scrollAccumulator < -4)
        selectFractal(1, true);
    else
        return;
    scrollAccumulator = 0;
    // Until the next buffer swap puts it back.
    glfwSetScrollCallback(window, nullptr);
}

void ReshapeCallback(GLFWwindow* window, int, int)
{
    int w = 0, h = 0;
    glfwGetFramebufferSize(window, &w, &h);
    reshapeFramebuffer(window, w, h);
}

void reshapeFramebuffer(GLFWwindow* window, int w, int h)
{
    glViewport(0, 0, w, h);
    menuBar.window = window;
    infoForm.window = window;
    setWorkingDirectoryToExe();
    printLine("Reshape callback");

    if (w > 0 && h > 0) {
        const float width = static_cast<float>(w);
        const float height = static_cast<float>(h);
        const float fx = width / uiWidth;
        const float fy = height / uiHeight;
        printPieces("Reshaping to ", w, "x", h);
        printPieces("Reshapng factors ", fx, ", ", fy);
        printPieces("old (x,y) =  ", menuBar.x, " ", menuBar.y);
        menuBar.x *= fx;
        menuBar.y *= fy;
        printPieces("new (x,y) =  ", menuBar.x, " ", menuBar.y);

        uiWidth = width;
        uiHeight = height;
        uiScaleY = height / 768.0f;
        uiScaleX = width * 0.0009765625f;
        printPieces("scale ", uiScaleX, ", ", uiScaleY);

        loadMenuFont(menuBar.fontFile);
        sizeMenuFont();
        fontScaleX = uiWidth * 0.6f * 0.0009765625f;
        fontScaleY = 0.150015f * uiScaleY;
        lineHeight = measureText("I");
        printPieces("font scale ", fontScaleX, ", ", fontScaleY);

        menuBar.reshape();
        if (activeTextInput != nullptr)
            activeTextInput->ReshapeCallback(fx, fy);
    }
    if (messageLog) {
        messageLog->x = 0.6f * static_cast<float>(w);
        messageLog->y = 0.3f * static_cast<float>(h);
    }
}

void windowCloseCallback(GLFWwindow*)
{
    stopFlag = true;
    quitFlag = true;
}

void lookForWindowClose()
{
    if (windowCloseWaiting(window))
        windowCloseCallback(window);
}

void errorCallback(int, const char* description)
{
    printError(stderr, description);
}

void printError(std::FILE* stream, const char* description)
{
    std::fprintf(stream, "Error: %s\n", description != nullptr ? description : "");
    std::fflush(stream);
}

void printNoGLSL()
{
    printLine("OpenGL Shading Language extensions not available");
}
