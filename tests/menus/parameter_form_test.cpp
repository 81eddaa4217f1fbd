#include "menus/parameter_form.h"
#include "tests/core/fractal_file_fixture.h"
#include "tests/menus/menu_fixture.h"

namespace {

using Texts = std::vector<std::string>;

// The rows as the form shows them, in its order.
const Texts rowLabels{"Name", "Maximum iterations", "Maximum size squared", "Minimum X",
                      "Maximum X", "Minimum Y", "Maximum Y", "Cx", "Cy"};

// A deep zoom into Seahorse Valley: a view far narrower than six decimals can hold.
FractalRecord deepZoom()
{
    FractalRecord r = defaultFractalRecord(Mandelbrot, 0);
    r.minX = -0.7436438870371587L;
    r.maxX = -0.7436438870371580L;
    r.minY = 0.1318259042053120L;
    r.maxY = 0.1318259042053125L;
    r.name = std::string(60, 'z');
    r.id = 7;
    return r;
}

class ParameterFormTest : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        fractalList = {defaultFractalRecord(Sine, 0), deepZoom()};
        currentFractalIndex = 1;
    }

    // The values the form shows for the current record.
    static Texts shown()
    {
        Texts labels, values{deepZoom().name.substr(0, 40)};
        const FractalRecord r = fractalList[1];
        for (long double v : {static_cast<long double>(r.maxIterations), r.maxSizeSquared, r.minX,
                              r.maxX, r.minY, r.maxY, r.Cx, r.Cy})
            addFormRow("", labels, values, v);
        return values;
    }

    // Opens the form's values and confirms them with a button after the edit.
    bool confirm(const std::string& button, const std::function<void(Texts&)>& edit)
    {
        openFractalInformation();
        Texts values = shown();
        edit(values);
        return fractalParametersCallback(button, rowLabels, values, nullptr);
    }
};

TEST_F(ParameterFormTest, RowsShowSixDecimalsOfTheFullValue)
{
    Texts labels, values;
    for (long double v : {4.0L, -2.5L, 1e20L, 768.0L, 0.0000005L, 0.00000049999L})
        addFormRow("Cx", labels, values, v);
    EXPECT_EQ(values, (Texts{"4.000000", "-2.500000", "100000000000000000000.000000", "768.000000",
                             "0.000001", "0.000000"}));
    EXPECT_EQ(labels, Texts(6, "Cx"));
}

TEST_F(ParameterFormTest, UnchangedConfirmKeepsADeepZoomExact)
{
    pendingFrames = 0;
    std::string output;
    bool closes = false;
    output = outputOf([&] { closes = confirm("", [](Texts&) {}); });
    EXPECT_TRUE(closes);
    EXPECT_TRUE(sameRecord(fractalList[1], deepZoom())) << "no row was edited";
    EXPECT_EQ(output.substr(0, 27), "Fractal parameters changed\n");
    EXPECT_EQ(viewMinX, deepZoom().minX) << "the record is shown again";
    EXPECT_EQ(renderQueue.back().maxY, deepZoom().maxY);
    EXPECT_EQ(pendingFrames, 2) << "one frame from the selection, one from the form";
}

TEST_F(ParameterFormTest, EditedRowsApplyAndOtherButtonsChangeNothing)
{
    EXPECT_TRUE(confirm("Cancel", [](Texts& v) { v[1] = "5"; }));
    EXPECT_TRUE(confirm("Apply", [](Texts& v) { v[1] = "5"; }));
    EXPECT_TRUE(sameRecord(fractalList[1], deepZoom()));

    EXPECT_TRUE(confirm("OK", [](Texts& v) {
        v[0] = "Seahorse";
        v[1] = " 1500 steps";
        v[3] = "-0.75";
        v[8] = "0x1p-3";
    }));
    FractalRecord expected = deepZoom();
    expected.name = "Seahorse";
    expected.maxIterations = 1500;
    expected.minX = -0.75L;
    expected.Cy = 0.125L;
    EXPECT_TRUE(sameRecord(fractalList[1], expected));

    // Rows are applied in order: a label given twice takes its last value.
    outputOf(openFractalInformation);
    Texts labels = rowLabels, values = shown();
    labels.push_back("Cx");
    values.push_back("0.5");
    values[7] = "0.25";
    EXPECT_TRUE(fractalParametersCallback("OK", labels, values, nullptr));
    EXPECT_EQ(fractalList[1].Cx, 0.5L);
    values[7] = "9";
    EXPECT_TRUE(fractalParametersCallback("OK", labels, Texts(values.begin(), values.end() - 1), nullptr));
    EXPECT_EQ(fractalList[1].Cx, 0.5L) << "rows and values of different lengths apply nothing";
}

TEST_F(ParameterFormTest, RowsThatDoNotConvertKeepTheRecordAndTheFormOpen)
{
    const std::vector<std::pair<size_t, std::string>> bad{
        {1, "0x10"}, {1, "0"}, {1, "-4"}, {1, "100000001"}, {1, "5000000000"}, {1, "many"},
        {2, "inf"}, {3, "nan"}, {4, "1e5000"}, {7, ""}, {8, "c"}};
    for (const auto& [row, text] : bad) {
        SCOPED_TRACE(text);
        bool closes = true;
        const std::string output = outputOf([&] {
            closes = confirm("OK", [&, row = row, text = text](Texts& v) {
                v[0] = "renamed before the bad row";
                v[row] = text;
            });
        });
        EXPECT_FALSE(closes);
        EXPECT_EQ(output.find(rowLabels[row] + ": \"" + text + "\""), 0u) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1);
        EXPECT_TRUE(sameRecord(fractalList[1], deepZoom()));
    }
    EXPECT_TRUE(confirm("OK", [](Texts& v) { v[1] = "100000000"; }));
    EXPECT_EQ(fractalList[1].maxIterations, maxFormIterations);
}

TEST_F(ParameterFormTest, FormOpensOnTheCurrentRecordAndAnswersItsKeys)
{
    createMenus();
    const auto press = [](std::initializer_list<int> keys) {
        for (int key : keys)
            infoForm.KeyboardCallback(key, 0, "");
    };
    const auto type = [](const std::string& text) {
        for (char c : text)
            infoForm.KeyboardCallback(c, 0, "");
    };
    choose(file(), "Information");
    ASSERT_EQ(activeTextInput, &infoForm);
    EXPECT_EQ(infoForm.title, "Fractal information");
    EXPECT_EQ(infoForm.rowLabels, rowLabels);
    EXPECT_EQ(infoForm.rowValues, shown());
    EXPECT_EQ(infoForm.editText, std::string(40, 'z')) << "a long name shows its first 40 characters";
    EXPECT_EQ(infoForm.buttons, (Texts{"OK", "Cancel"}));
    EXPECT_EQ(infoForm.scale, 1.0f) << "centred";

    pendingFrames = 0;
    press({258, 269, 259, 259, 259, 259, 259, 259, 259, 259, 259, 259});
    type("1500");
    press({256}); // Escape
    EXPECT_EQ(activeTextInput, nullptr);
    EXPECT_TRUE(sameRecord(fractalList[1], deepZoom()));
    EXPECT_EQ(pendingFrames, 0);

    choose(file(), "Information");
    press({258, 269, 259, 259, 259, 259, 259, 259, 259, 259, 259, 259});
    type("1500");
    press({257});
    EXPECT_EQ(activeTextInput, nullptr);
    FractalRecord expected = deepZoom();
    expected.maxIterations = 1500;
    EXPECT_TRUE(sameRecord(fractalList[1], expected)) << "the name and the view stay whole";

    choose(file(), "Information");
    press({265, 265, 269, 259, 259, 259, 259, 259, 259, 259, 259}); // to Cx, "0.000000" away
    type("-");
    press({257});
    ASSERT_EQ(activeTextInput, &infoForm) << "a row that is no number keeps the form open";
    EXPECT_EQ(infoForm.rowValues[7], "-");
    EXPECT_TRUE(sameRecord(fractalList[1], expected));
    infoForm.KeyboardCallback(257, 0, "Cancel");
    EXPECT_EQ(activeTextInput, nullptr);
    EXPECT_TRUE(sameRecord(fractalList[1], expected));
}

} // namespace
