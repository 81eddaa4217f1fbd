#include "core/frame_wait.h"

#include <thread>

thread_local FrameWaitLook frameWaitLook = nullptr;

void napUntil(const std::function<bool()>& done)
{
    while (!done()) {
        if (frameWaitLook != nullptr) {
            frameWaitLook();
            if (done())
                return;
        }
        std::this_thread::sleep_for(frameWaitNap);
    }
}
