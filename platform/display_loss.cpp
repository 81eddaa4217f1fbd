#include "platform/display_loss.h"

#include "platform/console.h"

#include <X11/Xlib.h>

#include <cstdio>

namespace {

int displayLost(Display* display)
{
    std::fprintf(stderr, "X connection to %s broken\n",
                 display != nullptr ? DisplayString(display) : "the display");
    fatalExit(displayLostExitCode);
}

} // namespace

void endProcessWhenDisplayIsLost()
{
    XSetIOErrorHandler(displayLost);
}
