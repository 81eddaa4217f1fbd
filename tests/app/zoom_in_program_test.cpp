// The whole program run in this test's process, so that the list it leaves can be read: the
// rubber band is armed by setting zoomMode beside the program, as the Zoom command does. The
// drag itself goes through the X server with xdotool into the program's real callbacks.
#include "app/startup.h"
#include "core/fractal_list.h"
#include "core/globals.h"
#include "display/render_scene.h"
#include "opencl/cl_globals.h"
#include "tests/app/program_run.h"
#include "tests/app/screen_check.h"
#include "tests/support/fresh_process.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <iostream>
#include <memory>

namespace {

// Standard output of this process into a pipe, read as it comes, until finish().
class StdoutPipe {
public:
    StdoutPipe() : saved(dup(STDOUT_FILENO)), console(openPipe()) {}
    ~StdoutPipe() { finish(); }

    ConsoleReader& reader() { return *console; }

    // Gives standard output back and reads what is left.
    void finish()
    {
        if (saved < 0)
            return;
        std::fflush(stdout);
        std::cout.flush();
        dup2(saved, STDOUT_FILENO);
        ::close(saved);
        saved = -1;
        console->waitForEnd();
    }

private:
    std::unique_ptr<ConsoleReader> openPipe()
    {
        int ends[2];
        if (pipe(ends) != 0)
            std::abort();
        std::fflush(stdout);
        dup2(ends[1], STDOUT_FILENO);
        ::close(ends[1]);
        return std::make_unique<ConsoleReader>(ends[0]);
    }

    int saved;
    std::unique_ptr<ConsoleReader> console;
};

TEST(ProgramInProcess, RubberBandDragZoomsToTheBandInTwentyPasses)
{
    // NOTE: the program starts from the globals as a fresh process has them.
    if (!aloneInThisProcess())
        return;
    const std::optional<Screenshot> screen = takeScreenshot();
    ASSERT_TRUE(screen) << "needs an X display (xvfb-run) and ImageMagick's import";
    const int width = static_cast<int>(static_cast<float>(screen->width) * 0.9f);
    const int height = static_cast<int>(static_cast<float>(screen->height) * 0.9f);

    // The band from (300, 200) to (900, 700) in window pixels, as plane coordinates.
    const FractalRecord source = quickRecord("Quick", 7);
    const std::string list = writeList("zoom_source", {source});
    const FractalRecord zoomed = zoomedByBand(source, width, height);
    const std::string zoomedLine = parameterLine(zoomed);
    ASSERT_NE(zoomedLine, parameterLine(source));

    StdoutPipe console;
    size_t dragStart = 0;
    bool dragged = false;
    bool zoomShown = false;
    std::string colours = "not checked";
    std::thread user([&] {
        ConsoleReader& out = console.reader();
        // Loaded, queued again at the end of the benchmark, and shown after its last animation:
        // then the program rests.
        if (out.waitFor(parameterLine(source), 3)) {
            zoomMode = true;
            dragStart = out.text().size();
            dragged = dragBand(out, source);
            zoomShown = dragged && out.waitFor(zoomedLine);
            if (zoomShown)
                colours = waitForColours(paletteSamples(zoomed, width, height));
        }
        closeProgramWindow(getpid());
    });
    std::string bench = "--bench:" + list;
    char name[] = "tessaly";
    char* argv[] = {name, bench.data(), nullptr};
    const int code = runTessaly(2, argv);
    user.join();
    console.finish();
    const std::string out = console.reader().text();
    glfwDestroyWindow(clWindow);
    glfwDestroyWindow(window);
    window = clWindow = nullptr;

    EXPECT_EQ(code, 0);
    ASSERT_TRUE(dragged) << out;
    ASSERT_TRUE(zoomShown) << out;
    EXPECT_EQ(countOf(out, zoomedLine), 1u);
    // Each driver pass waits while more than 3 frames are pending: the 20th pass, which shows the
    // record, comes only after at least 17 of the frames that the release and passes asked for.
    const std::string drag = out.substr(dragStart, out.find(zoomedLine) - dragStart);
    EXPECT_GE(countOf(drag, "Frame time "), 17u) << drag;
    EXPECT_EQ(colours, "") << "the zoomed record on the screen";

    ASSERT_EQ(fractalList.size(), 2u);
    EXPECT_EQ(currentFractalIndex, 1);
    const FractalRecord& made = fractalList[1];
    EXPECT_EQ(made.minX, zoomed.minX);
    EXPECT_EQ(made.maxX, zoomed.maxX);
    EXPECT_EQ(made.minY, zoomed.minY);
    EXPECT_EQ(made.maxY, zoomed.maxY);
    EXPECT_EQ(made.id, 7);
    EXPECT_EQ(made.name, "Quick");
    EXPECT_FALSE(zoomMode) << "the release disarms the band";
    EXPECT_FALSE(zoomRequested);
    EXPECT_TRUE(out.ends_with("Thread shutdown complete\n")) << out;
}

} // namespace
