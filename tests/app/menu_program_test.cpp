// The real executable driven through its menus with the keyboard and the mouse under the test's
// X server, with the OpenCL device of this machine (PoCL) in its Devices menu and a stand-in
// file chooser on PATH.
#include "core/fractal_file.h"
#include "core/fractal_list.h"
#include "tests/app/program_run.h"
#include "tests/app/screen_check.h"
#include "tests/support/zenity_standin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

std::string parameterLine(const FractalRecord& r)
{
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s Z-range:(%lf, %lf)-(%lf, %lf), c = (%lf,%lf), maxIters = %d, maxSize = %lf\r\n",
                  r.name.c_str(), static_cast<double>(r.minX), static_cast<double>(r.minY),
                  static_cast<double>(r.maxX), static_cast<double>(r.maxY), static_cast<double>(r.Cx),
                  static_cast<double>(r.Cy), r.maxIterations, static_cast<double>(r.maxSizeSquared));
    return line;
}

// A plane coordinate as the zoom makes it from an image pixel.
long double planeOf(long double pixel, long double size, long double min, long double span)
{
    return static_cast<long double>(static_cast<double>(pixel / size)) * span + min;
}

// Key presses by their X names, in order, into the window under the pointer.
void keys(const std::string& names)
{
    ASSERT_TRUE(runCommand("xdotool key --delay 50 " + names));
}

// Takes screenshots until one differs from the samples' colours; the differences, or "".
std::string waitForOtherColours(const std::vector<ColourSample>& samples)
{
    const auto deadline = std::chrono::steady_clock::now() + programTimeLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (const std::optional<Screenshot> shot = takeScreenshot()) {
            const std::string differences = colourMismatches(*shot, samples);
            if (!differences.empty())
                return differences;
        }
    }
    return "";
}

// Takes screenshots until the pixel at (x, y) is no longer the given colour.
bool waitForPixelChange(int x, int y, std::array<int, 3> colour)
{
    const auto deadline = std::chrono::steady_clock::now() + programTimeLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (const std::optional<Screenshot> shot = takeScreenshot(); shot && shot->at(x, y) != colour)
            return true;
    }
    return false;
}

std::vector<unsigned char> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void pause()
{
    // NOTE: the program reads the pointer's position when it handles a button event, so the
    // pointer stays put until the event has surely been handled.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
}

TEST(MenuProgram, EveryCommandGroupFromTheMenus)
{
    const std::optional<Screenshot> screen = takeScreenshot();
    ASSERT_TRUE(screen) << "needs an X display (xvfb-run) and ImageMagick's import";
    const int width = static_cast<int>(static_cast<float>(screen->width) * 0.9f);
    const int height = static_cast<int>(static_cast<float>(screen->height) * 0.9f);

    ZenityStandIn zenity; // before the program starts: it inherits PATH
    const std::string saved = (zenity.files() / "menu list.frac2").string();
    const std::string loaded = writeList("menu_load", {quickRecord("Quick A", 0), quickRecord("Quick B", 1)});
    zenity.answer(1, saved + "\n", 0);
    zenity.answer(2, loaded + "\n", 0);

    ProgramRun run({"--cpu"}, true, true);
    ASSERT_TRUE(run.waitFor("Frame time ")) << run.output() << run.errors();
    ASSERT_TRUE(runCommand("xdotool mousemove 200 200"));
    const std::vector<ColourSample> vga = paletteSamples(defaultFractalRecord(Mandelbrot, 0), width, height);
    ASSERT_EQ(waitForColours(vga), "");

    // Palette > Red heatmap: the screen's colours change.
    keys("Escape Right Return Down Return");
    ASSERT_TRUE(run.waitFor("Palette has changed\n")) << run.output();
    EXPECT_NE(waitForOtherColours(vga), "");

    // File > Fractals > Cos, then File > Fractals > Julia > Douady's Rabbit.
    const FractalRecord cosine = defaultFractalRecord(Cosine, 0);
    keys("Escape Return Return Down Down Down Return");
    ASSERT_TRUE(run.waitFor(parameterLine(cosine))) << run.output();
    const FractalRecord rabbit = defaultFractalRecord(Julia, 101);
    keys("Escape Return Return Down Return Down Down Return");
    ASSERT_TRUE(run.waitFor(parameterLine(rabbit))) << run.output();

    // Zoom from the bar hides it; a band dragged from (300, 200) to (900, 700) zooms into it.
    const std::optional<Screenshot> withBar = takeScreenshot();
    ASSERT_TRUE(withBar);
    keys("Escape Right Right Return");
    ASSERT_TRUE(waitForPixelChange(2, 2, withBar->at(2, 2))) << "the bar is hidden";
    const float sx = 2048.0f / static_cast<float>(width);
    const float sy = 2048.0f / static_cast<float>(height);
    FractalRecord zoomed = rabbit;
    zoomed.minX = planeOf(300.0f * sx, 2048, rabbit.minX, rabbit.maxX - rabbit.minX);
    zoomed.maxX = planeOf(900.0f * sx, 2048, rabbit.minX, rabbit.maxX - rabbit.minX);
    zoomed.minY = planeOf(200.0f * sy, 2048, rabbit.minY, rabbit.maxY - rabbit.minY);
    zoomed.maxY = planeOf(700.0f * sy, 2048, rabbit.minY, rabbit.maxY - rabbit.minY);
    ASSERT_TRUE(runCommand("xdotool mousemove 300 200"));
    pause();
    ASSERT_TRUE(runCommand("xdotool mousedown 1"));
    pause();
    ASSERT_TRUE(runCommand("xdotool mousemove 600 400"));
    pause();
    ASSERT_TRUE(runCommand("xdotool mousemove 900 700"));
    pause();
    ASSERT_TRUE(runCommand("xdotool mouseup 1"));
    ASSERT_TRUE(run.waitFor(parameterLine(zoomed))) << run.output();
    ASSERT_TRUE(runCommand("xdotool mousemove 200 200"));

    // File > Save to disk, then File > Load from disk, through the stand-in chooser.
    keys("Escape Return Down Down Down Down Down Down Down Down Down Return");
    ASSERT_TRUE(run.waitFor("Saved fractal 3\n")) << run.output();
    const FractalFileContents file = parseFractalFile(readFile(saved));
    ASSERT_EQ(file.records.size(), 4u);
    EXPECT_EQ(file.records[3].minX, zoomed.minX);
    EXPECT_EQ(file.records[3].maxY, zoomed.maxY);
    EXPECT_EQ(file.records[1].name, "Cosine");
    EXPECT_EQ(zenity.arguments(1).back(), "--filename=Fractal1");
    keys("Escape Return Down Down Down Down Down Down Down Down Return");
    ASSERT_TRUE(run.waitFor("Loaded  2 fractals.\n")) << run.output();
    EXPECT_EQ(zenity.calls(), 2);

    // File > Information: the iteration count edited to 20 and applied.
    keys("Escape Return Down Down Down Down Down Return");
    keys("Tab End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace "
         "BackSpace 2 0 Return");
    FractalRecord edited = quickRecord("Quick A", 0);
    edited.maxIterations = 20;
    ASSERT_TRUE(run.waitFor("Fractal parameters changed\n" + parameterLine(edited))) << run.output();

    // File > Benchmark over the loaded list.
    keys("Escape Return Down Down Down Down Down Down Return");
    ASSERT_TRUE(run.waitFor("Total rendering time ")) << run.output();

    // Devices > the OpenCL device, which is built for, then Devices > CPU.
    const size_t builds = countOf(run.output(), "OpenCL double precison on ");
    keys("Escape Right Right Right Return Down Return");
    ASSERT_TRUE(run.waitFor("OpenCL double precison on ", builds + 1)) << run.output();
    const size_t frames = countOf(run.output(), "Frame time ");
    ASSERT_TRUE(run.waitFor("Frame time ", frames + 1)) << "frames go on on the device";
    keys("Escape Right Right Right Return Return");

    // File > Quit.
    keys("Escape Return Down Down Down Down Down Down Down Down Down Down Return");
    EXPECT_EQ(run.exitCode(), 0) << run.output() << run.errors();
    EXPECT_TRUE(run.output().ends_with("Thread shutdown complete\n")) << run.output();
    EXPECT_EQ(countOf(run.output(), "OpenCL double precison on "), builds + 1)
        << "going back to the CPU builds nothing";
}

} // namespace
