// Asks an X11 window to close, as a window manager's close button does: sends WM_DELETE_WINDOW
// to every top-level window whose name starts with the given text.
// Usage: x11-close-window <name prefix>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

namespace {

int closeMatching(Display* display, Window window, const char* prefix, Atom protocols, Atom deleteWindow)
{
    int closed = 0;
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        if (std::strncmp(name, prefix, std::strlen(prefix)) == 0) {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = window;
            event.xclient.message_type = protocols;
            event.xclient.format = 32;
            event.xclient.data.l[0] = static_cast<long>(deleteWindow);
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(display, window, False, NoEventMask, &event);
            ++closed;
        }
        XFree(name);
    }
    Window root, parent;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i)
            closed += closeMatching(display, children[i], prefix, protocols, deleteWindow);
        if (children)
            XFree(children);
    }
    return closed;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s <window name prefix>\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "Cannot open the X display\n");
        return 2;
    }
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    const int closed = closeMatching(display, DefaultRootWindow(display), argv[1], protocols, deleteWindow);
    XFlush(display);
    XCloseDisplay(display);
    if (closed == 0) {
        std::fprintf(stderr, "No window named %s...\n", argv[1]);
        return 1;
    }
    return 0;
}
