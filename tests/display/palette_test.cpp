#include "display/palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace {

auto rgb(const PaletteEntry& e)
{
    return std::make_tuple(e.red, e.green, e.blue);
}

// Fills displayPalette with a colour no build produces, to see whether a build copies.
void markDisplayPalette()
{
    std::fill_n(displayPalette.get(), paletteSize, PaletteEntry{1, 2, 3});
}

std::string build(int32_t type)
{
    testing::internal::CaptureStdout();
    initialisePalette(type);
    return testing::internal::GetCapturedStdout();
}

TEST(PaletteTest, PalettesAreAllocatedBlack)
{
    allocatePalettes();
    for (int i = 0; i < paletteSize; ++i) {
        ASSERT_EQ(rgb(generatedPalette[i]), std::make_tuple(0, 0, 0)) << i;
        ASSERT_EQ(rgb(displayPalette[i]), std::make_tuple(0, 0, 0)) << i;
    }
}

TEST(PaletteTest, VgaPaletteHasTheTableAndThreeRamps)
{
    allocatePalettes();
    markDisplayPalette();
    EXPECT_EQ(build(VgaPalette), "Reinitialising palette\n");
    EXPECT_EQ(currentPalette, vgaPalette);
    EXPECT_EQ(rgb(displayPalette[5]), std::make_tuple(1, 2, 3)) << "type 0 leaves the display copy";

    EXPECT_EQ(rgb(vgaPalette[0]), std::make_tuple(0, 0, 0));
    EXPECT_EQ(rgb(vgaPalette[6]), std::make_tuple(43008, 21504, 0));
    EXPECT_EQ(rgb(vgaPalette[7]), std::make_tuple(43008, 43008, 43008));
    EXPECT_EQ(rgb(vgaPalette[15]), std::make_tuple(64512, 64512, 64512));
    EXPECT_EQ(rgb(vgaPalette[17]), std::make_tuple(5120, 5120, 5120));
    EXPECT_EQ(rgb(vgaPalette[31]), std::make_tuple(64512, 64512, 64512));
    // Block 0 starts at blue, reaches yellow half way; block 8 ends on (L, a, H).
    EXPECT_EQ(rgb(vgaPalette[32]), std::make_tuple(0, 0, 64512));
    EXPECT_EQ(rgb(vgaPalette[44]), std::make_tuple(64512, 64512, 0));
    EXPECT_EQ(rgb(vgaPalette[56]), std::make_tuple(31744, 31744, 64512));
    EXPECT_EQ(rgb(vgaPalette[139]), std::make_tuple(28672, 24576, 14336));
    EXPECT_EQ(rgb(vgaPalette[247]), std::make_tuple(11264, 12288, 16384));

    EXPECT_EQ(rgb(vgaPalette[248]), std::make_tuple(0, 0, 65280));
    EXPECT_EQ(rgb(vgaPalette[249]), std::make_tuple(0, 0, 65024));
    EXPECT_EQ(rgb(vgaPalette[503]), std::make_tuple(0, 0, 0));
    EXPECT_EQ(rgb(vgaPalette[504]), std::make_tuple(0, 65280, 0));
    EXPECT_EQ(rgb(vgaPalette[759]), std::make_tuple(0, 0, 0));
    EXPECT_EQ(rgb(vgaPalette[760]), std::make_tuple(65280, 0, 0));
    for (int i = 1015; i < paletteSize; ++i)
        EXPECT_EQ(rgb(vgaPalette[i]), std::make_tuple(0, 0, 0)) << i;
}

TEST(PaletteTest, RedHeatmapWrapsAndIsBlackOnlyAtZeroAndAtTheInfiniteQuotient)
{
    allocatePalettes();
    markDisplayPalette();
    EXPECT_EQ(build(RedHeatmap), "");
    EXPECT_EQ(currentPalette, generatedPalette.get());

    const std::pair<int, int> reds[] = {{1, 1352},     {2, 2464},     {100, 62092},
                                        {768, 55536},  {770, 10000},  {771, 10000},
                                        {1022, 10038}, {1023, 10038}};
    for (const auto& [entry, red] : reds)
        EXPECT_EQ(rgb(generatedPalette[entry]), std::make_tuple(red, 0, 0)) << entry;
    for (int i = 0; i < paletteSize; ++i) {
        const bool black = generatedPalette[i].red == 0;
        EXPECT_EQ(black, i == 0 || i == 769) << i;
        ASSERT_EQ(rgb(displayPalette[i]), rgb(generatedPalette[i])) << i;
    }
}

TEST(PaletteTest, RandomPaletteFillsEveryEntryInChannelPasses)
{
    allocatePalettes();
    // A heatmap first: none of its reds may survive the random build.
    build(RedHeatmap);
    markDisplayPalette();
    EXPECT_EQ(build(RandomColours), "");
    EXPECT_EQ(currentPalette, generatedPalette.get());

    const PaletteEntry* palette = generatedPalette.get();
    for (int i = 0; i < paletteSize - 1; ++i) {
        const uint16_t channels[3] = {palette[i].green, palette[i].blue, palette[i].red};
        const int random = (i / 4) % 3; // green, blue, red in turn
        for (int c = 0; c < 3; ++c) {
            if (c == random)
                EXPECT_GE(channels[c], 3276) << "entry " << i;
            else
                EXPECT_EQ(channels[c], 0) << "entry " << i << " channel " << c;
        }
        ASSERT_EQ(rgb(displayPalette[i]), rgb(palette[i])) << i;
    }
    EXPECT_EQ(rgb(palette[paletteSize - 1]), std::make_tuple(0, 0, 0));
    EXPECT_EQ(rgb(displayPalette[paletteSize - 1]), std::make_tuple(0, 0, 0));

    const std::vector<PaletteEntry> first(palette, palette + paletteSize);
    build(RandomColours);
    int differing = 0;
    for (int i = 0; i < paletteSize; ++i)
        differing += rgb(first[i]) != rgb(palette[i]);
    EXPECT_GT(differing, 1000) << "two random builds should share almost no colour";
}

TEST(PaletteTest, UnknownTypeChangesNothing)
{
    allocatePalettes();
    build(RedHeatmap);
    const PaletteEntry before = generatedPalette[1];
    for (int32_t type : {-1, 3}) {
        EXPECT_EQ(build(type), "");
        EXPECT_EQ(currentPalette, generatedPalette.get());
        EXPECT_EQ(rgb(generatedPalette[1]), rgb(before));
    }
}

} // namespace
