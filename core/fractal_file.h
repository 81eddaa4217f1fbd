// Fractal files: "*.frac" (version 1, reals as doubles) and "*.frac2" (version 2, reals as
// 16-byte extended slots, ending in the two bytes "v2"), headerless sequences of records.
// All functions here run on the main thread.
#pragma once

#include "core/fractal_record.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// What loadFractals did with a file.
enum class LoadOutcome {
    Loaded,    // the list holds the file's records; the first is current and queued
    NotOpened, // the file could not be read; nothing changed
    NoRecord,  // the file held no whole record; the list, index and queue were kept
};

// The records read from a file's bytes, and why the reading stopped early, if it did.
struct FractalFileContents {
    int version = 1;
    std::vector<FractalRecord> records;
    std::string damage; // console line for a damaged file; empty when the file ended cleanly
};

// Reads the records of a fractal file. The version is 2 when the last two bytes are "v2" in
// either case. Reading stops at the end of the file, at a record cut short (which is dropped)
// and at a name length outside 1 to the bytes left; the records before are kept.
FractalFileContents parseFractalFile(std::span<const unsigned char> bytes);

// The bytes of a fractal file of version 1 or 2 holding the records in order.
std::vector<unsigned char> encodeFractalFile(const std::vector<FractalRecord>& records,
                                             int version);

// The version a file is written in: 2 when the path ends in ".frac2", else 1.
int fractalFileVersion(const std::string& path);

// The largest fractal file the reader takes, 2 GiB - 1 bytes: far beyond any list the program
// holds (some 15 million records with ten-character names).
constexpr uint64_t maxFractalFileBytes = 0x7FFFFFFF;

// Replaces fractalList with the records of a file, makes the first current and queues it.
// Only a regular file of at most maxFractalFileBytes is read, a piece at a time, up to its first
// damaged record; anything else, and a read error, prints "Could not read from disk" and keeps
// the list. A file that yields no record keeps the current list too.
LoadOutcome loadFractals(const std::string& path);

// Loads the list named on the command line at start-up; when the file yields no fractal, says
// so and makes the default Mandelbrot instead.
void loadBenchFractals(const std::string& path);

// Writes fractalList in the version the path asks for. The file is replaced only once the whole
// list is written: then "Saved fractal " and the index are printed for each record. Otherwise
// "Could not write to disk" is printed, the file stays as it was and the result is false.
bool saveFractals(const std::string& path);
