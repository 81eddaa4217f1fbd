#include "menus/parameter_form.h"
#include "tests/core/fractal_file_fixture.h"
#include "tests/menus/menu_fixture.h"

namespace {

// A deep zoom into Seahorse Valley, far narrower than six decimals, under a 60-character name.
FractalRecord deepZoom()
{
    FractalRecord r = defaultFractalRecord(Mandelbrot, 0);
    r.minX = -0.7436438870371587L;
    r.maxX = -0.7436438870371580L;
    r.minY = 0.1318259042053120L;
    r.maxY = 0.1318259042053125L;
    r.name = std::string(60, 'z');
    return r;
}

constexpr int tab = 258, up = 265, end = 269, backspace = 259, enter = 257, escape = 256;

TEST_F(MenuTest, TheFormAppliesOnlyEditedRowsAndOnlyWhenEveryOneConverts)
{
    Texts labels, values;
    for (long double v : {-2.5L, 1e20L, 0.0000005L})
        addFormRow("Cx", labels, values, v);
    EXPECT_EQ(values, (Texts{"-2.500000", "100000000000000000000.000000", "0.000001"}));

    fractalList = {defaultFractalRecord(Sine, 0), deepZoom()};
    currentFractalIndex = 1;
    choose(menu({"File"}), "Information");
    EXPECT_EQ(infoForm.rowValues[3], "-0.743644");
    EXPECT_EQ(infoForm.editText, std::string(40, 'z')) << "values are cut to 40 characters";
    pendingFrames = 0;
    EXPECT_NE(outputOf([] { infoForm.KeyboardCallback(enter, 0, ""); }).find("\nFractal parameters changed\n"),
              std::string::npos);
    EXPECT_TRUE(activeTextInput == nullptr && pendingFrames == 2 && viewMinX == deepZoom().minX);
    EXPECT_TRUE(sameRecord(fractalList[1], deepZoom())) << "no row was edited";

    // Opens the form, presses the keys, empties the row it is on, types the text and ends with
    // the key and button; returns what that last key printed.
    const auto editRow = [](std::vector<int> keys, const std::string& text, int last = enter,
                            const std::string& button = "") {
        choose(menu({"File"}), "Information");
        keys.push_back(end);
        keys.insert(keys.end(), 12, backspace);
        keys.insert(keys.end(), text.begin(), text.end());
        for (int key : keys)
            infoForm.KeyboardCallback(key, 0, "");
        return outputOf([&] { infoForm.KeyboardCallback(last, 0, button); });
    };
    for (const auto& [key, button] : std::vector<std::pair<int, std::string>>{{escape, ""}, {enter, "Cancel"}}) {
        EXPECT_EQ(editRow({tab}, "9", key, button), "Key code is " + std::to_string(key) + " and shift state is 0\n");
        EXPECT_TRUE(activeTextInput == nullptr && sameRecord(fractalList[1], deepZoom()));
    }
    editRow({tab}, " 1500 ", enter, "OK");
    FractalRecord expected = deepZoom();
    expected.maxIterations = 1500;
    EXPECT_TRUE(sameRecord(fractalList[1], expected)) << "the name and the view stay whole";

    for (const auto& [keys, text] : std::vector<std::pair<std::vector<int>, std::string>>{
             {{tab}, "0x10"}, {{tab}, "100000001"}, {{tab}, "5000000000"}, {{tab}, "many"},
             {{tab, tab}, "inf"}, {{tab, tab, tab}, "1e5000"}, {{up, up}, "-"}, {{up}, "nan"}}) {
        SCOPED_TRACE(text);
        std::vector<int> moves{backspace}; // the name is edited too, before the bad row
        moves.insert(moves.end(), keys.begin(), keys.end());
        const std::string output = editRow(moves, text);
        const std::string row = infoForm.rowLabels[static_cast<size_t>(infoForm.row)];
        EXPECT_NE(output.find("\n" + row + ": \"" + text + "\" is not"), std::string::npos) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 2) << "the key's line and one more";
        ASSERT_EQ(activeTextInput, &infoForm) << "the form stays open";
        EXPECT_EQ(infoForm.rowValues[static_cast<size_t>(infoForm.row)], text);
        EXPECT_TRUE(sameRecord(fractalList[1], expected));
        infoForm.KeyboardCallback(escape, 0, "");
    }
    editRow({tab}, "100000000");
    EXPECT_EQ(fractalList[1].maxIterations, maxFormIterations);

    // A list that no longer holds the record the form was opened on takes no edit.
    choose(menu({"File"}), "Information");
    fractalList.pop_back();
    EXPECT_EQ(outputOf([] { infoForm.KeyboardCallback(enter, 0, ""); }),
              "Key code is 257 and shift state is 0\nNo current fractal: the parameters were not applied\n");
}

TEST(FormRows, ARowConvertsOnlyWhenItsWholeTextIsTheNumber)
{
    const std::pair<const char*, std::optional<int32_t>> counts[] = {
        {" +1500 ", 1500}, {"100000000", maxFormIterations}, {"1E8", {}}, {"12ABC", {}},
        {"7.9", {}}, {"1000.", 1000}, {" 1000.000000 ", 1000}, {"768.0", 768}, {"7.09", {}},
        {"7.0.0", {}}, {".0", {}}, {"100000000.000001", {}}, {"100000001.0", {}}, {"1 5", {}}, {" ", {}}, {"0", {}}, {"100000001", {}}, {"99999999999999999999", {}}};
    for (const auto& [text, count] : counts)
        EXPECT_EQ(formIterations(text), count) << text;
    const std::pair<const char*, std::optional<long double>> reals[] = {
        {" -2.5 ", -2.5L}, {"0x1.8p1", 3.0L}, {"1e308", 1e308L}, {"1e-400", 1e-400L},
        {"1.5ABC", {}}, {"1E400", {}}, {"-1E4000", {}}, {"1E309", {}}, {"nan", {}}, {"-", {}}, {"", {}}};
    for (const auto& [text, real] : reals)
        EXPECT_EQ(formReal(text), real) << text;
}

} // namespace
