// The fractal list and the operations that change which record is current.
// All functions here run on the main thread.
#pragma once

#include "core/fractal_record.h"

#include <cstdint>
#include <string>

extern int32_t nextFractalId;

// Seams to the window and the menus, installed by start-up; each may stay null.
struct FractalViewHooks {
    void (*setWindowTitle)(const std::string& title) = nullptr; // the main window's title
    bool (*hasPaletteMenu)() = nullptr;                         // the menu bar has a Palette menu
    void (*updatePaletteChecks)() = nullptr;                    // refresh the Palette menu ticks
    void (*removeScrollCallback)() = nullptr;                   // until the next buffer swap
    std::string (*windowTitle)() = nullptr;                     // title text with the file path
};
extern FractalViewHooks fractalViewHooks;

// The default record of a fractal type; type 1 and any unknown type give the Julia record
// with the constant and palette of the preset (100 to 103, anything else the default).
FractalRecord defaultFractalRecord(int32_t type, int32_t preset);

// Appends the default record of a type, makes it current and queues it.
void newFractal(int32_t type, int32_t preset);

// Steps to the previous (-1) or next (+1) record, or re-shows the current one (0). With apply
// false a moved index leaves the view globals and the title alone. Returns false when the index
// did not move for a non-zero step, or when the list is empty.
bool selectFractal(int32_t step, bool apply);

// Copies a record into the view globals, prints it and puts its name in the window title.
void setCurrentFractal(const FractalRecord& record);

// Writes the one-line description of a record to standard output.
void printFractalParameters(const FractalRecord& record);

// Hands a copy of a record to the frame pipeline: lastQueuedFractal, then renderQueue.
void queueFractal(const FractalRecord& record);

// Raises pendingFrames by one.
void requestFrame();

// Sets pendingFrames to 0 and counts the drop, so that a frame begun before it neither takes
// one of the frames asked for after it nor adds to a benchmark's time.
void dropPendingFrames();
