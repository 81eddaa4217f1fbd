// The real executable driven through its menus with the keyboard and the mouse, with this
// machine's OpenCL device (PoCL) in its Devices menu and a stand-in file chooser on PATH.
#include "core/fractal_file.h"
#include "core/fractal_list.h"
#include "tests/app/program_run.h"
#include "tests/app/screen_check.h"
#include "tests/support/zenity_standin.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

namespace {

// Takes screenshots until the test holds for one, or the time limit passes.
bool waitForScreen(const std::function<bool(const Screenshot&)>& test)
{
    const auto deadline = std::chrono::steady_clock::now() + programTimeLimit;
    while (std::chrono::steady_clock::now() < deadline)
        if (const std::optional<Screenshot> shot = takeScreenshot(); shot && test(*shot))
            return true;
    return false;
}

TEST(MenuProgram, EveryCommandGroupFromTheMenus)
{
    const std::optional<Screenshot> screen = takeScreenshot();
    ASSERT_TRUE(screen) << "needs an X display (xvfb-run) and ImageMagick's import";
    const int width = static_cast<int>(static_cast<float>(screen->width) * 0.9f);
    const int height = static_cast<int>(static_cast<float>(screen->height) * 0.9f);

    ZenityStandIn zenity; // first on PATH, which the program inherits
    const std::string saved = (zenity.files() / "menu list.frac2").string();
    const FractalRecord quick = quickRecord("Quick", 0);
    zenity.answer(1, writeList("menu_load", {quick}) + "\n", 0);
    zenity.answer(2, saved + "\n", 0);

    ProgramRun run({"--cpu"}, true, true);
    ASSERT_TRUE(run.waitFor("Frame time ")) << run.output() << run.errors();
    ASSERT_TRUE(runCommand("xdotool mousemove 200 200"));
    const std::vector<ColourSample> vga = paletteSamples(defaultFractalRecord(Mandelbrot, 0), width, height);
    ASSERT_EQ(waitForColours(vga), "");

    pressKeys("Right Return Down Return"); // Palette > Red heatmap
    ASSERT_TRUE(run.waitFor("Palette has changed\n")) << run.output();
    EXPECT_TRUE(waitForScreen([&](const Screenshot& s) { return !colourMismatches(s, vga).empty(); }));

    pressKeys("Return Return Down Return Down Down Return"); // File > Fractals > Julia > Douady's Rabbit
    ASSERT_TRUE(run.waitFor(parameterLine(defaultFractalRecord(Julia, 101)))) << run.output();

    pressKeys("Return " + repeatKey("Down", 8) + "Return"); // File > Load from disk
    ASSERT_TRUE(run.waitFor("Loaded  1 fractals.\n")) << run.output();

    // The zoom runs over the loaded record, whose frames are cheap on any build.
    const std::array<int, 3> barColour = takeScreenshot()->at(2, 2);
    pressKeys("Right Right Return"); // Zoom: the bar hides and the rubber band is armed
    ASSERT_TRUE(waitForScreen([&](const Screenshot& s) { return s.at(2, 2) != barColour; }));
    ASSERT_TRUE(dragBand(run.console(), quick)) << run.output();
    const FractalRecord zoomed = zoomedByBand(quick, width, height);
    ASSERT_TRUE(run.waitFor(parameterLine(zoomed))) << run.output();
    ASSERT_TRUE(runCommand("xdotool mousemove 200 200"));

    pressKeys("Return " + repeatKey("Down", 9) + "Return"); // File > Save to disk
    ASSERT_TRUE(run.waitFor("Saved fractal 1\n")) << run.output();
    EXPECT_EQ(zenity.arguments(2).back(), "--filename=Fractal1");
    std::ifstream file(saved, std::ios::binary);
    const FractalFileContents list = parseFractalFile(
        std::vector<unsigned char>(std::istreambuf_iterator<char>(file), {}));
    ASSERT_EQ(list.records.size(), 2u);
    EXPECT_EQ(list.records[1].minX, zoomed.minX);
    EXPECT_EQ(list.records[1].maxY, zoomed.maxY);

    // File > Information: the zoomed record's iteration count edited from 16.000000 to 20.
    pressKeys("Return " + repeatKey("Down", 5) + "Return Tab End " + repeatKey("BackSpace", 9) + "2 0 Return");
    FractalRecord edited = zoomed;
    edited.maxIterations = 20;
    ASSERT_TRUE(run.waitFor("Fractal parameters changed\n" + parameterLine(edited))) << run.output();

    pressKeys("Return " + repeatKey("Down", 6) + "Return"); // File > Benchmark
    ASSERT_TRUE(run.waitFor("Total rendering time ")) << run.output();

    // Devices > the OpenCL device, which is built for; then Devices > CPU, which builds nothing.
    const size_t builds = countOf(run.output(), "OpenCL double precison on ");
    pressKeys("Right Right Right Return Down Return");
    ASSERT_TRUE(run.waitFor("OpenCL double precison on ", builds + 1)) << run.output();
    ASSERT_TRUE(run.waitFor("Frame time ", countOf(run.output(), "Frame time ") + 1));
    pressKeys("Right Right Right Return Return");

    pressKeys("Return " + repeatKey("Down", 10) + "Return"); // File > Quit
    EXPECT_EQ(run.exitCode(), 0) << run.output() << run.errors();
    EXPECT_TRUE(run.output().ends_with("Thread shutdown complete\n")) << run.output();
    EXPECT_EQ(countOf(run.output(), "OpenCL double precison on "), builds + 1);
}

TEST(MenuProgram, TheFormEditsTheRecordItShowedAndRefusesTextThatIsNoNumber)
{
    ZenityStandIn zenity;
    FractalRecord a = quickRecord("Form A", 0);
    const FractalRecord b = quickRecord("Form B", 1);
    zenity.answer(1, writeList("form_list", {a, b, quickRecord("Form C", 2)}) + "\n", 0);
    ProgramRun run({"--cpu"});
    ASSERT_TRUE(run.waitFor("Frame time ")) << run.output() << run.errors();
    ASSERT_TRUE(runCommand("xdotool mousemove 200 200"));
    pressKeys("Return " + repeatKey("Down", 8) + "Return"); // File > Load from disk
    ASSERT_TRUE(run.waitFor("Loaded  3 fractals.\n")) << run.output();

    // The form opens on A and the list steps to B before the form is confirmed: by five wheel
    // notches, then by Shift+Right.
    const std::string openForm = "Return " + repeatKey("Down", 5) + "Return ";
    struct Step {
        const char* xdotool;
        const char* letter; // typed over the name's last letter
        const char* name;
    };
    size_t shownB = 0;
    for (const Step& step : {Step{"click --repeat 5 --delay 1 5", "x", "Form X"},
                             Step{"keydown shift key Right keyup shift", "y", "Form Y"}}) {
        pressKeys(openForm + "End BackSpace " + step.letter);
        ASSERT_TRUE(runCommand(std::string("xdotool ") + step.xdotool));
        ASSERT_TRUE(run.waitFor(parameterLine(b), ++shownB)) << run.output();
        ASSERT_TRUE(runCommand("xdotool key Return"));
        a.name = step.name;
        ASSERT_TRUE(run.waitFor("Fractal parameters changed\n" + parameterLine(a))) << run.output();
    }

    const std::string enter = "Key code is 257 and shift state is 0\n";
    pressKeys(openForm + "Tab End " + repeatKey("BackSpace", 12) + "1 e 8 Return");
    EXPECT_TRUE(run.waitFor(enter + "Maximum iterations: \"1E8\" is not a whole number from 1 to 100000000\n"))
        << run.output();
    pressKeys(openForm + "Tab Tab End " + repeatKey("BackSpace", 12) + "1 e 4 0 0 Return");
    EXPECT_TRUE(run.waitFor(enter + "Maximum size squared: \"1E400\" is not a finite number\n")) << run.output();
    EXPECT_EQ(countOf(run.output(), "Fractal parameters changed\n"), 2u) << run.output();
    ASSERT_TRUE(closeProgramWindow(run));
    EXPECT_EQ(run.exitCode(), 0) << run.errors();
}

TEST(MenuProgram, CycleEndsABenchmarkAndTheNextOneRuns)
{
    ZenityStandIn zenity;
    zenity.answer(1, writeList("benchmark_again", {quickRecord("Quick", 0)}) + "\n", 0);
    // Long enough that the menu keys land while it runs, also on a fast machine: two full frames
    // for each record, each with a large set interior at 2048 iterations.
    std::vector<FractalRecord> records;
    for (int32_t i = 0; i < 40; ++i) {
        records.push_back(defaultFractalRecord(Mandelbrot, 0));
        records.back().maxIterations = 2048;
        records.back().name = "Long " + std::to_string(i);
        records.back().id = i;
    }
    ProgramRun run({"--cpu", "--bench:" + writeList("long_benchmark", records)});
    ASSERT_TRUE(run.waitFor(parameterLine(records[1]))) << run.output() << run.errors();
    ASSERT_TRUE(runCommand("xdotool mousemove 200 200"));

    pressKeys("Return " + repeatKey("Down", 4) + "Return"); // File > Cycle
    pressKeys("Return " + repeatKey("Down", 7) + "Return"); // File > Benchmark From File
    ASSERT_TRUE(run.waitFor("Total rendering time ")) << run.output();
    const std::string cut = run.output();
    EXPECT_EQ(countOf(cut, parameterLine(records.back())), 0u) << "the first benchmark ran to its end";
    EXPECT_LT(cut.find("Loaded  1 fractals.\n"), cut.find("Total rendering time ")) << "no report when cut short";

    pressKeys("Return " + repeatKey("Down", 6) + "Return"); // File > Benchmark
    EXPECT_TRUE(run.waitFor("Total rendering time ", 2)) << run.output();
    pressKeys("Return " + repeatKey("Down", 10) + "Return"); // File > Quit
    EXPECT_EQ(run.exitCode(), 0) << run.output() << run.errors();
}

} // namespace
