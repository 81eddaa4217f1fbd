// The "Fractal information" form: the current record's parameters as rows of label and value,
// and the form callback that writes the edited rows back. Main thread only.
#pragma once

#include "core/fractal_record.h"

#include <cstdint>
#include <string>
#include <vector>

// The iteration limits the form accepts.
constexpr int32_t minFormIterations = 1;
constexpr int32_t maxFormIterations = 100'000'000;

// Opens the form on the current record; without a current record it says so and opens nothing.
void openFractalInformation();

// Appends a row: the label, and the value in fixed notation with six decimals ("%Lf").
void addFormRow(const std::string& label, std::vector<std::string>& labels,
                std::vector<std::string>& values, long double value);

// Writes into the record the rows whose value differs from the text the form showed, in row
// order. A numeric row must hold a number at its start: "Maximum iterations" a decimal integer
// from minFormIterations to maxFormIterations, the others a finite real. Returns "" when every
// edited row applied; otherwise the console line naming the first row that did not convert, and
// the record is left as it was.
std::string applyEditedRows(const std::vector<std::string>& labels,
                            const std::vector<std::string>& shown,
                            const std::vector<std::string>& values, FractalRecord& record);

// The form's callback: "OK" or Enter applies the edited rows to the current record and shows it
// again; a row that does not convert keeps the form open. Any other button closes the form and
// changes nothing.
bool fractalParametersCallback(std::string button, std::vector<std::string> labels,
                               std::vector<std::string> values, void* userData);
