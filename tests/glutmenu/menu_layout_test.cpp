#include "core/globals.h"
#include "glutmenu/glut_menu.h"
#include "glutmenu/menu_font.h"
#include "glutmenu/metrics.h"
#include "tests/support/test_font.h"

#include <gtest/gtest.h>
#include <memory>

using GlutMenu::CGlutMenu;

namespace {

const std::vector<std::string> barLabels{"File", "Palette", "Zoom", "Devices"};
const std::vector<std::string> fileLabels{"Fractals", "Toggle Timing Logs", "Quit"};

class MenuLayoutTest : public ::testing::Test {
protected:
    void SetUp() override { installTestFont(); }

    // Advance of a text at the current font size, summed from the font file's own advances.
    float fileAdvance(const std::string& text) const
    {
        float units = 0.0f;
        for (char c : text)
            units += static_cast<float>(font.advance(c));
        return units * static_cast<float>(menuFontSize(uiScaleX)) /
               static_cast<float>(font.unitsPerEm);
    }

    const TrueTypeMetrics font{TESSALY_FONT_FILE};
};

// A callback that keeps `token` alive exactly as long as the menu holding it.
GlutMenu::MenuCallback holding(const std::shared_ptr<int>& token)
{
    return [token](int&, CGlutMenu*, void*) {};
}

} // namespace

TEST_F(MenuLayoutTest, BarItemsAdvanceByWholeLabelsPlusH)
{
    for (auto [w, h] : {std::pair{1024, 768}, std::pair{1600, 1200}, std::pair{640, 480}}) {
        SCOPED_TRACE(w);
        CGlutMenu bar;
        bar.init(w, h, 50, 60, "Menu Bar", barLabels, true, "");
        EXPECT_EQ(uiWidth, static_cast<float>(w));
        EXPECT_EQ(uiScaleY, static_cast<float>(h) / 768.0f);
        EXPECT_EQ(bar.x, 0.0f);
        EXPECT_EQ(bar.y, 0.0f);
        EXPECT_EQ(bar.width, w);
        EXPECT_EQ(bar.height, static_cast<int>(lineHeight));
        EXPECT_NEAR(static_cast<float>(bar.marqueeChars), static_cast<float>(w) / fileAdvance("H"),
                    1.0f);
        EXPECT_NEAR(bar.itemWidth, fileAdvance("FilePaletteZoomDevicesH"), 0.5f);

        float place = 0.0f;
        for (int i = 0; i < static_cast<int>(barLabels.size()); ++i) {
            int px = 0, py = 0, ex = 0, ey = 0;
            bar.getItemPosition(i, &px, &py);
            EXPECT_NEAR(px, place, 1.0f) << i;
            EXPECT_EQ(py, static_cast<int>(lineHeight));
            bar.getItemExtent(i, &ex, &ey, 0);
            EXPECT_NEAR(ex, px + fileAdvance(barLabels[i] + "H"), 1.0f) << i;
            EXPECT_EQ(ey, 0);
            place += fileAdvance(barLabels[i] + "H");
        }
        // Past the last item a bar answers as a drop-down row would.
        int px = 0, py = 0;
        bar.getItemPosition(4, &px, &py);
        EXPECT_EQ(px, 0);
        EXPECT_EQ(py, static_cast<int>(lineHeight * 4.0f + lineHeight));
    }
}

TEST_F(MenuLayoutTest, DropDownsStandBelowTheBarAndBesideTheirRow)
{
    for (auto [w, h] : {std::pair{1024, 768}, std::pair{1920, 1080}, std::pair{500, 400}}) {
        SCOPED_TRACE(w);
        CGlutMenu bar;
        bar.init(w, h, 0, 0, "Menu Bar", barLabels, true, "");
        bar.addSubMenu(0, fileLabels, nullptr, "");
        bar.addSubMenu(1, {"VGA Assignmnt", "Red heatmap"}, nullptr, "");
        CGlutMenu* file = bar.getSubmenu(0);
        ASSERT_NE(file, nullptr);
        file->addSubMenu(1, {"Mandelbrot", "Julia"}, nullptr, "");
        CGlutMenu* inner = file->getSubmenu(1);
        ASSERT_NE(inner, nullptr);

        const int row = static_cast<int>(lineHeight);
        EXPECT_EQ(file->x, 0.0f);
        EXPECT_EQ(file->y, static_cast<float>(row));
        EXPECT_NEAR(file->width, fileAdvance("Toggle Timing LogsH"), 1.0f);
        EXPECT_EQ(file->height, static_cast<int>(3.0f * lineHeight));
        int px = 0, py = 0;
        bar.getItemPosition(1, &px, &py);
        EXPECT_EQ(bar.getSubmenu(1)->x, static_cast<float>(px));
        EXPECT_EQ(bar.getSubmenu(1)->y, static_cast<float>(row));

        for (int i = 0; i < 3; ++i) {
            int ex = 0, ey = 0;
            file->getItemPosition(i, &px, &py);
            EXPECT_EQ(px, 0);
            EXPECT_EQ(py,
                      static_cast<int>(lineHeight * static_cast<float>(i) + file->y + lineHeight));
            file->getItemExtent(i, &ex, &ey, py - row);
            EXPECT_EQ(ex, static_cast<int>(file->itemWidth));
            EXPECT_EQ(ey, static_cast<int>(static_cast<float>(py - row) + lineHeight));
        }

        // A drop-down's sub-menu opens at the right edge, level with its item's row.
        EXPECT_EQ(inner->x, static_cast<float>(file->width));
        EXPECT_NEAR(inner->y, file->y + lineHeight, 1.0f);
    }
}

TEST_F(MenuLayoutTest, ResizeMovesEverySubMenu)
{
    CGlutMenu bar;
    bar.init(1024, 768, 0, 0, "Menu Bar", barLabels, true, "");
    bar.addSubMenu(0, fileLabels, nullptr, "");
    bar.addSubMenu(3, {"CPU"}, nullptr, "");
    CGlutMenu* file = bar.getSubmenu(0);
    file->addSubMenu(0, {"Mandelbrot", "Julia"}, nullptr, "");
    const int narrowWidth = file->width;

    // What the window-size callback does for a framebuffer of 2048 x 1536.
    uiWidth = 2048.0f;
    uiHeight = 1536.0f;
    uiScaleX = uiWidth * 0.0009765625f;
    uiScaleY = uiHeight / 768.0f;
    ASSERT_TRUE(loadMenuFont(bar.fontFile));
    sizeMenuFont();
    lineHeight = measureText("I");
    testing::internal::CaptureStdout();
    bar.reshape();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Resizing sub-menu File\nResizing sub-menu Fractals\nResizing sub-menu Devices\n");

    EXPECT_EQ(bar.width, 2048);
    EXPECT_EQ(file->y, static_cast<float>(static_cast<int>(lineHeight)));
    EXPECT_NEAR(file->width, 2 * narrowWidth, 2);
    EXPECT_EQ(file->getSubmenu(0)->x, static_cast<float>(file->width));
    EXPECT_EQ(file->getSubmenu(0)->y, file->y);
    int px = 0, py = 0;
    bar.getItemPosition(3, &px, &py);
    EXPECT_EQ(bar.getSubmenu(3)->x, static_cast<float>(px));
    EXPECT_NEAR(px, fileAdvance("FileHPaletteHZoomH"), 1.0f);
}

TEST_F(MenuLayoutTest, LongLabelsAreMeasuredCutToTheMarqueeCount)
{
    CGlutMenu menu;
    menu.init(1024, 768, 10, 40, "", {"Short", "Fits"}, false, "");
    EXPECT_EQ(menu.x, 10.0f);
    EXPECT_EQ(menu.y, 40.0f);
    const uint32_t windowChars = menu.marqueeChars; // about 60 "H" widths across 1024
    EXPECT_NEAR(static_cast<float>(windowChars), 1024.0f / fileAdvance("H"), 1.0f);
    EXPECT_NEAR(menu.itemWidth, fileAdvance("ShortH"), 0.5f);

    // A label wider than the window: the count follows the widest label and longer labels
    // are measured cut to it.
    const std::string wide(200, 'i');
    menu.setItemLabel(1, wide);
    const float cutCount = std::max(1024.0f, fileAdvance(wide)) / fileAdvance("H");
    EXPECT_NEAR(static_cast<float>(menu.marqueeChars), cutCount, 1.0f);
    EXPECT_LT(menu.marqueeChars, wide.size());
    EXPECT_NEAR(menu.itemWidth, fileAdvance(wide.substr(0, menu.marqueeChars) + "H"), 0.5f);

    // The bar's hit box counts 20 characters of a label, whatever the marquee count.
    CGlutMenu bar;
    bar.init(1024, 768, 0, 0, "Menu Bar", {"A label of thirty characters!!", "B"}, true, "");
    int ex = 0, ey = 0;
    bar.getItemExtent(0, &ex, &ey, 0);
    EXPECT_NEAR(ex, fileAdvance("A label of thirty chH"), 1.0f);
}

TEST_F(MenuLayoutTest, ItemsLabelsAndStates)
{
    CGlutMenu menu;
    menu.highlighted = 5;
    menu.init(1024, 768, 0, 20, "Edit", {"Copy", "Paste", "Copy"}, false, "");
    EXPECT_FALSE(menu.visible);
    EXPECT_EQ(menu.highlighted, 0);
    EXPECT_EQ(menu.name, "Edit");
    EXPECT_EQ(menu.enabled, (std::map<int, bool>{{0, true}, {1, true}, {2, true}}));
    EXPECT_EQ(menu.checked, (std::map<int, bool>{{0, false}, {1, false}, {2, false}}));

    EXPECT_EQ(menu.findItem("Copy"), 0);
    EXPECT_EQ(menu.findItem("Cut"), -1);
    EXPECT_EQ(menu.getItemLabel(1), "Paste");
    EXPECT_EQ(menu.getItemLabel(3), "");
    EXPECT_EQ(menu.getItemLabel(-1), "");
    EXPECT_EQ(menu.getSubmenu(0), nullptr);

    // An index equal to the count changes nothing and does not lay the menu out again.
    menu.width = -7;
    menu.setItemLabel(3, "Cut");
    EXPECT_EQ(menu.labels.size(), 3u);
    EXPECT_EQ(menu.width, -7);
    menu.setItemLabel(1, "Paste special");
    EXPECT_EQ(menu.getItemLabel(1), "Paste special");
    EXPECT_NEAR(menu.width, fileAdvance("Paste specialH"), 1.0f);

    menu.setItemEnabled(9, false);
    menu.setItemChecked(1, true);
    EXPECT_FALSE(menu.enabled.at(9));
    EXPECT_TRUE(menu.checked.at(1));
}

TEST_F(MenuLayoutTest, SubMenusAreOwnedAndReplaced)
{
    auto bar = std::make_unique<CGlutMenu>();
    bar->init(1024, 768, 0, 0, "Menu Bar", barLabels, true, "");
    bar->textColour[0] = 0.25f;
    bar->textColour[3] = 0.5f;

    bar->addSubMenu(-1, fileLabels, nullptr, "");
    EXPECT_TRUE(bar->subMenus.empty());

    auto first = std::make_shared<int>(1);
    bar->subMenuOpen = true;
    bar->addSubMenu(0, fileLabels, holding(first), "File");
    EXPECT_FALSE(bar->subMenuOpen);
    CGlutMenu* file = bar->getSubmenu(0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->parent, bar.get());
    EXPECT_EQ(file->name, "File");
    EXPECT_FALSE(file->horizontal);
    EXPECT_EQ(file->textColour[0], 0.25f);
    EXPECT_EQ(file->textColour[3], 1.0f);
    EXPECT_EQ(file->userData, nullptr);

    // The callback gets the item index and the menu that holds the item.
    int seenItem = -1;
    CGlutMenu* seenMenu = nullptr;
    file->addSubMenu(1, {"Mandelbrot", "Julia"}, [&](int& item, CGlutMenu* menu, void*) {
        seenItem = item;
        seenMenu = menu;
    }, "");
    CGlutMenu* fractals = file->getSubmenu(1);
    int chosen = 1;
    fractals->callback(chosen, fractals, fractals->userData);
    EXPECT_EQ(seenItem, 1);
    EXPECT_EQ(seenMenu, fractals);

    // Replacing a sub-menu destroys the old one; destroying the bar destroys the whole tree.
    std::weak_ptr<int> firstAlive = first;
    first.reset();
    auto deepest = std::make_shared<int>(2);
    std::weak_ptr<int> deepestAlive = deepest;
    fractals->addSubMenu(0, {"x"}, holding(deepest), "");
    deepest.reset();
    EXPECT_FALSE(firstAlive.expired());
    bar->addSubMenu(0, {"Other"}, nullptr, "");
    EXPECT_TRUE(firstAlive.expired());
    EXPECT_TRUE(deepestAlive.expired());

    auto kept = std::make_shared<int>(3);
    std::weak_ptr<int> keptAlive = kept;
    bar->getSubmenu(0)->addSubMenu(0, {"y"}, holding(kept), "");
    kept.reset();
    EXPECT_FALSE(keptAlive.expired());
    bar.reset();
    EXPECT_TRUE(keptAlive.expired());
}
