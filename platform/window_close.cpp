#include "platform/window_close.h"

#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3.h>
#include <GLFW/glfw3native.h>

namespace {

// The close request that the predicate looks for; it only records what it sees.
struct CloseSearch {
    Window window;
    Atom protocols;
    Atom deleteWindow;
    bool found;
};

// NOTE: Xlib calls this with the display locked, so it must not call Xlib itself. It declines
// every event: XCheckIfEvent then takes none from the queue.
Bool recordCloseRequest(Display*, XEvent* event, XPointer argument)
{
    auto& search = *reinterpret_cast<CloseSearch*>(argument);
    const XClientMessageEvent& message = event->xclient;
    if (event->type == ClientMessage && message.window == search.window &&
        message.message_type == search.protocols && message.format == 32 &&
        static_cast<Atom>(message.data.l[0]) == search.deleteWindow)
        search.found = true;
    return False;
}

} // namespace

bool windowCloseWaiting(GLFWwindow* window)
{
    Display* display = glfwGetX11Display();
    if (display == nullptr || window == nullptr)
        return false;
    static const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    static const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    CloseSearch search{glfwGetX11Window(window), protocols, deleteWindow, false};
    // Reads what the connection holds into the queue, then shows the predicate every event.
    XEvent unused;
    XCheckIfEvent(display, &unused, recordCloseRequest, reinterpret_cast<XPointer>(&search));
    return search.found;
}
