// The "Fractal information" form: the current record's parameters as rows of label and value,
// and the form callback that writes the edited rows back. Main thread only.
#pragma once

#include "core/fractal_record.h"
#include "glutmenu/text_input.h"

#include <cstdint>
#include <string>
#include <vector>

// The iteration limits the form accepts.
constexpr int32_t minFormIterations = 1;
constexpr int32_t maxFormIterations = 100'000'000;

// Opens the form on the current record; without a current record it says so and opens nothing.
void openFractalInformation();

// Starts setting up infoForm for a body of the mode (2 lines, 3 rows): not centred, with no
// lines, rows, prompt or text and the caret at 0.
void startFormSetUp(int32_t mode, const std::string& title);

// Ends the set-up of infoForm once its body and place are set: sizes the box, restarts the
// caret, sets the form callback (empty for a text to read) and the buttons "OK" and "Cancel".
void finishFormSetUp(GlutMenu::FormCallback callback);

// Appends a row: the label, and the value in fixed notation with six decimals ("%Lf").
void addFormRow(const std::string& label, std::vector<std::string>& labels,
                std::vector<std::string>& values, long double value);

// The form's callback. "OK" or Enter applies to the current record the rows whose text was
// changed since the form opened, and shows the record again. Each changed numeric row must start
// with a number: "Maximum iterations" a decimal integer from minFormIterations to
// maxFormIterations, the others a finite real. A row that does not convert is named on the
// console, nothing is applied and the form stays open. Any other button closes the form and
// changes nothing.
bool fractalParametersCallback(std::string button, std::vector<std::string> labels,
                               std::vector<std::string> values, void* userData);
