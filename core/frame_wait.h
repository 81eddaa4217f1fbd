// Waiting for the end of a frame in bounded waits, so that the waiting thread can look around
// meanwhile: the main thread, computing a frame itself in synchronous mode, must still see a
// close of the window.
#pragma once

#include <chrono>
#include <functional>

// What a thread does between two waits of a frame wait; null for no look.
using FrameWaitLook = void (*)();

// This thread's look: the main thread sets one for the frames it computes itself; every other
// thread has none.
extern thread_local FrameWaitLook frameWaitLook;

// The longest one wait blocks: the most a close waits to be seen. The end of the frame ends the
// wait at once.
constexpr std::chrono::milliseconds frameWaitInterval{10};

// Calls waitFor(frameWaitInterval) until it returns true, running this thread's look, if any,
// after each call that returned false. waitFor blocks until what it waits for has happened
// (true) or the interval has passed (false). Any thread.
void waitLooking(const std::function<bool(std::chrono::milliseconds)>& waitFor);
