// The display's palettes: 1024 colours of 16 bits per channel, in three kinds. An iteration
// value v shows as entry v & 1023. Main thread only.
#pragma once

#include <cstdint>
#include <memory>

struct PaletteEntry {
    uint16_t red;
    uint16_t green;
    uint16_t blue;
};
static_assert(sizeof(PaletteEntry) == 6, "palettes are uploaded packed as GL_RGB, GL_UNSIGNED_SHORT");

constexpr int paletteSize = 1024;

// Palette types, as paletteType and the fractal records hold them.
enum PaletteTypeNumber : int32_t {
    VgaPalette = 0,    // "VGA Assignmnt"
    RedHeatmap = 1,    // "Red heatmap"
    RandomColours = 2, // "Random Colours"
};

extern PaletteEntry vgaPalette[paletteSize];             // type 0, all black until built
extern std::unique_ptr<PaletteEntry[]> generatedPalette; // types 1 and 2 share it
extern std::unique_ptr<PaletteEntry[]> displayPalette;   // the copy the display uploads
extern PaletteEntry* currentPalette; // the palette last built; the VGA palette before any build

// Allocates generatedPalette and displayPalette, both black. Start-up, before any build.
void allocatePalettes();

// Builds the palette of a type and points currentPalette at it; types 1 and 2 also copy it
// into displayPalette, which allocatePalettes must have made. Any other type changes nothing.
void initialisePalette(int32_t paletteType);
