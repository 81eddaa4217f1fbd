// Helpers shared by the application-shell tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct GLFWwindow;

// What "--help" prints: the banner, an empty line and the option lines.
extern const char* const expectedHelpText;

// argv for a list of arguments; argument 0 is the first.
class Arguments {
public:
    Arguments(std::initializer_list<std::string> args) : texts(args)
    {
        for (std::string& text : texts)
            pointers.push_back(text.data());
        pointers.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(texts.size()); }
    char** argv() { return pointers.data(); }

private:
    std::vector<std::string> texts;
    std::vector<char*> pointers;
};

// A hidden 1024 x 768 window whose context is current; made on first use, kept to the end.
GLFWwindow* testWindow();

// A shown 1024 x 768 window at the screen's corner, for tests that place the mouse pointer
// (the pointer cannot be moved into a hidden window); made on first use, kept to the end.
GLFWwindow* pointerWindow();

// The shared reset of the globals (resetDisplayState), then the driver's, the input's, the menu
// bar's and the forms' values.
void resetShellState();

// A test over the shell's globals: they start and end reset, and standard output is captured.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Standard output since the last call.
    std::string takeOutput();
};
