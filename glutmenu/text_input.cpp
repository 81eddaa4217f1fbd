#include "glutmenu/text_input.h"

#include "glutmenu/menu_font.h"
#include "glutmenu/metrics.h"
#include "platform/console.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstdio>

GlutMenu::CTextInput* activeTextInput = nullptr;
int32_t openTextInputs = 0;
GlutMenu::CTextInput infoForm;

namespace GlutMenu {

namespace {

int32_t length(const std::string& text)
{
    return static_cast<int32_t>(text.size());
}

} // namespace

void CTextInput::open()
{
    // NOTE: a form that is open already would become its own predecessor, and drawing or
    // rescaling the stack would never end.
    if (isOpen())
        return;
    previous = activeTextInput;
    activeTextInput = this;
    openTextInputs += 1;
    caretVisible = true;
}

void CTextInput::close()
{
    if (activeTextInput == this) {
        activeTextInput = previous;
    } else {
        // A form below the active one leaves the stack without changing the active form.
        CTextInput* above = activeTextInput;
        while (above != nullptr && above->previous != this)
            above = above->previous;
        if (above == nullptr)
            return;
        above->previous = previous;
    }
    previous = nullptr;
    openTextInputs = std::max(openTextInputs - 1, 0);
}

bool CTextInput::isOpen() const
{
    for (const CTextInput* form = activeTextInput; form != nullptr; form = form->previous)
        if (form == this)
            return true;
    return false;
}

void CTextInput::KeyboardCallback(int key, int mods, const std::string& button)
{
    if (activeTextInput == nullptr)
        return;
    const bool shift = (mods & GLFW_MOD_SHIFT) != 0;
    printLine("Key code is " + std::to_string(key) + " and shift state is " + (shift ? "1" : "0"));

    if (key >= 32 && key <= 126) {
        insertCharacter(static_cast<char>(key));
        return;
    }
    switch (key) {
    case GLFW_KEY_ENTER:
        commit(button);
        break;
    case GLFW_KEY_ESCAPE:
        close();
        break;
    case GLFW_KEY_TAB:
    case GLFW_KEY_DOWN:
    case GLFW_KEY_UP:
    case 25:
        if (key == GLFW_KEY_DOWN || (key == GLFW_KEY_TAB && !shift))
            stepRow(1);
        else if (key == GLFW_KEY_UP || shift)
            stepRow(-1);
        break;
    case GLFW_KEY_BACKSPACE:
    case GLFW_KEY_DELETE:
        removeCharacter();
        break;
    case GLFW_KEY_RIGHT:
    case GLFW_KEY_LEFT: {
        const int step = key == GLFW_KEY_RIGHT ? 1 : -1;
        if (!editMode())
            break;
        if (currentChoices() != nullptr)
            stepChoice(step);
        else
            moveCaret(step);
        break;
    }
    case GLFW_KEY_HOME:
        if (editMode())
            caret = 0;
        break;
    case GLFW_KEY_END:
        if (editMode())
            caret = length(editText);
        break;
    default:
        break;
    }
}

const std::vector<std::string>* CTextInput::currentChoices() const
{
    const auto found = rowChoices.find(row);
    if (found == rowChoices.end() || found->second.empty())
        return nullptr;
    return &found->second;
}

void CTextInput::insertCharacter(char c)
{
    if (textLength >= maxChars || !editMode() || currentChoices() != nullptr)
        return;
    if (length(editText) >= maxChars) {
        std::fputc('\a', stdout);
        std::fflush(stdout);
        return;
    }
    // NOTE: a caret that a caller left before the text inserts at the start rather than
    // indexing outside the string; one beyond its end appends.
    const int32_t at = std::clamp(caret, 0, length(editText));
    editText.insert(static_cast<size_t>(at), 1, c);
    caret = at + 1;
    textLength = length(editText);
}

void CTextInput::removeCharacter()
{
    if (!editMode() || currentChoices() != nullptr || caret < 1)
        return;
    if (caret > length(editText)) {
        caret -= 1;
        textLength = length(editText);
        return;
    }
    editText.erase(static_cast<size_t>(caret - 1), 1);
    textLength = length(editText);
    caret -= 1;
}

void CTextInput::moveCaret(int step)
{
    if (step > 0)
        caret = caret >= length(editText) ? 0 : caret + 1;
    else if (caret > 0)
        caret -= 1;
}

void CTextInput::stepChoice(int step)
{
    const std::vector<std::string>& choices = *currentChoices();
    const int32_t count = static_cast<int32_t>(choices.size());
    int32_t& index = choiceIndex[row];
    // NOTE: an index that a caller left outside the list wraps like one at its end.
    if (step > 0)
        index = index + 1 >= count || index + 1 < 0 ? 0 : index + 1;
    else
        index = index - 1 < 0 || index - 1 >= count ? count - 1 : index - 1;
    editText = choices[static_cast<size_t>(index)];
}

void CTextInput::stepRow(int step)
{
    const int32_t rows = static_cast<int32_t>(rowLabels.size());
    if (mode != 3 || rows == 0)
        return;
    const int32_t old = row;
    int32_t next = row + step;
    if (next >= rows || next < 0)
        next = step > 0 ? 0 : rows - 1;
    row = next;
    selectListEntry(next, old);
}

void CTextInput::selectListEntry(int newRow, int oldRow)
{
    const int values = static_cast<int>(rowValues.size());
    if (oldRow >= 0 && oldRow < values)
        rowValues[static_cast<size_t>(oldRow)] = editText;
    editText.clear();
    if (newRow >= 0 && newRow < values) {
        editText = rowValues[static_cast<size_t>(newRow)];
        caret = textLength = length(editText);
    }
}

void CTextInput::commit(const std::string& button)
{
    lines.clear();
    bool closes = true;
    if (mode == 1) {
        if (rowValues.empty())
            text = editText;
        // NOTE: the callback may replace itself; the copy keeps the running one alive.
        if (TextFieldCallback callback = textFieldCallback)
            closes = callback(button, text, userData);
    } else if (mode == 3) {
        if (row >= 0 && row < static_cast<int32_t>(rowValues.size()))
            rowValues[static_cast<size_t>(row)] = editText;
        if (FormCallback callback = formCallback)
            closes = callback(button, rowLabels, rowValues, userData);
    }
    if (closes)
        close();
}

void CTextInput::getButtonRect(int i, int* x0, int* y0, int* x1, int* y1) const
{
    const float k = static_cast<float>(static_cast<int>(buttons.size()) - i);
    int left = static_cast<int>(x + width - k * buttonWidth * 1.2f);
    int right = static_cast<int>(static_cast<float>(left) + buttonWidth);
    int top = static_cast<int>(bottom - 2.0f * lineHeight);
    int low = top + static_cast<int>(lineHeight + 3.0f);
    *x0 = std::min(left, right);
    *x1 = std::max(left, right);
    *y0 = std::min(top, low);
    *y1 = std::max(top, low);
}

} // namespace GlutMenu

void setFormButtons(GlutMenu::CTextInput& form)
{
    form.buttons = {"OK", "Cancel"};
    float widest = 0.0f;
    for (const std::string& label : form.buttons)
        widest = std::max(widest, textAdvance(label));
    form.buttonWidth = widest + 2.0f * charAdvance('I');
    form.width = std::max(form.width,
                          static_cast<float>(form.buttons.size()) * form.buttonWidth * 1.2f);
}
