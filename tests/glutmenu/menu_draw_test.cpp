#include "glutmenu/glut_menu.h"
#include "glutmenu/menu_font.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"
#include "tests/support/hidden_window.h"
#include "tests/support/test_font.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

using GlutMenu::CGlutMenu;
using Rgb = std::array<uint8_t, 3>;

namespace {

const Rgb red{255, 0, 0};
const Rgb white{255, 255, 255};
const Rgb boxOverRed{77, 0, 178};         // blue at alpha 0.7 over red
const Rgb highlightOverBox{166, 143, 54}; // yellow at alpha 0.7 over that

// Draws menus into a hidden window over a red image and reads the colours back.
class MenuDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(gl.window, nullptr) << "run under xvfb-run";
        installTestFont();
        bar.init(1024, 768, 0, 0, "Menu Bar", {"File"}, true, "");
    }
    void draw(CGlutMenu& menu)
    {
        glfwGetFramebufferSize(gl.window, &width, &height);
        glViewport(0, 0, width, height);
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        menu.draw();
        glFinish();
    }
    // The drawn bytes of [x0, x1) x [y0, y1), y downward from the top.
    std::vector<uint8_t> read(float x0, float y0, float x1, float y1, GLenum format = GL_GREEN) const
    {
        const int left = static_cast<int>(x0), top = static_cast<int>(y0);
        const int w = static_cast<int>(x1) - left, h = static_cast<int>(y1) - top;
        std::vector<uint8_t> bytes(static_cast<size_t>(w * h * (format == GL_RGB ? 3 : 1)));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(left, height - top - h, w, h, format, GL_UNSIGNED_BYTE, bytes.data());
        return bytes;
    }
    bool shows(float x, float y, const Rgb& want) const
    {
        return std::ranges::equal(read(x, y, x + 1, y + 1, GL_RGB), want, [](int g, int w) { return std::abs(g - w) <= 3; });
    }
    int maxGreen(float x0, float y0, float x1, float y1) const { return std::ranges::max(read(x0, y0, x1, y1)); }

    HiddenWindow gl{1024, 768};
    CGlutMenu bar;
    int width = 0, height = 0;
};

TEST_F(MenuDrawTest, TranslucentDropDownWithHighlightDimmedLabelTickAndArrow)
{
    bar.addSubMenu(0, {"Fractals", "Timing", "Quit", "Last"}, nullptr, "");
    CGlutMenu* file = bar.getSubmenu(0);
    file->addSubMenu(0, {"Mandelbrot"}, nullptr, "");
    file->setItemChecked(0, true); // owns a sub-menu: an arrow, never a tick
    file->setItemChecked(1, true);
    file->setItemEnabled(1, false);
    file->highlighted = 3;
    bar.visible = file->visible = bar.subMenuOpen = true;
    bar.selectedItem = 0;
    draw(bar);

    const float row = lineHeight, a = charAdvance('H'), right = file->x + static_cast<float>(file->width);
    auto bottom = [&](int i) { return static_cast<float>(static_cast<int>(file->y + row * (i + 1))); };
    EXPECT_TRUE(shows(10, bottom(3) - 0.1f * row, highlightOverBox) && shows(right + 5, bottom(3), red));
    EXPECT_GE(maxGreen(0, bottom(0) - row, textAdvance("Fractals"), bottom(0)), 250);
    EXPECT_NEAR(maxGreen(0, bottom(1) - row, textAdvance("Timing"), bottom(1)), 153, 3)
        << "a disabled label is dimmed to 0.6";
    EXPECT_GE(maxGreen(right - 0.7f * a, bottom(1) - row, right, bottom(1)), 250) << "its tick is not";
    EXPECT_LT(maxGreen(right - 0.7f * a, bottom(1) + 3, right, bottom(2) - 3), 10) << "unchecked";
    // The arrow's middle is lit; where a tick has its lowest point, the arrow has nothing.
    EXPECT_GE(maxGreen(right - 0.4f * a, bottom(0) - 0.5f * row, right - 0.3f * a, bottom(0) - 0.4f * row), 250);
    EXPECT_LT(maxGreen(right - 0.4f * a, bottom(0) - 3, right - 0.3f * a, bottom(0)), 10);
}

TEST_F(MenuDrawTest, LongLabelScrollsOnePlaceEveryThreeTenthsOfASecond)
{
    EXPECT_EQ(GlutMenu::marqueeText("ABCDE", 4, 4), "EABC") << "wraps with no gap";
    CGlutMenu menu, reference;
    menu.init(1024, 768, 0, 0, "", {"ABCDEFGHIJKL"}, false, "");
    reference.init(1024, 768, 0, 0, "", {"BCDE"}, false, "");
    menu.marqueeChars = 4;
    menu.visible = reference.visible = true;
    menu.highlighted = reference.highlighted = -1;
    auto label = [&] { return read(0, 0, textAdvance("BCD"), lineHeight); };
    draw(reference);
    const std::vector<uint8_t> second = label();
    // The clock is set back to the ticker's last step before each draw that must not move it.
    for (int i = 0; i < 3; ++i) {
        draw(menu);
        glfwSetTime(menu.marqueeLast);
    }
    EXPECT_EQ(label(), second) << "the first draw moves the ticker on, the next ones within 0.3 s not";
    glfwSetTime(menu.marqueeLast + 0.31);
    draw(menu);
    EXPECT_EQ(menu.marqueeOffset, 2u);
}

TEST_F(MenuDrawTest, FormsDrawCentredOverAHiddenBarAndFollowAResize)
{
    GlutMenu::CTextInput lower, form;
    lower.mode = 2;
    lower.lines = {"System information"};
    lower.x = lower.y = 600.0f;
    lower.open();
    form.window = gl.window;
    form.mode = 3;
    form.rowLabels = {"Iterations", "Name"};
    form.rowValues = {"768"}; // a row without a value is drawn empty
    form.maxChars = 12;
    form.computeWidth();
    setFormButtons(form);
    form.centreInWindow();
    form.open();
    bar.visible = false;
    draw(bar);

    // The title bar, body and buttons of the form, and the title bar of the one beneath it.
    const float x = form.x, y = form.y, edge = x + form.width - 2;
    EXPECT_EQ(static_cast<int>(x), 512 - static_cast<int>(form.labelWidth + form.fieldWidth) / 2);
    EXPECT_TRUE(shows(x + 1, y + 1, white) && shows(edge, y + 1, white) && shows(x - 2, y + 1, red))
        << "the title bar spans the box";
    EXPECT_TRUE(shows(edge, form.bottom - 2, boxOverRed) && shows(edge, form.bottom + 2, red));
    for (int i = 0; i < 2; ++i) {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        form.getButtonRect(i, &x0, &y0, &x1, &y1);
        EXPECT_TRUE(shows(x0 + 2, y0 + 2, white)) << i;
    }
    EXPECT_TRUE(shows(lower.x + 1, lower.y + 1, white));

    // What the window-size callback does for 1280 x 960: the font made for the new size, then
    // the forms rescaled.
    glfwSetWindowSize(gl.window, 1280, 960);
    uiWidth = 1280.0f;
    uiHeight = 960.0f;
    uiScaleX = uiScaleY = 1.25f;
    ASSERT_TRUE(loadMenuFont(bar.fontFile));
    sizeMenuFont();
    lineHeight = measureText("I");
    const float narrowLabels = form.labelWidth;
    form.ReshapeCallback(1.25f, 1.25f);
    EXPECT_NEAR(form.labelWidth, 1.25f * narrowLabels, 2.0f) << "measured with the new font";
    EXPECT_EQ(lower.x, 750.0f) << "the form beneath rescaled too";
}

} // namespace
