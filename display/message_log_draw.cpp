#include "display/message_log_draw.h"

#include "glutmenu/menu_font.h"

#include <FTGL/ftgl.h>
#include <GL/gl.h>
#include <algorithm>

namespace {
constexpr size_t maxLinesShown = 3;
} // namespace

void drawMessageLog(CMessageLog& log)
{
    std::lock_guard lock(log.mutex);
    if (menuFont == nullptr)
        return;
    const float step = (measureText("I") / 1.5f) * 1.1f;
    const size_t shown = std::min(maxLinesShown, log.messages.size());
    float lineY = log.y;
    for (size_t k = 0; k < shown; ++k) {
        glRasterPos3f(log.x, lineY, -1.0f);
        menuFont->Render(log.messages[k].c_str(), -1, FTPoint(), FTPoint(), FTGL::RENDER_ALL);
        lineY += step;
    }
}
