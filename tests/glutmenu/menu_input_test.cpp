#include "glutmenu/glut_menu.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"
#include "tests/support/hidden_window.h"
#include "tests/support/test_font.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

using GlutMenu::CGlutMenu;

namespace {

constexpr int left = GLFW_MOUSE_BUTTON_LEFT;

// A bar "File", "Palette", "Zoom"; File holds "Fractals" (with "Mandelbrot", "Julia"), a
// disabled item and "Quit". Every choice is recorded with the menu that made it.
class MenuInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        installTestFont();
        activeTextInput = nullptr;
        openTextInputs = 0;
        bar.init(1024, 768, 0, 0, "Menu Bar", {"File", "Palette", "Zoom"}, true, "");
        auto record = [this](int& item, CGlutMenu* menu, void*) {
            chosen.push_back({menu->getItemLabel(item), menu});
        };
        bar.assignCallback(record);
        bar.addSubMenu(0, {"Fractals", "Disabled", "Quit"}, record, "");
        bar.addSubMenu(1, {"VGA", "Red"}, record, "");
        file = bar.getSubmenu(0);
        file->setItemEnabled(1, false);
        file->addSubMenu(0, {"Mandelbrot", "Julia"}, record, "");
        fractals = file->getSubmenu(0);
        bar.visible = true;
    }
    void TearDown() override { uiWidth = uiHeight = 100.0f; }

    bool key(int code) { return bar.KeyboardCallback(code, 0); }

    CGlutMenu bar;
    CGlutMenu* file = nullptr;
    CGlutMenu* fractals = nullptr;
    std::vector<std::pair<std::string, CGlutMenu*>> chosen;
};

TEST_F(MenuInputTest, KeysWalkTheBarTheDropDownAndTheSubMenu)
{
    EXPECT_FALSE(key(GLFW_KEY_DOWN)) << "Up and Down belong to drop-downs";
    EXPECT_FALSE(key(GLFW_KEY_UP));
    EXPECT_TRUE(key(GLFW_KEY_LEFT));
    EXPECT_EQ(bar.highlighted, 2) << "Left from the first item wraps to the last";
    EXPECT_TRUE(key(GLFW_KEY_RIGHT));
    EXPECT_EQ(bar.highlighted, 0);

    EXPECT_TRUE(key(GLFW_KEY_ENTER));
    EXPECT_TRUE(bar.subMenuOpen && file->visible);
    EXPECT_TRUE(key(GLFW_KEY_UP));
    EXPECT_EQ(file->highlighted, 2);
    EXPECT_TRUE(key(GLFW_KEY_DOWN));
    EXPECT_TRUE(key(GLFW_KEY_DOWN));
    EXPECT_TRUE(key(GLFW_KEY_ENTER)) << "a disabled item closes the drop-downs";
    EXPECT_FALSE(file->visible || bar.subMenuOpen);
    EXPECT_TRUE(chosen.empty());

    key(GLFW_KEY_ENTER);
    EXPECT_TRUE(key(GLFW_KEY_RIGHT)) << "Right opens the item's sub-menu";
    EXPECT_TRUE(fractals->visible);
    key(GLFW_KEY_DOWN);
    EXPECT_TRUE(key(GLFW_KEY_ENTER));
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0], std::make_pair(std::string("Julia"), fractals));
    EXPECT_FALSE(fractals->visible || file->visible || bar.subMenuOpen);
    EXPECT_TRUE(bar.visible);

    // Right on a leaf of a first-level drop-down closes it and moves along the bar.
    key(GLFW_KEY_ENTER);
    key(GLFW_KEY_UP);
    EXPECT_TRUE(key(GLFW_KEY_RIGHT));
    EXPECT_FALSE(file->visible);
    EXPECT_EQ(bar.highlighted, 1);
    EXPECT_TRUE(key(GLFW_KEY_ENTER));
    EXPECT_TRUE(bar.getSubmenu(1)->visible);
    EXPECT_TRUE(key(GLFW_KEY_ESCAPE));
    EXPECT_FALSE(bar.getSubmenu(1)->visible);
    EXPECT_TRUE(key(GLFW_KEY_ESCAPE)) << "Escape on the bar goes back to its first item";
    EXPECT_EQ(bar.highlighted, 0);

    // Left anywhere in the chain closes every drop-down.
    key(GLFW_KEY_ENTER);
    key(GLFW_KEY_RIGHT);
    EXPECT_TRUE(key(GLFW_KEY_LEFT));
    EXPECT_FALSE(fractals->visible || file->visible || bar.subMenuOpen);
    EXPECT_FALSE(key(GLFW_KEY_A));

    // Indices left outside the menu by a caller or a callback are checked, never used.
    bar.subMenuOpen = true;
    bar.selectedItem = 42;
    EXPECT_TRUE(key(GLFW_KEY_ENTER));
    bar.subMenuOpen = false;
    bar.highlighted = 3;
    EXPECT_FALSE(key(GLFW_KEY_ENTER));
    EXPECT_FALSE(bar.visible);
    EXPECT_FALSE(key(GLFW_KEY_ENTER)) << "a hidden menu takes no keys";
    EXPECT_EQ(chosen.size(), 1u);
}

TEST_F(MenuInputTest, MouseChoosesByPositionAtTwoWindowSizes)
{
    HiddenWindow gl(1024, 768);
    ASSERT_NE(gl.window, nullptr) << "run under xvfb-run";
    bar.window = file->window = fractals->window = gl.window;
    const int row = static_cast<int>(lineHeight);
    int fileEdge = 0, ignored = 0;
    bar.getItemExtent(0, &fileEdge, &ignored, 0);
    const int right = static_cast<int>(file->x) + file->width;
    const int quitRow = static_cast<int>(file->y) + 2 * row + row / 2;

    // The menus are laid out for 1024 x 768; at 2048 x 1536 the window's positions are scaled.
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        glfwSetWindowSize(gl.window, 1024 * scale, 768 * scale);
        int fbW = 0, fbH = 0;
        glfwGetFramebufferSize(gl.window, &fbW, &fbH);
        ASSERT_EQ(fbW, 1024 * scale);
        ASSERT_EQ(fbH, 768 * scale);
        chosen.clear();
        bar.visible = true;
        auto click = [&](int button, int action, int x, int y) {
            return bar.MouseCallback(button, action, x * scale, y * scale);
        };

        EXPECT_FALSE(click(left, GLFW_PRESS, 5, row / 2)) << "only a release acts";
        EXPECT_FALSE(click(GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE, 5, row / 2));
        EXPECT_TRUE(click(left, GLFW_RELEASE, fileEdge, row / 2)) << "an item's edge hits it";
        EXPECT_TRUE(file->visible);

        // The drop-down's right edge lies outside it: the click closes it and goes on.
        EXPECT_FALSE(click(left, GLFW_RELEASE, right, quitRow));
        EXPECT_FALSE(file->visible || bar.subMenuOpen);
        EXPECT_TRUE(bar.visible);
        click(left, GLFW_RELEASE, 5, row / 2);
        EXPECT_TRUE(click(left, GLFW_RELEASE, right - 1, quitRow));
        ASSERT_EQ(chosen.size(), 1u);
        EXPECT_EQ(chosen[0], std::make_pair(std::string("Quit"), file));
        EXPECT_FALSE(bar.visible) << "a first-level choice hides the bar; the caller shows it";

        bar.visible = true;
        click(left, GLFW_RELEASE, 5, row / 2);
        click(left, GLFW_RELEASE, 5, static_cast<int>(file->y) + row / 2);
        EXPECT_TRUE(fractals->visible);
        EXPECT_TRUE(click(left, GLFW_RELEASE, static_cast<int>(fractals->x) + 5,
                          static_cast<int>(fractals->y) + row + row / 2));
        EXPECT_EQ(chosen.back(), std::make_pair(std::string("Julia"), fractals));
        EXPECT_TRUE(bar.visible && !bar.subMenuOpen && !file->visible && !fractals->visible);
    }
}

TEST_F(MenuInputTest, OpenFormTakesEveryKeyAndClick)
{
    GlutMenu::CTextInput form;
    form.mode = 1;
    form.maxChars = 4;
    form.open();
    bar.visible = false;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(key(GLFW_KEY_7));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Key code is 55 and shift state is 0\n");
    EXPECT_EQ(form.editText, "7");
    EXPECT_TRUE(bar.MouseCallback(GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS, 5, 5));
    EXPECT_TRUE(bar.MouseCallback(left, GLFW_RELEASE, 5, 5)) << "a miss is swallowed too";

    // A window of no size has nothing to scale a click by.
    uiWidth = 0.0f;
    EXPECT_TRUE(bar.MouseCallback(left, GLFW_RELEASE, 5, 5));
    form.close();
    bar.visible = true;
    EXPECT_FALSE(bar.MouseCallback(left, GLFW_RELEASE, 5, 5));
    EXPECT_TRUE(chosen.empty());
}

} // namespace
