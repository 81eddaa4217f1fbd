#include "core/frame_wait.h"

thread_local FrameWaitLook frameWaitLook = nullptr;

void waitLooking(const std::function<bool(std::chrono::milliseconds)>& waitFor)
{
    while (!waitFor(frameWaitInterval)) {
        if (frameWaitLook != nullptr)
            frameWaitLook();
    }
}
