#include "glutmenu/glut_menu.h"

#include "glutmenu/menu_font.h"
#include "glutmenu/metrics.h"
#include "platform/console.h"
#include "platform/working_directory.h"

#include <algorithm>
#include <cstdlib>

GlutMenu::CGlutMenu menuBar;

namespace GlutMenu {

namespace {

const std::string defaultFontFile = "CharisSILR.ttf";
constexpr size_t barExtentChars = 20;

int truncate(float value)
{
    return static_cast<int>(value);
}

} // namespace

CGlutMenu::~CGlutMenu()
{
    visible = false;
    highlighted = -1;
    subMenus.clear();
}

void CGlutMenu::init(int windowWidth, int windowHeight, int left, int top,
                     const std::string& menuName, const std::vector<std::string>& itemLabels,
                     bool isBar, const std::string& file)
{
    fontFile = file.empty() ? defaultFontFile : file;
    setWorkingDirectoryToExe();
    if (!loadMenuFont(fontFile)) {
        printLine("Could not load font");
        std::exit(1);
    }

    uiWidth = static_cast<float>(windowWidth);
    uiHeight = static_cast<float>(windowHeight);
    horizontal = isBar;
    uiScaleX = uiWidth * 0.0009765625f;
    uiScaleY = uiHeight / 768.0f;
    sizeMenuFont();

    subMenus.clear();
    subMenuOpen = false;
    x = horizontal ? 0.0f : static_cast<float>(left);
    y = horizontal ? 0.0f : static_cast<float>(top);

    name = menuName;
    labels = itemLabels;
    enabled.clear();
    for (int i = 0; i < static_cast<int>(labels.size()); ++i) {
        enabled[i] = true;
        checked[i] = false;
    }

    itemWidth = 0.0f;
    lineHeight = measureText("I");
    reshape();
    highlighted = 0;
}

void CGlutMenu::addSubMenu(int item, const std::vector<std::string>& itemLabels,
                           MenuCallback function, const std::string& menuName)
{
    if (item < 0)
        return;
    auto subMenu = std::make_unique<CGlutMenu>();

    int px = 0;
    int py = 0;
    getItemPosition(item, &px, &py);
    if (horizontal) {
        subMenuX = px;
        subMenuY = truncate(y);
    } else {
        subMenuX = px + width;
        subMenuY = truncate(lineHeight * static_cast<float>(item) + y - lineHeight);
    }

    subMenu->parent = this;
    subMenu->window = window;
    subMenu->init(truncate(uiWidth), truncate(uiHeight), subMenuX,
                  truncate(static_cast<float>(subMenuY) + lineHeight), menuName, itemLabels, false,
                  defaultFontFile);
    subMenu->textColour[0] = textColour[0];
    subMenu->textColour[1] = textColour[1];
    subMenu->textColour[2] = textColour[2];
    subMenu->textColour[3] = 1.0f;
    subMenu->assignCallback(std::move(function));
    subMenu->userData = nullptr;

    subMenus[item] = std::move(subMenu);
    subMenuOpen = false;
}

void CGlutMenu::reshape()
{
    totalWidth = 0.0f;
    itemWidth = 0.0f;

    float widest = 0.0f;
    for (const std::string& label : labels)
        widest = std::max(widest, textAdvance(label));
    const float advanceH = textAdvance("H");
    // NOTE: a font that measures nothing keeps the previous count instead of dividing by zero.
    if (advanceH > 0.0f)
        marqueeChars = static_cast<uint32_t>(std::max(uiWidth, widest) / advanceH);

    for (const std::string& label : labels) {
        const float w = textAdvance(label.substr(0, std::min<size_t>(label.size(), marqueeChars)));
        if (horizontal)
            totalWidth += w;
        itemWidth = std::max(itemWidth, w);
    }
    itemWidth += charAdvance('H');
    totalWidth += charAdvance('H');

    if (horizontal) {
        itemWidth = totalWidth;
        width = truncate(uiWidth - x);
        height = truncate(lineHeight);
    } else {
        width = truncate(itemWidth);
        height = truncate(static_cast<float>(labels.size()) * lineHeight);
    }

    for (const auto& [item, subMenu] : subMenus) {
        if (!subMenu)
            continue;
        int px = 0;
        int py = 0;
        getItemPosition(item, &px, &py);
        if (horizontal) {
            subMenuX = px;
            subMenuY = truncate(static_cast<float>(py) + y);
        } else {
            subMenuX = px + width;
            subMenuY = truncate(lineHeight * static_cast<float>(item) + y);
        }
        printLine("Resizing sub-menu " + getItemLabel(item));
        subMenu->x = static_cast<float>(subMenuX);
        subMenu->y = static_cast<float>(subMenuY);
        subMenu->reshape();
    }
}

void CGlutMenu::assignCallback(MenuCallback function)
{
    callback = std::move(function);
}

int CGlutMenu::findItem(const std::string& label) const
{
    const auto found = std::find(labels.begin(), labels.end(), label);
    return found == labels.end() ? -1 : static_cast<int>(found - labels.begin());
}

std::string CGlutMenu::getItemLabel(int item) const
{
    if (item < 0 || item >= static_cast<int>(labels.size()))
        return "";
    return labels[item];
}

void CGlutMenu::setItemLabel(int item, const std::string& label)
{
    if (item < 0 || item >= static_cast<int>(labels.size()))
        return;
    labels[item] = label;
    reshape();
}

void CGlutMenu::setItemEnabled(int item, bool flag)
{
    enabled[item] = flag;
}

void CGlutMenu::setItemChecked(int item, bool flag)
{
    checked[item] = flag;
}

CGlutMenu* CGlutMenu::getSubmenu(int item) const
{
    const auto found = subMenus.find(item);
    return found == subMenus.end() ? nullptr : found->second.get();
}

void CGlutMenu::getItemPosition(int item, int* px, int* py) const
{
    if (!horizontal || item >= static_cast<int>(labels.size())) {
        *px = truncate(x);
        *py = truncate(lineHeight * static_cast<float>(item) + y + lineHeight);
        return;
    }
    float sum = 0.0f;
    for (int j = 0; j < item; ++j)
        sum += textAdvance(labels[j] + "H");
    *px = truncate(x + sum);
    *py = truncate(y + lineHeight);
}

void CGlutMenu::getItemExtent(int item, int* ex, int* ey, int yTop) const
{
    if (!horizontal) {
        *ex = truncate(itemWidth + x);
        *ey = truncate(static_cast<float>(yTop) + lineHeight);
        return;
    }
    int px = 0;
    int py = 0;
    getItemPosition(item, &px, &py);
    const std::string label = getItemLabel(item);
    const std::string shown = label.substr(0, std::min(label.size(), barExtentChars));
    *ex = truncate(static_cast<float>(px) + textAdvance(shown + "H"));
    *ey = truncate(static_cast<float>(py) - lineHeight);
}

} // namespace GlutMenu
