// The main window's title: name, version, the colour depth the OpenGL context really has and the
// path of the fractal file last loaded or saved.
#pragma once

#include <string>

// Builds the title from the current context's colour depth and currentFilePath, and sets
// tenBitColour to whether red, green and blue each have exactly 10 bits. Without a current
// context the depths count as 0. Main thread.
std::string updateWindowTitle();

// True when red, green and blue each have exactly 10 bits.
bool isTenBitColour(int redBits, int greenBits, int blueBits);

// The title text for a context with or without 10-bit colour and a UTF-8 path ("" for none).
std::string windowTitleText(bool tenBit, const std::string& path);
