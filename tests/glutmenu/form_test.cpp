#include "glutmenu/glut_menu.h"
#include "glutmenu/menu_font.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"
#include "tests/support/test_font.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using GlutMenu::CTextInput;

namespace {

struct Commit {
    std::string button;
    std::vector<std::string> values;
};

// Forms measured with the menu font of a 1024 x 768 window, none open at the start.
class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        installTestFont();
        menu.init(1024, 768, 0, 0, "Menu Bar", {"File"}, true, "");
        activeTextInput = nullptr;
        openTextInputs = 0;
        testing::internal::CaptureStdout();
    }
    void TearDown() override
    {
        const std::string rest = testing::internal::GetCapturedStdout();
        if (HasFailure())
            std::fputs(rest.c_str(), stdout); // gtest's own failure messages were captured too
    }

    // Keys through the menus, as the window's key callback hands them on.
    void keys(std::initializer_list<int> codes, int mods = 0)
    {
        for (int code : codes)
            menu.KeyboardCallback(code, mods);
    }
    std::string output()
    {
        std::string text = testing::internal::GetCapturedStdout();
        testing::internal::CaptureStdout();
        return text;
    }

    GlutMenu::CGlutMenu menu;
    CTextInput form;
};

TEST_F(FormTest, TextFieldTypesUpToMaxCharsAndMovesTheCaret)
{
    form.mode = 1;
    form.maxChars = 3;
    form.open();
    keys({'1', '2', '3'});
    output();
    keys({'4'});
    EXPECT_EQ(output(), "Key code is 52 and shift state is 0\n") << "full by textLength: silent";
    form.textLength = 0; // as after a text that no edit recorded
    keys({'4'});
    EXPECT_EQ(output(), "Key code is 52 and shift state is 0\n\a") << "a full text rings";
    EXPECT_EQ(form.editText, "123");
    keys({GLFW_KEY_HOME, GLFW_KEY_BACKSPACE, GLFW_KEY_END, GLFW_KEY_BACKSPACE});
    EXPECT_EQ(form.editText, "12");
    keys({GLFW_KEY_LEFT, GLFW_KEY_DELETE}); // Delete removes before the caret too
    EXPECT_EQ(form.editText, "2");
    keys({GLFW_KEY_LEFT, GLFW_KEY_LEFT, 'A', GLFW_KEY_RIGHT, GLFW_KEY_RIGHT, 'B'});
    EXPECT_EQ(form.editText, "BA2") << "Left stops at the start, Right wraps from the end";

    // A caret that a caller left outside the text never indexes outside it.
    form.editText = "xy";
    form.textLength = 2;
    form.caret = -4;
    keys({'Z'});
    EXPECT_EQ(form.editText, "Zxy");
    EXPECT_EQ(form.caret, 1);

    // Whatever the keys, the text never grows past maxChars and the caret stays usable.
    std::mt19937 random(12);
    const int pool[] = {'Q', '7', GLFW_KEY_BACKSPACE, GLFW_KEY_DELETE, GLFW_KEY_LEFT,
                        GLFW_KEY_RIGHT, GLFW_KEY_HOME, GLFW_KEY_END, GLFW_KEY_TAB, GLFW_KEY_UP};
    for (int step = 0; step < 3000; ++step) {
        if (step % 97 == 0) { // a caller's caret, a length no edit recorded
            form.caret = static_cast<int>(random() % 9) - 3;
            form.textLength = 0;
        }
        keys({pool[random() % std::size(pool)]});
        ASSERT_LE(form.editText.size(), 3u) << step;
    }

    form.editText.clear();
    form.maxChars = form.textLength = 0;
    output();
    keys({'A'});
    EXPECT_EQ(form.editText, "");
    EXPECT_EQ(output(), "Key code is 65 and shift state is 0\n") << "maxChars 0 takes nothing";
}

TEST_F(FormTest, RowsChoicesAndCommit)
{
    std::vector<Commit> commits;
    bool closes = false;
    form.mode = 3;
    form.maxChars = 10;
    form.rowLabels = {"Type", "Iterations", "Name"};
    form.rowValues = {"Julia", "768"}; // the last row has no value
    form.rowChoices[0] = {"Mandelbrot", "Julia", "Sin"};
    form.choiceIndex[0] = 1;
    form.editText = "Julia";
    form.formCallback = [&](std::string button, std::vector<std::string> labels,
                            std::vector<std::string> values, void*) {
        EXPECT_EQ(labels.size(), 3u);
        commits.push_back({button, values});
        return closes;
    };
    form.open();

    keys({'X', GLFW_KEY_BACKSPACE, GLFW_KEY_RIGHT});
    EXPECT_EQ(form.editText, "Sin") << "a choice row is never typed into";
    keys({GLFW_KEY_RIGHT});
    EXPECT_EQ(form.editText, "Mandelbrot");
    keys({GLFW_KEY_LEFT});
    EXPECT_EQ(form.editText, "Sin");

    keys({GLFW_KEY_TAB});
    EXPECT_EQ(form.row, 1);
    EXPECT_EQ(form.rowValues[0], "Sin") << "the row left keeps its value";
    EXPECT_EQ(form.caret, 3);
    keys({GLFW_KEY_BACKSPACE, GLFW_KEY_DOWN});
    EXPECT_EQ(form.rowValues[1], "76");
    EXPECT_EQ(form.editText, "") << "a row without a value edits an empty text";
    keys({'Z', GLFW_KEY_TAB});
    EXPECT_EQ(form.row, 0) << "Tab on the last row goes to the first";
    EXPECT_EQ(form.rowValues.size(), 2u);
    keys({GLFW_KEY_TAB}, GLFW_MOD_SHIFT);
    EXPECT_EQ(form.row, 2) << "Shift+Tab before the first row goes to the last";
    keys({GLFW_KEY_UP});

    keys({GLFW_KEY_ENTER});
    ASSERT_EQ(commits.size(), 1u);
    EXPECT_EQ(commits[0].button, "");
    EXPECT_EQ(commits[0].values, (std::vector<std::string>{"Sin", "76"}));
    EXPECT_EQ(activeTextInput, &form) << "the callback kept it open";

    // An index a caller left out of range, a choice index too, is checked before use.
    form.row = 5;
    form.choiceIndex[0] = 9;
    keys({GLFW_KEY_ENTER});
    EXPECT_EQ(commits.back().values, (std::vector<std::string>{"Sin", "76"}));
    form.row = 0;
    keys({GLFW_KEY_LEFT});
    EXPECT_EQ(form.editText, "Sin");

    // A button commits with its label, the edit stored first; Escape stores nothing.
    form.row = 1;
    form.editText = "9";
    closes = true;
    form.KeyboardCallback(GLFW_KEY_ENTER, 0, "Cancel");
    EXPECT_EQ(commits.back().button, "Cancel");
    EXPECT_EQ(commits.back().values[1], "9");
    EXPECT_EQ(activeTextInput, nullptr);
    form.open();
    form.editText = "1";
    keys({GLFW_KEY_ESCAPE});
    EXPECT_EQ(commits.size(), 3u);
    EXPECT_EQ(form.rowValues[1], "9");
    EXPECT_EQ(openTextInputs, 0);
}

TEST_F(FormTest, StackedFormsAndButtonClicks)
{
    form.mode = 1;
    form.maxChars = 6;
    form.prompt = "Name";
    form.scale = 1.0f;
    form.computeWidth();
    setFormButtons(form);
    EXPECT_EQ(form.buttons, (std::vector<std::string>{"OK", "Cancel"}));
    EXPECT_EQ(form.buttonWidth, textAdvance("Cancel") + 2.0f * charAdvance('I'));
    EXPECT_GE(form.width, 2.4f * form.buttonWidth);
    // Without a window the form is centred in the menus' 1024 x 768.
    EXPECT_EQ(form.x, 512 - static_cast<int>(form.labelWidth + form.fieldWidth) / 2);
    EXPECT_EQ(form.y, 384 - static_cast<int>(2 * lineHeight) / 2);

    std::string text;
    form.textFieldCallback = [&text](std::string button, std::string typed, void*) {
        text = button + ":" + typed;
        return true;
    };
    CTextInput upper;
    upper.mode = 2;
    upper.lines = {"line"};
    form.open();
    upper.open();
    form.open(); // open already: stays below
    EXPECT_EQ(openTextInputs, 2);
    EXPECT_EQ(upper.previous, &form);
    EXPECT_EQ(form.previous, nullptr);
    keys({GLFW_KEY_ENTER});
    EXPECT_TRUE(upper.lines.empty());
    EXPECT_EQ(activeTextInput, &form) << "closing the upper form makes the lower active again";
    {
        CTextInput passing;
        passing.open();
    }
    EXPECT_EQ(activeTextInput, &form) << "a form destroyed while open leaves the stack";

    keys({'H', 'I'});
    form.bottom = form.bodyBottom(); // where the last draw put the box's bottom
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    form.getButtonRect(1, &x0, &y0, &x1, &y1);
    EXPECT_EQ(x1, static_cast<int>(form.x + form.width - 1.2f * form.buttonWidth) +
                      static_cast<int>(form.buttonWidth));
    EXPECT_TRUE(menu.MouseCallback(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, x0, y0));
    EXPECT_TRUE(menu.MouseCallback(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, x1 + 1, y0));
    EXPECT_EQ(text, "") << "a press or a miss commits nothing";
    EXPECT_TRUE(menu.MouseCallback(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, x1, y1));
    EXPECT_EQ(text, "Cancel:HI");
    EXPECT_EQ(activeTextInput, nullptr);
    EXPECT_EQ(openTextInputs, 0);
    form.KeyboardCallback('Q', 0, "");
    EXPECT_EQ(form.editText, "HI") << "no form open, no key taken";
}

} // namespace
