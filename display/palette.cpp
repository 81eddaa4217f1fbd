#include "display/palette.h"
#include "platform/console.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

PaletteEntry vgaPalette[paletteSize];
std::unique_ptr<PaletteEntry[]> generatedPalette;
std::unique_ptr<PaletteEntry[]> displayPalette;
// NOTE: starts at the black VGA palette so that a copy before the first valid build (a record
// with an unknown palette type) reads black rather than a null pointer.
PaletteEntry* currentPalette = vgaPalette;

namespace {

// The first 248 colours of the VGA default palette, 6 bits per channel.
struct VgaColour {
    uint8_t red, green, blue;
};

constexpr VgaColour vgaFirstSixteen[16] = {
    {0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},  {42, 0, 0},   {42, 0, 42},
    {42, 21, 0},  {42, 42, 42}, {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
    {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63},
};

constexpr uint8_t vgaGreys[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};

// Each block walks the colour wheel over five levels L < a < m < c < H.
constexpr uint8_t vgaBlockLevels[9][5] = {
    {0, 16, 31, 47, 63},  {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63},
    {0, 7, 14, 21, 28},   {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
    {0, 4, 8, 12, 16},    {8, 10, 12, 14, 16},  {11, 12, 13, 15, 16},
};

// The 24 steps of a block as indices into its levels (0 L, 1 a, 2 m, 3 c, 4 H).
constexpr uint8_t vgaWheel[24][3] = {
    {0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4}, {4, 0, 3}, {4, 0, 2}, {4, 0, 1},
    {4, 0, 0}, {4, 1, 0}, {4, 2, 0}, {4, 3, 0}, {4, 4, 0}, {3, 4, 0}, {2, 4, 0}, {1, 4, 0},
    {0, 4, 0}, {0, 4, 1}, {0, 4, 2}, {0, 4, 3}, {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4},
};

constexpr int vgaTableSize = 248;

struct VgaTable {
    VgaColour colours[vgaTableSize];
};

constexpr VgaTable makeVgaTable()
{
    VgaTable table{};
    for (int i = 0; i < 16; ++i)
        table.colours[i] = vgaFirstSixteen[i];
    for (int i = 0; i < 16; ++i)
        table.colours[16 + i] = {vgaGreys[i], vgaGreys[i], vgaGreys[i]};
    for (int block = 0; block < 9; ++block) {
        for (int step = 0; step < 24; ++step) {
            const uint8_t* levels = vgaBlockLevels[block];
            table.colours[32 + 24 * block + step] = {levels[vgaWheel[step][0]],
                                                     levels[vgaWheel[step][1]],
                                                     levels[vgaWheel[step][2]]};
        }
    }
    return table;
}

constexpr VgaTable vgaTable = makeVgaTable();

// Fixed VGA colours, then blue, green and red ramps down to black.
void buildVgaPalette()
{
    printLine("Reinitialising palette");
    for (int i = 0; i < vgaTableSize; ++i) {
        const VgaColour& c = vgaTable.colours[i];
        vgaPalette[i] = {static_cast<uint16_t>(c.red << 10), static_cast<uint16_t>(c.green << 10),
                         static_cast<uint16_t>(c.blue << 10)};
    }
    for (int k = 0; k < 256; ++k) {
        const auto level = static_cast<uint16_t>((255 - k) * 256);
        vgaPalette[248 + k] = {0, 0, level};
        vgaPalette[504 + k] = {0, level, 0};
        vgaPalette[760 + k] = {level, 0, 0};
    }
    vgaPalette[1023] = {0, 0, 0};
    currentPalette = vgaPalette;
}

// Red ramps of 10000 / k that wrap modulo 65536, k counting down from 768 through zero.
void buildRedHeatmap()
{
    PaletteEntry* palette = generatedPalette.get();
    currentPalette = palette;
    palette[0] = {0, 0, 0};
    for (int i = 1; i < paletteSize; ++i) {
        const auto k = static_cast<uint16_t>(769 - i);
        const double red = 10000.0 / k * 65535.0;
        uint16_t value = 0;
        // NOTE: k = 0 gives an infinite quotient, which has no integer value: that entry is black.
        if (std::isfinite(red))
            value = static_cast<uint16_t>(static_cast<int32_t>(red));
        palette[i] = {value, 0, 0};
    }
}

// One channel value from the minimal standard generator: two outputs make a double in [0, 1).
uint16_t randomChannel(std::minstd_rand0& generator)
{
    constexpr double range = 2147483646.0; // outputs run 1 .. 2147483646
    const double x1 = static_cast<double>(generator()) - 1.0;
    const double x2 = static_cast<double>(generator()) - 1.0;
    double u = (x1 + x2 * range) / (range * range);
    if (u >= 1.0)
        u = std::nextafter(1.0, 0.0);
    const double value = (u * 0.95 + 0.05) * 65536.0;
    return static_cast<uint16_t>(std::min(value, 65535.0));
}

// Passes of four entries with one random channel each, green, blue, red in turn; 1023 black.
void buildRandomPalette(uint32_t seed)
{
    PaletteEntry* palette = generatedPalette.get();
    currentPalette = palette;
    palette[paletteSize - 1] = {0, 0, 0};
    std::minstd_rand0 generator(seed);
    for (int i = 0; i < paletteSize - 1; ++i) {
        const uint16_t value = randomChannel(generator);
        switch ((i / 4) % 3) {
        case 0:
            palette[i] = {0, value, 0};
            break;
        case 1:
            palette[i] = {0, 0, value};
            break;
        default:
            palette[i] = {value, 0, 0};
            break;
        }
    }
}

} // namespace

void allocatePalettes()
{
    generatedPalette = std::make_unique<PaletteEntry[]>(paletteSize);
    displayPalette = std::make_unique<PaletteEntry[]>(paletteSize);
}

void initialisePalette(int32_t paletteType)
{
    std::random_device device("default");
    const uint32_t seed = device();
    switch (paletteType) {
    case VgaPalette:
        buildVgaPalette();
        return;
    case RedHeatmap:
        buildRedHeatmap();
        break;
    case RandomColours:
        buildRandomPalette(seed);
        break;
    default:
        return;
    }
    std::copy_n(generatedPalette.get(), paletteSize, displayPalette.get());
}
