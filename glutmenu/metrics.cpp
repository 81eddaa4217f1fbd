#include "glutmenu/metrics.h"

float uiWidth = 100.0f, uiHeight = 100.0f;
float uiScaleX = 1.0f, uiScaleY = 1.0f;
float fontScaleX = 1.0f, fontScaleY = 1.0f;
float lineHeight = 15.0f;
bool caretVisible = true;
int32_t windowStartWidth = 0, windowStartHeight = 0;
