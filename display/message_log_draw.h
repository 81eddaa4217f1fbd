// Drawing of the on-screen message logs.
#pragma once

#include "core/message_log.h"

// Draws the log's three oldest lines at its (x, y) downward with menuFont, in the colour,
// blending and projection the caller has set. Main thread, with the window's context current.
void drawMessageLog(CMessageLog& log);
