// The toolkit's modal form: a translucent box over the menus with a title bar, a body and a row
// of buttons. The body is a labelled text field (mode 1), a list of lines to read (mode 2) or a
// column of labelled rows edited one at a time (mode 3). Open forms stack: the active one takes
// every key and left click, the older ones are drawn beneath it. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct GLFWwindow;

namespace GlutMenu {

// Called with (the button's label, "" for Enter; the row labels; the row values; userData);
// true closes the form.
using FormCallback =
    std::function<bool(std::string, std::vector<std::string>, std::vector<std::string>, void*)>;
// Called with (the button's label, "" for Enter; the text; userData); true closes the form.
using TextFieldCallback = std::function<bool(std::string, std::string, void*)>;

class CTextInput {
public:
    CTextInput() = default;
    // An open form leaves the stack first, so that no form refers to it.
    ~CTextInput() { close(); }
    CTextInput(const CTextInput&) = delete;
    CTextInput& operator=(const CTextInput&) = delete;

    // Pushes the form onto the stack of open forms and makes it the active one. A form that is
    // open already stays where it is.
    void open();
    // Takes the form off the stack of open forms; the form below it becomes active again.
    void close();
    // True while the form is on the stack of open forms.
    bool isOpen() const;

    // One key for the form: editing, moving between rows, Enter commits, Escape closes. button
    // is the label of a clicked button (sent as Enter), "" for a key.
    void KeyboardCallback(int key, int mods, const std::string& button);
    // Stores the edited value in row oldRow and loads row newRow into the edit field.
    void selectListEntry(int newRow, int oldRow);
    // Hit rectangle of button i, placed from the bottom that the last draw recorded.
    void getButtonRect(int i, int* x0, int* y0, int* x1, int* y1) const;

    // Sizes the label column, the edit field and the box from the texts; re-centres when
    // scale is set.
    void computeWidth();
    // Centres the box in the window's framebuffer and sets scale.
    void centreInWindow();
    // Rescales this form and the forms below it by the window's change of size; the menu font
    // has already been made for the new size.
    void ReshapeCallback(float sx, float sy);
    // The bottom edge of the box for the current body, as the draw places it.
    float bodyBottom() const;
    // Advances the caret's blink to now (steady-clock nanoseconds); true while it shows.
    bool updateBlink(int64_t now);

    // Draws the forms below this one, then this one. Needs the menus' projection and blending.
    void draw();

    GLFWwindow* window = nullptr;
    int32_t caret = 0;            // position in editText, 0 = before the first character
    float x = 0.0f, y = 0.0f;     // top-left corner
    int32_t maxChars = 0;         // most characters editText may hold
    int32_t textLength = 0;       // length of editText as the last edit recorded it
    int32_t row = 0;              // current row in mode 3
    float labelWidth = 0.0f;      // where the edit field starts
    float fieldWidth = 0.0f;
    std::string prompt;           // label of the mode-1 text field
    std::string text;             // committed text of mode 1
    std::vector<std::string> rowLabels;
    std::vector<std::string> rowValues;
    std::map<int, std::vector<std::string>> rowChoices; // a non-empty list makes a choice row
    std::map<int, int32_t> choiceIndex;                 // position of a choice row's value
    CTextInput* previous = nullptr; // the form that was active when this one opened
    TextFieldCallback textFieldCallback;
    FormCallback formCallback;
    std::string title;
    int64_t blinkTime = 0;        // steady-clock nanoseconds of the caret's last blink
    bool caretOn = true;
    bool restartBlink = false;
    int32_t blinkPeriod = 500;    // milliseconds
    void* userData = nullptr;
    float textColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float backgroundColour[4] = {0.0f, 0.0f, 1.0f, 0.7f};
    std::vector<std::string> lines; // text of mode 2
    float width = 25.0f;
    std::string editText;         // mode 1's field, or the current row's value in mode 3
    int32_t mode = 0;             // 1 text field, 2 lines, 3 rows
    float bottomPad = 5.0f;
    std::vector<std::string> buttons;
    float buttonWidth = 100.0f;
    float scale = 0.0f;           // not 0: computeWidth re-centres
    float bottom = 0.0f;          // bottom edge as the last draw placed it

private:
    bool editMode() const { return mode == 1 || mode == 3; }
    // The choices of the current row; null on a plain row.
    const std::vector<std::string>* currentChoices() const;
    void insertCharacter(char c);
    void removeCharacter();
    void moveCaret(int step);
    void stepChoice(int step);
    void stepRow(int step);
    void commit(const std::string& button);
};

} // namespace GlutMenu

// The open form that takes keys and clicks; null while no form is open.
extern GlutMenu::CTextInput* activeTextInput;
// How many forms are open.
extern int32_t openTextInputs;
// The form the menus open.
extern GlutMenu::CTextInput infoForm;

// Gives the form the buttons "OK" and "Cancel" and widens its box to hold them.
void setFormButtons(GlutMenu::CTextInput& form = infoForm);
