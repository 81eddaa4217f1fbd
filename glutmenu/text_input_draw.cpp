#include "glutmenu/text_input.h"

#include "glutmenu/draw_shapes.h"
#include "glutmenu/menu_font.h"
#include "glutmenu/metrics.h"

#include <algorithm>
#include <chrono>

namespace GlutMenu {

namespace {

// Advance of the text before the caret, the caret kept inside the text.
float caretAdvance(const std::string& text, int32_t caret)
{
    const int32_t at = std::clamp(caret, 0, static_cast<int32_t>(text.size()));
    return textAdvance(text.substr(0, static_cast<size_t>(at)));
}

int64_t steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void CTextInput::draw()
{
    if (previous != nullptr)
        previous->draw();
    const float rowH = fontLineHeight() / 1.5f;
    const float descOff = -0.5f * fontDescender();
    const float colonX = x + labelWidth - charAdvance(':') - 2.0f;
    bottom = bodyBottom();

    setColour(backgroundColour);
    drawQuad(x, bottom, x + width, y);
    setColour(textColour);
    if (!lines.empty()) {
        for (size_t i = 0; i < lines.size(); ++i)
            drawText(lines[i], x, y + static_cast<float>(i + 2) * (rowH + 2.0f));
    } else if (!rowLabels.empty()) {
        const float step = rowH + 2.0f;
        for (int i = 0; i < static_cast<int>(rowLabels.size()); ++i) {
            const float baseline = y + static_cast<float>(i + 2) * step - descOff;
            const float top = y + static_cast<float>(i + 1) * step + 2.0f;
            drawText(rowLabels[static_cast<size_t>(i)], x, baseline);
            drawText(":", colonX, baseline);
            if (i != row) {
                // NOTE: a row without a value shows an empty field rather than reading past
                // rowValues.
                if (i < static_cast<int>(rowValues.size()))
                    drawText(rowValues[static_cast<size_t>(i)], x + labelWidth, baseline);
                continue;
            }
            drawOutline(x + labelWidth, top, x + labelWidth + fieldWidth, top + rowH + 2.0f);
            const bool choiceRow = currentChoices() != nullptr;
            drawText(choiceRow ? "<" + editText + ">" : editText, x + labelWidth, baseline);
            if (!choiceRow && caretVisible && updateBlink(steadyNanoseconds())) {
                const float cx = x + static_cast<float>(static_cast<int>(labelWidth)) +
                                 static_cast<float>(static_cast<int>(caretAdvance(editText, caret)));
                drawCaret(cx, top, top + rowH + 2.0f);
            }
        }
    } else {
        const float baseline = y + 2.0f * rowH + bottomPad - descOff;
        drawText(prompt, x, baseline);
        drawText(":", colonX, baseline);
        drawOutline(x + labelWidth, y + rowH + bottomPad, x + labelWidth + fieldWidth,
                    y + 2.0f * rowH + 2.0f * bottomPad);
        drawText(editText, x + labelWidth, baseline);
        if (caretVisible)
            drawCaret(x + labelWidth + caretAdvance(editText, caret), y + rowH + bottomPad,
                      y + 2.0f * rowH + bottomPad);
    }

    glColor4f(textColour[0], textColour[1], textColour[2], 1.0f);
    drawQuad(x, y, x + width, y + rowH + 2.0f);
    glColor4f(backgroundColour[0], backgroundColour[1], backgroundColour[2], 1.0f);
    drawText(title, x, y + rowH - descOff);

    for (int i = 0; i < static_cast<int>(buttons.size()); ++i) {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        getButtonRect(i, &x0, &y0, &x1, &y1);
        const float bx = static_cast<float>(x0);
        const float by = static_cast<float>(y0);
        setColour(textColour);
        drawQuad(bx, by, bx + buttonWidth, by + 1.5f * lineHeight);
        setColour(backgroundColour);
        const std::string& label = buttons[static_cast<size_t>(i)];
        const float inset = static_cast<float>(static_cast<int>(buttonWidth) / 2) -
                            0.5f * textAdvance(label);
        drawText(label, bx + std::max(0.0f, inset), by + 1.25f * lineHeight);
    }
    setColour(textColour);
}

} // namespace GlutMenu
