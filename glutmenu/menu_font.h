// The menu font and the text functions that every text of the window goes through: menus, forms
// and message logs. Main thread only.
#pragma once

#include <string>

class FTFont;

// The font of every text in the window (an FTPixmapFont); null until the first font is loaded.
extern FTFont* menuFont;

// Pixel size of the font for a window scale of scaleX (width / 1024): 24 x scaleX truncated,
// and at least 1.
unsigned int menuFontSize(float scaleX);

// Makes a new font from "fonts/" + fontFile, relative to the current directory, and puts it in
// place of menuFont. A file that cannot be loaded returns false and keeps the previous font.
bool loadMenuFont(const std::string& fontFile);

// Sizes menuFont for the current uiScaleX.
void sizeMenuFont();

// 1.5 times the height of the text's bounding box; lineHeight is measureText("I").
float measureText(const std::string& text);

// The advance of the one-character string c.
float charAdvance(char c);

// The advance of the whole text.
float textAdvance(const std::string& text);

// The font's line height and its descender (negative below the baseline).
float fontLineHeight();
float fontDescender();

// Renders text with the left end of its baseline at (x, y), z = -1.
void drawText(const std::string& text, float x, float y);
