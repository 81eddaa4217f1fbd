#include "glutmenu/text_input.h"

#include "glutmenu/framebuffer.h"
#include "glutmenu/menu_font.h"
#include "glutmenu/metrics.h"
#include "platform/console.h"

#include <algorithm>
#include <sstream>

namespace GlutMenu {

namespace {

float widestAdvance(const std::vector<std::string>& texts)
{
    float widest = 0.0f;
    for (const std::string& text : texts)
        widest = std::max(widest, textAdvance(text));
    return widest;
}

// Half of value, rounded down also for negative values.
int halfDown(int value)
{
    return value >= 0 ? value / 2 : -((1 - value) / 2);
}

// A console line: the text, then x and y in the stream's default six significant digits.
std::string position(const std::string& text, float x, float y)
{
    std::ostringstream line;
    line << text << x << ", " << y;
    return line.str();
}

} // namespace

void CTextInput::computeWidth()
{
    labelWidth = 0.0f;
    fieldWidth = 0.0f;
    const float field = static_cast<float>(std::max(maxChars, 0)) * charAdvance('H');
    if (mode == 1) {
        labelWidth = textAdvance(prompt + ":");
        fieldWidth = field;
        width = labelWidth + fieldWidth;
    } else if (mode == 2) {
        labelWidth = widestAdvance(lines);
        width = labelWidth + 4.0f;
    } else if (mode == 3) {
        labelWidth = widestAdvance(rowLabels) + charAdvance(':');
        fieldWidth = field;
        width = labelWidth + fieldWidth;
    }
    if (scale != 0.0f)
        centreInWindow();
}

void CTextInput::centreInWindow()
{
    scale = 1.0f;
    int rows = 2;
    if (mode == 3)
        rows = std::max(static_cast<int>(rowValues.size()) + 1, 1);
    else if (mode == 2)
        rows = std::max(static_cast<int>(lines.size()) + 1, 1);
    const int h = static_cast<int>(static_cast<float>(rows) * lineHeight);
    // NOTE: uiScaleY is 0 only for a window of no height; the box is then measured unscaled.
    const float hUnits = uiScaleY > 0.0f ? static_cast<float>(h) / uiScaleY : static_cast<float>(h);

    const FramebufferSize fb = framebufferSize(window);
    x = static_cast<float>(halfDown(fb.width) - halfDown(static_cast<int>(labelWidth + fieldWidth)));
    y = static_cast<float>(halfDown(fb.height) - halfDown(static_cast<int>(hUnits)));
}

void CTextInput::ReshapeCallback(float sx, float sy)
{
    if (previous != nullptr)
        previous->ReshapeCallback(sx, sy);
    printLine("CTextInput::ReshapeCallback");
    printLine(position("CTextInput::(x,y) ", x, y));
    x *= sx;
    y *= sy;
    bottom *= sy;
    width *= sx;
    buttonWidth *= sx;
    printLine(position("New CTextInput::(x,y) ", x, y));

    if (mode == 1) {
        computeWidth();
        caretVisible = true;
        textLength = static_cast<int32_t>(text.size());
    } else if (mode == 2) {
        prompt.clear();
        text.clear();
        caret = 0;
        maxChars = 0;
        labelWidth = 0.0f;
        computeWidth();
        fieldWidth = 0.0f;
        textLength = 0;
        caretVisible = true;
        width = 4.0f + labelWidth;
        if (scale != 0.0f)
            centreInWindow();
    } else if (mode == 3) {
        labelWidth = 0.0f;
        computeWidth();
        caretVisible = true;
    }
}

float CTextInput::bodyBottom() const
{
    const float rowH = fontLineHeight() / 1.5f;
    if (!lines.empty())
        return y + static_cast<float>(lines.size() + 3) * (rowH + 4.0f);
    if (!rowLabels.empty())
        return y + static_cast<float>(rowLabels.size() + 3) * (rowH + 2.0f) + bottomPad;
    return y + 5.0f * rowH + 2.0f * bottomPad;
}

bool CTextInput::updateBlink(int64_t now)
{
    if (restartBlink) {
        blinkTime = now;
        caretOn = true;
        restartBlink = false;
    } else if (now - blinkTime >= static_cast<int64_t>(blinkPeriod) * 1000000) {
        blinkTime = now;
        caretOn = !caretOn;
    }
    return caretOn;
}

} // namespace GlutMenu
