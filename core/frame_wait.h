// Waiting for the end of a frame in short naps, so that the waiting thread can look around
// meanwhile: the main thread, computing a frame itself in synchronous mode, must still see a
// close of the window.
#pragma once

#include <chrono>
#include <functional>

// What a thread does between two naps of a frame wait; null for no look.
using FrameWaitLook = void (*)();

// This thread's look: the main thread sets one for the frames it computes itself; every other
// thread has none.
extern thread_local FrameWaitLook frameWaitLook;

// The length of one nap: the most a finished frame waits to be noticed.
constexpr std::chrono::milliseconds frameWaitNap{1};

// Naps until done() holds, running this thread's look, if any, before each nap. Any thread.
void napUntil(const std::function<bool()>& done);
