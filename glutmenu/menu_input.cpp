#include "glutmenu/glut_menu.h"

#include "glutmenu/framebuffer.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"

#include <GLFW/glfw3.h>

#include <algorithm>

namespace GlutMenu {

namespace {

bool isLeftRelease(int button, int action)
{
    return button == GLFW_MOUSE_BUTTON_LEFT && action == GLFW_RELEASE;
}

// Presses the active form's button under window position (x, y), if any.
void clickFormButton(int x, int y)
{
    CTextInput* form = activeTextInput;
    const FramebufferSize fb = framebufferSize(form->window);
    // NOTE: a minimised window has no pixels to scale the position from.
    if (fb.width <= 0 || fb.height <= 0)
        return;
    const int ux = static_cast<int>(static_cast<float>(x) / static_cast<float>(fb.width) * uiWidth);
    const int uy = static_cast<int>(static_cast<float>(y) / static_cast<float>(fb.height) * uiHeight);
    for (int i = 0; i < static_cast<int>(form->buttons.size()); ++i) {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        form->getButtonRect(i, &x0, &y0, &x1, &y1);
        if (x0 <= ux && ux <= x1 && y0 <= uy && uy <= y1) {
            const std::string label = form->buttons[static_cast<size_t>(i)];
            form->KeyboardCallback(GLFW_KEY_ENTER, 0, label);
            return;
        }
    }
}

// One step through count items with wrap-around.
int wrapped(int item, int step, int count)
{
    const int next = item + step;
    if (next >= count)
        return 0;
    if (next < 0)
        return count - 1;
    return next;
}

} // namespace

bool CGlutMenu::KeyboardCallback(int key, int mods)
{
    if (openTextInputs != 0 && activeTextInput != nullptr) {
        activeTextInput->KeyboardCallback(key, mods, "");
        return true;
    }
    if (!visible)
        return false;
    if (subMenuOpen) {
        const auto found = subMenus.find(selectedItem);
        if (found == subMenus.end())
            return true;
        CGlutMenu* subMenu = found->second.get();
        if (subMenu == nullptr)
            return false;
        if (subMenu->KeyboardCallback(key, mods))
            return true;
        subMenu->visible = false;
        subMenu->selectedItem = -1;
        subMenu->subMenuOpen = false;
        subMenu->highlighted = 0;
        subMenuOpen = false;
    }

    const int h = highlighted;
    const int count = static_cast<int>(labels.size());
    if (h < 0 || h >= count) {
        visible = false;
        return false;
    }
    switch (key) {
    case GLFW_KEY_ESCAPE:
        if (horizontal)
            showAgain();
        else
            closeChain(true);
        return true;
    case GLFW_KEY_ENTER:
        chooseItem(h);
        return true;
    case GLFW_KEY_RIGHT:
        if (horizontal) {
            highlighted = wrapped(h, 1, count);
            return true;
        }
        if (subMenus.count(h) != 0) {
            chooseItem(h);
            return true;
        }
        closeChain(true);
        return false;
    case GLFW_KEY_LEFT:
        if (horizontal)
            highlighted = wrapped(h, -1, count);
        else
            closeChain(true);
        return true;
    case GLFW_KEY_DOWN:
    case GLFW_KEY_UP:
        if (horizontal)
            return false;
        highlighted = wrapped(h, key == GLFW_KEY_DOWN ? 1 : -1, count);
        return true;
    default:
        return false;
    }
}

void CGlutMenu::chooseItem(int h)
{
    const auto state = enabled.find(h);
    if (state == enabled.end() || !state->second) {
        if (!horizontal)
            closeChain(true);
        return;
    }
    selectedItem = h;
    const auto found = subMenus.find(h);
    if (found != subMenus.end()) {
        subMenuOpen = true;
        if (CGlutMenu* subMenu = found->second.get()) {
            subMenu->visible = true;
            subMenu->itemChosen = false;
            subMenu->selectedItem = -1;
            subMenu->highlighted = 0;
        }
        return;
    }
    // NOTE: the command may assign the menu a new callback; the copy keeps this one alive.
    if (MenuCallback command = callback) {
        itemChosen = true;
        command(selectedItem, this, userData);
    }
    if (!horizontal)
        closeChain(true);
}

void CGlutMenu::closeChain(bool upward)
{
    CGlutMenu* menu = this;
    while (true) {
        menu->visible = false;
        menu->selectedItem = -1;
        menu->subMenuOpen = false;
        menu->highlighted = 0;
        CGlutMenu* above = menu->parent;
        if (above == nullptr)
            return;
        above->subMenuOpen = false;
        if (!upward || above->horizontal)
            return;
        menu = above;
    }
}

void CGlutMenu::showAgain()
{
    visible = true;
    itemChosen = false;
    selectedItem = -1;
    highlighted = 0;
}

CGlutMenu* CGlutMenu::openSubMenu() const
{
    if (!subMenuOpen)
        return nullptr;
    const auto found = subMenus.find(selectedItem);
    return found == subMenus.end() ? nullptr : found->second.get();
}

int CGlutMenu::itemAt(float fx, float fy) const
{
    if (fx < x || fx >= x + static_cast<float>(width) || fy < y ||
        fy > y + static_cast<float>(height))
        return -1;
    const int rowHeight = static_cast<int>(lineHeight);
    for (int i = 0; i < static_cast<int>(labels.size()); ++i) {
        int px = 0, py = 0, ex = 0, ey = 0;
        getItemPosition(i, &px, &py);
        if (!horizontal)
            py -= rowHeight;
        getItemExtent(i, &ex, &ey, py);
        const float left = static_cast<float>(std::min(px, ex));
        const float right = static_cast<float>(std::max(px, ex));
        const float top = static_cast<float>(std::min(py, ey));
        const float low = static_cast<float>(std::max(py, ey));
        if (left <= fx && fx <= right && top <= fy && fy <= low)
            return i;
    }
    return -1;
}

bool CGlutMenu::MouseCallback(int button, int action, int x, int y)
{
    const bool leftRelease = isLeftRelease(button, action);
    if (openTextInputs != 0 && activeTextInput != nullptr) {
        if (leftRelease)
            clickFormButton(x, y);
        return true;
    }
    if (!visible)
        return false;

    const auto found = subMenuOpen ? subMenus.find(selectedItem) : subMenus.end();
    if (found != subMenus.end()) {
        CGlutMenu* subMenu = found->second.get();
        if (subMenu == nullptr)
            return false;
        const bool used = subMenu->MouseCallback(button, action, x, y);
        if (leftRelease && !subMenuOpen) {
            // The sub-menu closed its chain up to here.
            if (used) {
                closeChain(true);
                if (!subMenu->itemChosen)
                    showAgain();
                return true;
            }
        } else if (used) {
            return true;
        }
        if (!visible)
            return false;
    }
    if (!leftRelease)
        return false;

    int item = -1;
    const FramebufferSize fb = framebufferSize(window);
    // NOTE: a minimised window or a menu laid out for no size has nothing to scale by.
    if (fb.width > 0 && fb.height > 0 && uiWidth > 0.0f && uiHeight > 0.0f) {
        const float fx = static_cast<float>(x) / (static_cast<float>(fb.width) / uiWidth);
        const float fy = static_cast<float>(y) / (static_cast<float>(fb.height) / uiHeight);
        item = itemAt(fx, fy);
    }
    if (item < 0) {
        if (parent != nullptr)
            closeChain(false);
        return false;
    }
    if (subMenuOpen) {
        if (CGlutMenu* open = openSubMenu())
            open->closeChain(true);
        visible = true;
        itemChosen = false;
        selectedItem = -1;
    }
    highlighted = item;
    return KeyboardCallback(GLFW_KEY_ENTER, 0);
}

} // namespace GlutMenu
