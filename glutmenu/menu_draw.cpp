#include "glutmenu/glut_menu.h"

#include "glutmenu/draw_shapes.h"
#include "glutmenu/menu_font.h"
#include "glutmenu/menu_projection.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"

#include <GL/glu.h>
#include <GLFW/glfw3.h>

void beginMenuProjection()
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, uiWidth, 0, uiHeight);
    glScalef(1.0f, -1.0f, 1.0f);
    glTranslatef(0.0f, -uiHeight, 0.0f);
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void endMenuProjection()
{
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

namespace GlutMenu {

std::string marqueeText(const std::string& label, uint32_t offset, uint32_t chars)
{
    const size_t n = label.size();
    if (n <= chars)
        return label;
    std::string shown = label.substr(offset % n, chars);
    if (shown.size() < chars)
        shown += label.substr(0, chars - shown.size());
    return shown;
}

std::string CGlutMenu::shownLabel(int item) const
{
    return marqueeText(getItemLabel(item), marqueeOffset, marqueeChars);
}

void CGlutMenu::advanceMarquee(double now)
{
    if (now - marqueeLast > marqueeStep) {
        marqueeOffset += 1;
        marqueeLast = now;
    }
}

void CGlutMenu::draw()
{
    const bool topMenu = parent == nullptr;
    if (topMenu) {
        beginMenuProjection();
        glLineWidth(3.0f);
    }

    if (visible) {
        if (CGlutMenu* subMenu = openSubMenu())
            subMenu->draw();

        setColour(backgroundColour);
        drawQuad(x, y, x + static_cast<float>(width), y + static_cast<float>(height));
        const float a = charAdvance('H');
        for (int i = 0; i < static_cast<int>(labels.size()); ++i) {
            int px = 0, py = 0;
            getItemPosition(i, &px, &py);
            const float left = static_cast<float>(px);
            const float base = static_cast<float>(py);
            if (i == highlighted) {
                const int top = horizontal ? py : py - static_cast<int>(lineHeight);
                int ex = 0, ey = 0;
                getItemExtent(i, &ex, &ey, top);
                setColour(highlightColour);
                drawQuad(left, static_cast<float>(top), static_cast<float>(ex),
                         static_cast<float>(ey));
            }

            const auto state = enabled.find(i);
            if (state != enabled.end() && state->second)
                setColour(textColour);
            else
                glColor4f(textColour[0] * 0.6f, textColour[1] * 0.6f, textColour[2] * 0.6f,
                          textColour[3]);
            drawText(shownLabel(i), left, base - 0.2f * lineHeight);
            advanceMarquee(glfwGetTime());

            const auto tick = checked.find(i);
            if (horizontal || tick == checked.end())
                continue;
            const float right = left + static_cast<float>(width);
            setColour(textColour);
            if (subMenus.count(i) != 0) {
                const float y1 = base - 0.1f * lineHeight;
                const float y2 = base - 0.9f * lineHeight;
                glBegin(GL_TRIANGLES);
                glVertex3f(right - 0.7f * a, y1, -1.0f);
                glVertex3f(right - 0.7f * a, y2, -1.0f);
                glVertex3f(right, (y1 + y2) / 2.0f, -1.0f);
                glEnd();
            } else if (tick->second) {
                const float y1 = base - 0.02f * lineHeight;
                const float y2 = base - 0.98f * lineHeight;
                glBegin(GL_LINE_STRIP);
                glVertex3f(right - 0.7f * a, (y1 + y2) / 2.0f, -1.0f);
                glVertex3f(((right - 0.05f * a) + (right - 0.7f * a)) / 2.0f, y1, -1.0f);
                glVertex3f(right - 0.05f * a, y2, -1.0f);
                glEnd();
            }
        }
    }

    if (activeTextInput != nullptr)
        activeTextInput->draw();
    if (topMenu)
        endMenuProjection();
}

} // namespace GlutMenu
