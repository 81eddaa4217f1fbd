#include "glutmenu/menu_font.h"

#include "glutmenu/metrics.h"

#include <FTGL/ftgl.h>
#include <GL/gl.h>
#include <cmath>

FTFont* menuFont = nullptr;

namespace {
constexpr float designFontSize = 24.0f;
constexpr unsigned int pointsPerInch = 72;
} // namespace

unsigned int menuFontSize(float scaleX)
{
    const float size = scaleX * designFontSize;
    // NOTE: a window narrower than 43 pixels would truncate to 0, and every advance measured
    // with that face is what later layout divides by.
    if (!(size >= 1.0f))
        return 1;
    return static_cast<unsigned int>(size);
}

bool loadMenuFont(const std::string& fontFile)
{
    const std::string path = "fonts/" + fontFile;
    FTFont* font = new FTPixmapFont(path.c_str());
    // NOTE: a font that failed to load crashes FTGL on its first measurement, so it never
    // replaces a working one.
    if (font->Error() != 0) {
        delete font;
        return false;
    }
    delete menuFont;
    menuFont = font;
    return true;
}

void sizeMenuFont()
{
    if (menuFont == nullptr)
        return;
    // NOTE: at 72 dots per inch a point is a pixel. FTGL applies a resolution only from the next
    // FaceSize call on the same font (a first call falls back to FreeType's default of 72), so
    // asking for 72 gives the same glyphs whichever call FTGL honours.
    menuFont->FaceSize(menuFontSize(uiScaleX), pointsPerInch);
}

float measureText(const std::string& text)
{
    if (menuFont == nullptr)
        return 0.0f;
    const FTBBox box = menuFont->BBox(text.c_str());
    return std::fabs(box.Upper().Yf() - box.Lower().Yf()) * 1.5f;
}

float charAdvance(char c)
{
    if (menuFont == nullptr)
        return 0.0f;
    const char text[2] = {c, '\0'};
    return menuFont->Advance(text);
}

float textAdvance(const std::string& text)
{
    return menuFont == nullptr ? 0.0f : menuFont->Advance(text.c_str());
}

float fontLineHeight()
{
    return menuFont == nullptr ? 0.0f : menuFont->LineHeight();
}

float fontDescender()
{
    return menuFont == nullptr ? 0.0f : menuFont->Descender();
}

void drawText(const std::string& text, float x, float y)
{
    if (menuFont == nullptr)
        return;
    glRasterPos3f(x, y, -1.0f);
    menuFont->Render(text.c_str(), -1, FTPoint(), FTPoint(), FTGL::RENDER_ALL);
}
