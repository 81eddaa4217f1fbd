#include "core/fractal_list.h"
#include "core/globals.h"
#include "tests/support/global_state.h"

#include <gtest/gtest.h>

namespace {

std::string lastTitle;
int scrollRemovals = 0;
int paletteChecks = 0;
bool paletteMenu = false;

class FractalListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetGlobalState();
        baseTitle = "Tessaly 2.0";
        lastTitle.clear();
        scrollRemovals = 0;
        paletteChecks = 0;
        paletteMenu = false;
        fractalViewHooks.setWindowTitle = [](const std::string& t) { lastTitle = t; };
        fractalViewHooks.removeScrollCallback = [] { ++scrollRemovals; };
        fractalViewHooks.hasPaletteMenu = [] { return paletteMenu; };
        fractalViewHooks.updatePaletteChecks = [] { ++paletteChecks; };
    }
    void TearDown() override { resetGlobalState(); }
};

TEST_F(FractalListTest, FirstMandelbrotIsCurrentQueuedAndPrinted)
{
    testing::internal::CaptureStdout();
    newFractal(0, 0);
    const std::string out = testing::internal::GetCapturedStdout();

    ASSERT_EQ(fractalList.size(), 1u);
    EXPECT_EQ(fractalList[0].id, 0);
    EXPECT_EQ(fractalList[0].name, "Mandelbrot");
    EXPECT_EQ(currentFractalIndex, 0);
    EXPECT_EQ(pendingFrames, 1);
    ASSERT_EQ(renderQueue.size(), 1u);
    EXPECT_EQ(lastQueuedFractal.maxX, 2.0L);
    EXPECT_EQ(lastTitle, "Tessaly 2.0 Mandelbrot");
    EXPECT_EQ(fractalType, 0);
    EXPECT_EQ(viewMinY, -1.5L);
    EXPECT_EQ(out, "Mandelbrot Z-range:(-2.000000, -1.500000)-(2.000000, 1.500000), "
                   "c = (0.000000,0.000000), maxIters = 768, maxSize = 4.000000\r\n");
}

TEST_F(FractalListTest, DefaultsAreWidenedDoublesAndPresetsApply)
{
    const FractalRecord dendrite = defaultFractalRecord(1, 100);
    EXPECT_EQ(dendrite.Cx, 0.0L);
    EXPECT_EQ(dendrite.Cy, -0.75L);
    EXPECT_EQ(dendrite.paletteType, 1);
    for (int preset : {5, 7}) {
        const FractalRecord julia = defaultFractalRecord(1, preset);
        EXPECT_EQ(julia.Cx, static_cast<long double>(-0.8));
        EXPECT_EQ(julia.Cy, static_cast<long double>(0.156));
        EXPECT_EQ(julia.paletteType, 0);
    }
    EXPECT_EQ(defaultFractalRecord(42, 0).fractalType, 1);
    EXPECT_EQ(defaultFractalRecord(-3, 0).name, "Julia");

    const FractalRecord barnsley = defaultFractalRecord(6, 0);
    EXPECT_EQ(barnsley.name, " First Barnsley Fractal");
    EXPECT_EQ(barnsley.Cy, static_cast<long double>(1.1));
    EXPECT_NE(barnsley.Cy, 1.1L) << "1.1 is the nearest double widened, not the nearest extended";
    EXPECT_EQ(defaultFractalRecord(10, 0).maxIterations, 4096);
    EXPECT_EQ(defaultFractalRecord(13, 0).maxSizeSquared, 16.0L);

    testing::internal::CaptureStdout();
    newFractal(1, 100);
    EXPECT_EQ(juliaCy, -0.75L) << "newFractal hands the preset on";
    EXPECT_EQ(paletteType, 1);
    newFractal(42, 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(fractalType, 1);
    EXPECT_EQ(fractalList.back().fractalType, 1);
    EXPECT_EQ(fractalList.back().Cx, static_cast<long double>(-0.8));
    EXPECT_EQ(lastTitle, "Tessaly 2.0 Julia");
}

TEST_F(FractalListTest, DragonSwitchesPaletteOnlyWithAutoSwitch)
{
    testing::internal::CaptureStdout();
    newFractal(10, 0);
    EXPECT_EQ(paletteType, 1);
    EXPECT_EQ(paletteChecks, 0) << "no Palette menu, no ticks to refresh";
    paletteMenu = true;
    setCurrentFractal(fractalList[0]);
    EXPECT_EQ(paletteChecks, 1);
    autoSwitchPalette = false;
    paletteType = 2;
    newFractal(10, 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(paletteType, 2);
    EXPECT_EQ(paletteChecks, 1) << "the ticks follow only a switched palette";
    EXPECT_EQ(fractalList[0].id + 1, fractalList[1].id);
    EXPECT_EQ(nextFractalId, 2);
}

TEST_F(FractalListTest, SelectAtTheEndsReportsFalseButRaisesPending)
{
    testing::internal::CaptureStdout();
    newFractal(0, 0);
    newFractal(2, 0);
    renderQueue.clear();
    pendingFrames = 0;
    currentFractalIndex = 0;

    EXPECT_FALSE(selectFractal(-1, true));
    EXPECT_EQ(pendingFrames, 1);
    EXPECT_TRUE(renderQueue.empty());

    currentFractalIndex = 1;
    EXPECT_FALSE(selectFractal(1, true));
    EXPECT_EQ(pendingFrames, 2);
    EXPECT_TRUE(renderQueue.empty());
    EXPECT_EQ(scrollRemovals, 2);
    testing::internal::GetCapturedStdout();
}

TEST_F(FractalListTest, SelectStepsQueueWithOrWithoutApplying)
{
    testing::internal::CaptureStdout();
    newFractal(0, 0);
    newFractal(2, 0);
    newFractal(3, 0);
    currentFractalIndex = 0;
    setCurrentFractal(fractalList[0]);
    renderQueue.clear();
    lastTitle.clear();

    EXPECT_TRUE(selectFractal(1, false));
    EXPECT_EQ(currentFractalIndex, 1);
    ASSERT_EQ(renderQueue.size(), 1u);
    EXPECT_EQ(renderQueue.back().name, "Sine");
    EXPECT_EQ(fractalType, 0) << "apply false keeps the view globals";
    EXPECT_EQ(viewMaxX, 2.0L);
    EXPECT_TRUE(lastTitle.empty());

    EXPECT_TRUE(selectFractal(0, false));
    EXPECT_EQ(fractalType, 2) << "step 0 always re-applies";
    EXPECT_EQ(lastTitle, "Tessaly 2.0 Sine");
    EXPECT_EQ(renderQueue.size(), 2u);

    EXPECT_TRUE(selectFractal(1, true));
    EXPECT_EQ(fractalType, 3);
    EXPECT_EQ(lastQueuedFractal.name, "Cosine");
    testing::internal::GetCapturedStdout();
}

TEST_F(FractalListTest, EmptyListReadsNoRecord)
{
    EXPECT_FALSE(selectFractal(0, true));
    EXPECT_FALSE(selectFractal(1, true));
    EXPECT_FALSE(selectFractal(-1, false));
    EXPECT_TRUE(renderQueue.empty());
    EXPECT_EQ(currentFractalIndex, -1);
}

} // namespace
