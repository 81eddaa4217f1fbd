// Asks an X11 window to close, as a window manager's close button does: sends WM_DELETE_WINDOW
// to every window whose name starts with the given text and, when a process id is given, whose
// _NET_WM_PID names that process. The id keeps other programs' windows out, and those of a
// program that has just ended, which the server may still list.
// Usage: x11-close-window <name prefix> [process id]
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Wanted {
    const char* prefix;
    long pid; // 0: any process
    Atom protocols;
    Atom deleteWindow;
    Atom windowPid;
};

long windowPid(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success
        && data != nullptr && format == 32 && count == 1)
        pid = *reinterpret_cast<long*>(data);
    if (data != nullptr)
        XFree(data);
    return pid;
}

int closeMatching(Display* display, Window window, const Wanted& wanted)
{
    int closed = 0;
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        if (std::strncmp(name, wanted.prefix, std::strlen(wanted.prefix)) == 0
            && (wanted.pid == 0 || windowPid(display, window, wanted.windowPid) == wanted.pid)) {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = window;
            event.xclient.message_type = wanted.protocols;
            event.xclient.format = 32;
            event.xclient.data.l[0] = static_cast<long>(wanted.deleteWindow);
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
            closed += closeMatching(display, children[i], wanted);
        if (children)
            XFree(children);
    }
    return closed;
}

} // namespace

int main(int argc, char** argv)
{
    const long pid = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
    if ((argc != 2 && argc != 3) || pid < 0) {
        std::fprintf(stderr, "Usage: %s <window name prefix> [process id]\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "Cannot open the X display\n");
        return 2;
    }
    const Wanted wanted{argv[1], pid, XInternAtom(display, "WM_PROTOCOLS", False),
                        XInternAtom(display, "WM_DELETE_WINDOW", False),
                        XInternAtom(display, "_NET_WM_PID", False)};
    const int closed = closeMatching(display, DefaultRootWindow(display), wanted);
    XFlush(display);
    XCloseDisplay(display);
    if (closed == 0) {
        std::fprintf(stderr, "No window named %s...\n", argv[1]);
        return 1;
    }
    return 0;
}
