// The menu layer's metrics: the window's size in the layout's units, its scale against the
// 1024 x 768 design, the font's scale and line height, and the form caret. Main thread only.
#pragma once

#include <cstdint>

extern float uiWidth, uiHeight;
extern float uiScaleX, uiScaleY;
extern float fontScaleX, fontScaleY;
extern float lineHeight;
extern bool caretVisible;
extern int32_t windowStartWidth, windowStartHeight; // the main window's size when it opened
