// The immediate-mode shapes the menus and forms are drawn with, all at z = -1 in menu units.
// Main thread, with the window's OpenGL context current.
#pragma once

#include <GL/gl.h>

namespace GlutMenu {

// A quad with corners (x0, y0), (x1, y0), (x1, y1), (x0, y1): filled with GL_QUADS, an
// outline with GL_LINE_LOOP.
inline void drawCorners(GLenum mode, float x0, float y0, float x1, float y1)
{
    glBegin(mode);
    glVertex3f(x0, y0, -1.0f);
    glVertex3f(x1, y0, -1.0f);
    glVertex3f(x1, y1, -1.0f);
    glVertex3f(x0, y1, -1.0f);
    glEnd();
}

inline void drawQuad(float x0, float y0, float x1, float y1)
{
    drawCorners(GL_QUADS, x0, y0, x1, y1);
}

inline void drawOutline(float x0, float y0, float x1, float y1)
{
    drawCorners(GL_LINE_LOOP, x0, y0, x1, y1);
}

// A vertical caret from y0 to y1.
inline void drawCaret(float x, float y0, float y1)
{
    glBegin(GL_LINES);
    glVertex3f(x, y0, -1.0f);
    glVertex3f(x, y1, -1.0f);
    glEnd();
}

inline void setColour(const float rgba[4])
{
    glColor4f(rgba[0], rgba[1], rgba[2], rgba[3]);
}

} // namespace GlutMenu
