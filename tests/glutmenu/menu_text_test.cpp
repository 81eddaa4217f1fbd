#include "core/globals.h"
#include "glutmenu/glut_menu.h"
#include "glutmenu/menu_font.h"
#include "glutmenu/metrics.h"
#include "tests/support/hidden_window.h"
#include "tests/support/test_font.h"

#include <FTGL/ftgl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Sets up a bar for a window of the given width; the menu font follows that width.
void initBar(GlutMenu::CGlutMenu& bar, int windowWidth)
{
    bar.init(windowWidth, windowWidth * 3 / 4, 0, 0, "Menu Bar", {"File", "Palette"}, true, "");
}

} // namespace

TEST(MenuText, GlyphsAreTwentyFourPixelsPerDesignWidth)
{
    installTestFont();
    HiddenWindow gl(320, 200);
    ASSERT_NE(gl.window, nullptr);
    const TrueTypeMetrics font(TESSALY_FONT_FILE);
    const TrueTypeMetrics::Box stem = font.box('I');

    // Draws "I" with its baseline at row 150 and checks it against the outline at `pixels` per em.
    auto checkGlyph = [&](unsigned pixels) {
        gl.beginOverlay();
        drawText("I", 20.0f, 150.0f);
        const LitBox lit = litBox(gl.readRed(), gl.width, gl.height);
        const double perUnit = static_cast<double>(pixels) / font.unitsPerEm;
        EXPECT_NEAR(lit.rows(), (stem.yMax - stem.yMin) * perUnit, 1.0) << pixels;
        EXPECT_NEAR(lit.bottom, 149 - stem.yMin * perUnit, 1.0) << pixels;
        EXPECT_NEAR(lit.left, 20 + stem.xMin * perUnit, 1.0) << pixels;
    };

    for (int width : {700, 1024, 1600, 2048}) {
        GlutMenu::CGlutMenu bar;
        initBar(bar, width);
        const unsigned pixels = static_cast<unsigned>(width * 24 / 1024);
        EXPECT_EQ(menuFont->FaceSize(), pixels);
        checkGlyph(pixels);

        // A second sizing of the same font object, as after a failed reload, keeps the glyphs
        // right: a resolution passed with it must not scale them.
        uiScaleX = 1.25f;
        sizeMenuFont();
        sizeMenuFont();
        checkGlyph(30);
    }
}

TEST(MenuText, MeasuresMatchTheFontFile)
{
    installTestFont();
    const TrueTypeMetrics font(TESSALY_FONT_FILE);
    GlutMenu::CGlutMenu bar;
    initBar(bar, 1024);
    const float perUnit = 24.0f / static_cast<float>(font.unitsPerEm);

    const TrueTypeMetrics::Box stem = font.box('I');
    EXPECT_NEAR(measureText("I"), 1.5f * static_cast<float>(stem.yMax - stem.yMin) * perUnit,
                0.05f);
    EXPECT_FLOAT_EQ(lineHeight, measureText("I"));
    const TrueTypeMetrics::Box g = font.box('g');
    const TrueTypeMetrics::Box h = font.box('H');
    EXPECT_NEAR(measureText("Hg"),
                1.5f * static_cast<float>(std::max(g.yMax, h.yMax) - std::min(g.yMin, h.yMin)) *
                    perUnit,
                0.1f);
    EXPECT_NEAR(charAdvance('H'), static_cast<float>(font.advance('H')) * perUnit, 0.05f);
    EXPECT_NEAR(charAdvance(':'), static_cast<float>(font.advance(':')) * perUnit, 0.05f);

    // No font yet: nothing to measure and nothing drawn.
    FTFont* const loaded = menuFont;
    menuFont = nullptr;
    EXPECT_EQ(measureText("I"), 0.0f);
    EXPECT_EQ(charAdvance('H'), 0.0f);
    drawText("I", 0.0f, 0.0f);
    menuFont = loaded;
}

TEST(MenuText, NarrowWindowKeepsAUsableFace)
{
    installTestFont();
    EXPECT_EQ(menuFontSize(1.0f), 24u);
    EXPECT_EQ(menuFontSize(43.0f / 1024.0f), 1u);
    EXPECT_EQ(menuFontSize(42.0f / 1024.0f), 1u);
    EXPECT_EQ(menuFontSize(0.0f), 1u);

    for (int width : {42, 1}) {
        GlutMenu::CGlutMenu bar;
        bar.init(width, 30, 0, 0, "Menu Bar", {"File", "Palette"}, true, "");
        bar.addSubMenu(0, {"Fractals", "Quit"}, nullptr, "");
        EXPECT_EQ(menuFont->FaceSize(), 1u);
        EXPECT_GT(charAdvance('H'), 0.0f);
        EXPECT_GT(lineHeight, 0.0f);
        EXPECT_GT(bar.marqueeChars, 0u);
        EXPECT_LT(bar.marqueeChars, 1000u);
    }

    // Without a font nothing is measured; the layout keeps its count instead of dividing by 0.
    GlutMenu::CGlutMenu bar;
    initBar(bar, 1024);
    const uint32_t chars = bar.marqueeChars;
    FTFont* const loaded = menuFont;
    menuFont = nullptr;
    bar.reshape();
    EXPECT_EQ(bar.marqueeChars, chars);
    menuFont = loaded;
}

TEST(MenuText, UnreadableFontKeepsThePreviousOne)
{
    installTestFont();
    GlutMenu::CGlutMenu bar;
    initBar(bar, 1024);
    FTFont* const loaded = menuFont;
    EXPECT_FALSE(loadMenuFont("NoSuchFont.ttf"));
    EXPECT_EQ(menuFont, loaded);
    EXPECT_GT(charAdvance('H'), 0.0f);
    EXPECT_TRUE(loadMenuFont("CharisSILR.ttf"));
    EXPECT_NE(menuFont, nullptr);
}

TEST(MenuTextDeathTest, MissingFontEndsWithCodeOne)
{
    installTestFont();
    EXPECT_EXIT(
        {
            dup2(STDERR_FILENO, STDOUT_FILENO);
            GlutMenu::CGlutMenu bar;
            bar.init(1024, 768, 0, 0, "Menu Bar", {"File"}, true, "NoSuchFont.ttf");
        },
        testing::ExitedWithCode(1), "^Could not load font\n$");
}
