// What the X screen shows, read back with ImageMagick's import, and the colours the program's
// window must show for a fractal record, worked out from the CPU kernel and the palette.
#pragma once

#include "core/fractal_record.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // rows from the top

    std::array<int, 3> at(int x, int y) const;
};

// The whole screen, or nothing when import fails.
std::optional<Screenshot> takeScreenshot();

// One window position, the escape count of the image pixel shown there and its colour.
struct ColourSample {
    int x;
    int y;
    int count;
    std::array<int, 3> colour; // 8 bits per channel
};

// Positions in a window of w x h at the screen's corner showing the record's iteration image
// through the VGA palette, where the pixel's texel and its neighbours two texels around share one
// escape count (so the sampling of the scaled image cannot pick another count); at most two
// positions per count. The places of the two message logs are left out.
std::vector<ColourSample> paletteSamples(const FractalRecord& record, int windowWidth,
                                         int windowHeight);

// The number of distinct escape counts among the samples.
size_t distinctCounts(const std::vector<ColourSample>& samples);

// A description of every sample whose screen colour is more than 3 off in a channel; empty when
// all match.
std::string colourMismatches(const Screenshot& shot, const std::vector<ColourSample>& samples);

// Takes screenshots until the samples match or the time limit passes; returns the mismatches of
// the last screenshot.
std::string waitForColours(const std::vector<ColourSample>& samples);
