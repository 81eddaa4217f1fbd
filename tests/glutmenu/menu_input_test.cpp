#include "glutmenu/glut_menu.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"
#include "tests/support/hidden_window.h"
#include "tests/support/test_font.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>

using GlutMenu::CGlutMenu;
using GlutMenu::CTextInput;
using Strings = std::vector<std::string>;

namespace {

// Bar "File", "Palette", "Zoom" for 1024 x 768; File holds "Fractals" (with "Mandelbrot",
// "Julia"), a disabled item and "Quit". Choices are recorded as "menu: item"; stdout is captured.
class MenuInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        installTestFont();
        testing::internal::CaptureStdout();
        bar.init(1024, 768, 0, 0, "Menu Bar", {"File", "Palette", "Zoom"}, true, "");
        auto record = [this](int& item, CGlutMenu* menu, void*) {
            chosen.push_back(menu->name + ": " + menu->getItemLabel(item));
        };
        bar.addSubMenu(0, {"Fractals", "Disabled", "Quit"}, record, "File");
        bar.addSubMenu(1, {"VGA"}, record, "Palette");
        file = bar.getSubmenu(0);
        file->setItemEnabled(1, false);
        file->addSubMenu(0, {"Mandelbrot", "Julia"}, record, "Fractals");
        fractals = file->getSubmenu(0);
        bar.visible = true;
    }
    void TearDown() override
    {
        if (const std::string rest = testing::internal::GetCapturedStdout(); HasFailure())
            std::fputs(rest.c_str(), stdout); // gtest's own messages were captured too
    }
    bool key(int code, int mods = 0) { return bar.KeyboardCallback(code, mods); }
    void keys(std::initializer_list<int> codes) { for (int code : codes) key(code); }
    bool allClosed() const { return !bar.subMenuOpen && !file->visible && !fractals->visible; }

    CGlutMenu bar;
    CGlutMenu* file = nullptr;
    CGlutMenu* fractals = nullptr;
    Strings chosen;
    CTextInput form;
};

TEST_F(MenuInputTest, KeysWalkTheMenusAndCheckIndices)
{
    EXPECT_FALSE(key(GLFW_KEY_DOWN)) << "Up and Down belong to drop-downs";
    EXPECT_TRUE(key(GLFW_KEY_LEFT));
    EXPECT_EQ(bar.highlighted, 2) << "Left wraps to the last item";
    keys({GLFW_KEY_RIGHT, GLFW_KEY_ENTER, GLFW_KEY_UP, GLFW_KEY_DOWN, GLFW_KEY_DOWN});
    EXPECT_TRUE(key(GLFW_KEY_ENTER)) << "a disabled item closes the drop-downs";
    EXPECT_TRUE(allClosed() && chosen.empty());
    keys({GLFW_KEY_ENTER, GLFW_KEY_RIGHT, GLFW_KEY_DOWN, GLFW_KEY_ENTER});
    EXPECT_EQ(chosen, Strings{"Fractals: Julia"}) << "Right opens the sub-menu";
    EXPECT_TRUE(allClosed() && bar.visible);
    keys({GLFW_KEY_ENTER, GLFW_KEY_UP, GLFW_KEY_RIGHT});
    EXPECT_TRUE(!file->visible && bar.highlighted == 1) << "Right on a leaf moves along the bar";
    keys({GLFW_KEY_ENTER, GLFW_KEY_ESCAPE, GLFW_KEY_ESCAPE, GLFW_KEY_ENTER, GLFW_KEY_RIGHT});
    EXPECT_TRUE(key(GLFW_KEY_LEFT) && allClosed() && bar.highlighted == 0) << "Escape, then Left close all";
    // Indices left outside the menu are checked, never used.
    bar.subMenuOpen = true;
    bar.selectedItem = 42;
    EXPECT_TRUE(key(GLFW_KEY_ENTER));
    bar.subMenuOpen = false;
    bar.highlighted = 3;
    EXPECT_FALSE(key(GLFW_KEY_ENTER) || bar.visible);
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
    const int right = static_cast<int>(file->x) + file->width, quitRow = static_cast<int>(file->y) + 5 * row / 2;
    // The menus stay laid out for 1024 x 768; at 2048 x 1536 window positions are scaled.
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        glfwSetWindowSize(gl.window, 1024 * scale, 768 * scale);
        int fbW = 0, fbH = 0;
        glfwGetFramebufferSize(gl.window, &fbW, &fbH);
        ASSERT_EQ(fbW, 1024 * scale);
        chosen.clear();
        bar.visible = true;
        auto release = [&](int x, int y, int button = GLFW_MOUSE_BUTTON_LEFT) {
            return bar.MouseCallback(button, GLFW_RELEASE, x * scale, y * scale);
        };
        EXPECT_FALSE(bar.MouseCallback(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 5, 5) ||
                     release(5, row / 2, GLFW_MOUSE_BUTTON_RIGHT));
        EXPECT_TRUE(release(fileEdge, row / 2) && file->visible) << "an item's edge hits it";
        EXPECT_FALSE(release(right, quitRow)) << "the box's right edge lies outside";
        EXPECT_TRUE(allClosed() && bar.visible);

        release(5, row / 2);
        EXPECT_TRUE(release(right - 1, quitRow));
        EXPECT_FALSE(bar.visible) << "a first-level choice hides the bar; the caller shows it";
        bar.visible = true;
        release(5, row / 2);
        release(5, static_cast<int>(file->y) + row / 2);
        EXPECT_TRUE(release(static_cast<int>(fractals->x) + 5, static_cast<int>(fractals->y) + row + row / 2));
        EXPECT_EQ(chosen, (Strings{"File: Quit", "Fractals: Julia"}));
        EXPECT_TRUE(allClosed() && bar.visible) << "a sub-menu choice shows the bar again";
    }
}

TEST_F(MenuInputTest, TextFieldKeepsMaxCharsAndClampsTheCaret)
{
    form.mode = 1;
    form.maxChars = 3;
    form.open();
    keys({'1', '2', '3'});
    testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    key('4');
    form.textLength = 0; // a text no edit recorded
    key('4');
    const std::string keyLine = "Key code is 52 and shift state is 0\n";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), keyLine + keyLine + "\a")
        << "full by textLength: silent; full by its text: rings";
    testing::internal::CaptureStdout();
    keys({GLFW_KEY_HOME, GLFW_KEY_BACKSPACE, GLFW_KEY_END, GLFW_KEY_BACKSPACE, GLFW_KEY_LEFT,
          GLFW_KEY_DELETE, GLFW_KEY_LEFT, GLFW_KEY_LEFT, 'A', GLFW_KEY_RIGHT, GLFW_KEY_RIGHT, 'B'});
    EXPECT_EQ(form.editText, "BA2") << "Delete removes before the caret; Left stops, Right wraps";

    // Whatever the keys and a caller's caret, the text stays within maxChars.
    std::mt19937 random(12);
    const int pool[] = {'Q', GLFW_KEY_BACKSPACE, GLFW_KEY_DELETE, GLFW_KEY_LEFT, GLFW_KEY_RIGHT,
                        GLFW_KEY_HOME, GLFW_KEY_END};
    for (int step = 0; step < 3000; ++step) {
        if (step % 97 == 0) {
            form.caret = static_cast<int>(random() % 9) - 4;
            form.textLength = 0;
        }
        key(pool[random() % std::size(pool)]);
        ASSERT_LE(form.editText.size(), 3u) << step;
    }
}

TEST_F(MenuInputTest, FormRowsChoicesAndIndices)
{
    Strings committed;
    form.mode = 3;
    form.maxChars = 10;
    form.rowLabels = {"Type", "Iterations", "Name"};
    form.rowValues = {"Julia", "768"}; // the last row has no value
    form.rowChoices[0] = {"Mandelbrot", "Julia", "Sin"};
    form.choiceIndex[0] = 1;
    form.editText = "Julia";
    form.formCallback = [&committed](std::string, Strings, Strings values, void*) {
        committed = values;
        return false;
    };
    form.open();
    // A choice row steps with wrap and takes no typing; each row left keeps its edit.
    keys({GLFW_KEY_RIGHT, GLFW_KEY_RIGHT, GLFW_KEY_LEFT, 'X', GLFW_KEY_TAB, GLFW_KEY_BACKSPACE, GLFW_KEY_DOWN});
    EXPECT_EQ(form.editText, "") << "a row without a value edits an empty text";
    keys({'Z', GLFW_KEY_TAB});
    key(GLFW_KEY_TAB, GLFW_MOD_SHIFT);
    EXPECT_EQ(form.row, 2) << "Tab and Shift+Tab wrap";
    keys({GLFW_KEY_UP, GLFW_KEY_ENTER});
    EXPECT_EQ(committed, (Strings{"Sin", "76"}));

    // Indices a caller left out of range are checked before use.
    form.row = 5;
    key(GLFW_KEY_ENTER);
    form.row = 0;
    form.choiceIndex[0] = 9;
    key(GLFW_KEY_LEFT);
    EXPECT_TRUE(committed == (Strings{"Sin", "76"}) && form.editText == "Sin");
    keys({GLFW_KEY_RIGHT, GLFW_KEY_ESCAPE});
    EXPECT_TRUE(form.rowValues[0] == "Sin" && openTextInputs == 0) << "Escape stores nothing";
}

TEST_F(MenuInputTest, StackedFormsAndButtonClicks)
{
    form.mode = 1;
    form.maxChars = 6;
    setFormButtons(form);
    std::string text;
    form.textFieldCallback = [&text](std::string button, std::string typed, void*) {
        text = button + ":" + typed;
        return true;
    };
    CTextInput upper;
    form.open();
    upper.open();
    form.open(); // open already: stays below
    EXPECT_EQ(openTextInputs, 2);
    key(GLFW_KEY_ENTER);
    EXPECT_EQ(activeTextInput, &form) << "closing the upper form makes the lower active again";
    std::make_unique<CTextInput>()->open();
    EXPECT_EQ(activeTextInput, &form) << "a form destroyed while open leaves the stack";

    keys({'H', 'I'});
    form.bottom = form.bodyBottom(); // where a draw puts the box's bottom
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    form.getButtonRect(1, &x0, &y0, &x1, &y1);
    auto click = [&](int action, int x, int y) { return bar.MouseCallback(GLFW_MOUSE_BUTTON_LEFT, action, x, y); };
    uiWidth = 0.0f; // a window of no size has nothing to scale a click by
    EXPECT_TRUE(click(GLFW_RELEASE, x1, y1));
    uiWidth = 1024.0f;
    EXPECT_TRUE(click(GLFW_PRESS, x0, y0) && click(GLFW_RELEASE, x1 + 1, y0));
    EXPECT_EQ(text, "") << "a press or a miss commits nothing";
    EXPECT_TRUE(click(GLFW_RELEASE, x1, y1));
    EXPECT_TRUE(text == "Cancel:HI" && activeTextInput == nullptr) << text;
}

} // namespace
