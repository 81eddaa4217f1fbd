// A menu of the window's own menu toolkit: either the menu bar, whose items stand side by side
// along the top of the window, or a drop-down, whose items are stacked. Any item may own a
// sub-menu, which opens beside it, so the menus form a tree below the one menu bar. Geometry is in
// framebuffer units (uiWidth x uiHeight), x to the right and y downward from the top-left corner.
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct GLFWwindow;

namespace GlutMenu {

class CGlutMenu;

// Called with (the chosen item's index, the menu that holds the item, that menu's userData).
using MenuCallback = std::function<void(int&, CGlutMenu*, void*)>;

class CGlutMenu {
public:
    CGlutMenu() = default;
    ~CGlutMenu();
    CGlutMenu(const CGlutMenu&) = delete;
    CGlutMenu& operator=(const CGlutMenu&) = delete;

    // Loads the menu font for the window's width and lays the menu out. A bar is placed at
    // (0, 0) whatever x and y say. Exits with code 1 when the font cannot be loaded.
    void init(int windowWidth, int windowHeight, int x, int y, const std::string& name,
              const std::vector<std::string>& labels, bool horizontal, const std::string& fontFile);

    // Makes the drop-down of item, replacing any it had; a negative item is ignored.
    void addSubMenu(int item, const std::vector<std::string>& labels, MenuCallback callback,
                    const std::string& name);

    // Lays this menu out again and places and lays out every sub-menu below it.
    void reshape();

    void assignCallback(MenuCallback function);

    // Index of the first item with this label, or -1.
    int findItem(const std::string& label) const;
    // The item's label, or "" when there is no such item.
    std::string getItemLabel(int item) const;
    // Replaces an existing item's label and lays the menu out again; other indices do nothing.
    void setItemLabel(int item, const std::string& label);
    void setItemEnabled(int item, bool flag);
    void setItemChecked(int item, bool flag);
    // The item's sub-menu, or null.
    CGlutMenu* getSubmenu(int item) const;

    // Bottom-left corner of an item's row (in a bar, of its place on the bar).
    void getItemPosition(int item, int* px, int* py) const;
    // Far corner of an item's box; yTop is the top of a drop-down's row.
    void getItemExtent(int item, int* ex, int* ey, int yTop) const;

    // Offers a key (GLFW key code and modifier bits) to the menus: an open form takes it, else
    // the deepest open menu acts on it. True when it was used.
    bool KeyboardCallback(int key, int mods);
    // Offers a mouse event at window position (x, y) to the menus: a left release chooses the
    // item under it, closes menus it misses and presses a form's button. True when it was used.
    bool MouseCallback(int button, int action, int x, int y);
    // Closes this menu and, with upward, the drop-downs above it; a bar only loses its open
    // sub-menu.
    void closeChain(bool upward);
    // The item under (fx, fy) in menu units, or -1.
    int itemAt(float fx, float fy) const;

    // The text shown for an item: a label longer than marqueeChars as a ticker from
    // marqueeOffset.
    std::string shownLabel(int item) const;
    // Moves the ticker on by one character when more than marqueeStep seconds have passed
    // since it last moved.
    void advanceMarquee(double now);
    // Draws this menu, the open sub-menus below it and the active form. On the top menu it
    // also sets up and restores the projection in menu units.
    void draw();

    GLFWwindow* window = nullptr;
    bool visible = false;
    uint32_t marqueeOffset = 0;  // character at which long labels start
    uint32_t marqueeChars = 20;  // characters of a label shown
    double marqueeStep = 0.3f;   // seconds between two advances of marqueeOffset
    double marqueeLast = -1.0;
    int32_t highlighted = 0;
    bool horizontal = false;     // a menu bar
    float textColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float backgroundColour[4] = {0.0f, 0.0f, 1.0f, 0.7f};
    float highlightColour[4] = {0.8f, 0.8f, 0.0f, 0.7f};
    std::vector<std::string> labels;
    std::string name;
    float x = -1.0f, y = -1.0f;  // top-left corner
    float itemWidth = 0.0f;      // one item's box in a drop-down; all items in a bar
    bool itemChosen = false;
    int32_t selectedItem = -1;
    int32_t width = 0, height = 0;
    int32_t subMenuX = 0, subMenuY = 0;
    float totalWidth = 0.0f;
    std::string fontFile = "CharisSILR.ttf";
    bool subMenuOpen = false;
    CGlutMenu* parent = nullptr;
    std::map<int, std::unique_ptr<CGlutMenu>> subMenus;
    std::map<int, bool> checked;
    std::map<int, bool> enabled; // an item without an entry counts as disabled
    MenuCallback callback;
    void* userData = nullptr;

private:
    // Enter on item h: opens its sub-menu, or calls the callback and closes the drop-downs.
    void chooseItem(int h);
    // Shown with nothing chosen, selected or open below it, highlight on the first item.
    void showAgain();
    // The sub-menu open below this menu, or null.
    CGlutMenu* openSubMenu() const;
};

// The text of a label shown marqueeChars at a time from offset, wrapping to its start like a
// ticker; a label of at most chars characters is shown whole.
std::string marqueeText(const std::string& label, uint32_t offset, uint32_t chars);

} // namespace GlutMenu

// The one menu bar at the top of the window; every other menu hangs below it.
extern GlutMenu::CGlutMenu menuBar;
