// The "Fractal information" form: a record's parameters as rows of label and value, and the
// form callback that writes the edited rows back into that record. Main thread only.
#pragma once

#include "core/fractal_record.h"
#include "glutmenu/text_input.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The iteration limits the form accepts.
constexpr int32_t minFormIterations = 1;
constexpr int32_t maxFormIterations = 100'000'000;

// Opens the form on the current record; without a current record it says so and opens nothing.
// The form stays on that record while the list steps on.
void openFractalInformation();

// The iteration count of a row whose whole text, blanks aside, is a decimal integer from
// minFormIterations to maxFormIterations, optionally followed by a point and zeros ("768.000000",
// as the form shows it); nothing for any other text.
std::optional<int32_t> formIterations(const std::string& text);

// The real of a row whose whole text, blanks aside, is a number in the standard library's
// decimal or hexadecimal syntax that is finite as a double; nothing for any other text.
std::optional<long double> formReal(const std::string& text);

// Starts setting up infoForm for a body of the mode (2 lines, 3 rows): not centred, with no
// lines, rows, prompt or text and the caret at 0.
void startFormSetUp(int32_t mode, const std::string& title);

// Ends the set-up of infoForm once its body and place are set: sizes the box, restarts the
// caret, sets the form callback (empty for a text to read) and the buttons "OK" and "Cancel".
void finishFormSetUp(GlutMenu::FormCallback callback);

// Appends a row: the label, and the value in fixed notation with six decimals ("%Lf").
void addFormRow(const std::string& label, std::vector<std::string>& labels,
                std::vector<std::string>& values, long double value);

// The form's callback. "OK" or Enter applies the rows whose text was changed since the form
// opened to the record it was opened on, and makes that record current and shows it again; when
// the list no longer holds that record, nothing is applied. Each changed numeric row must convert
// (formIterations for "Maximum iterations", formReal for the others). A row that does not is
// named on the console, nothing is applied and the form stays open. Any other button closes the
// form and changes nothing.
bool fractalParametersCallback(std::string button, std::vector<std::string> labels,
                               std::vector<std::string> values, void* userData);
