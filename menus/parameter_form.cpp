#include "menus/parameter_form.h"

#include "core/fractal_list.h"
#include "core/globals.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"
#include "menus/menu_labels.h"
#include "platform/console.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

using GlutMenu::CTextInput;

namespace {

constexpr size_t formValueChars = 40;

// The values as the form showed them when it opened: only rows changed since then are applied.
std::vector<std::string> shownValues;

// A decimal integer at the start of the text (blanks, a sign, digits; the rest is ignored).
std::optional<long long> leadingInteger(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || errno == ERANGE)
        return std::nullopt;
    return value;
}

// A finite real at the start of the text, in the standard library's syntax.
std::optional<long double> leadingReal(const std::string& text)
{
    char* end = nullptr;
    const long double value = std::strtold(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The record field a real-valued row edits, or null for a label that is none.
long double* realField(const std::string& label, FractalRecord& record)
{
    if (label == formFieldLabels[FieldMaxSizeSquared])
        return &record.maxSizeSquared;
    if (label == formFieldLabels[FieldMinX])
        return &record.minX;
    if (label == formFieldLabels[FieldMinY])
        return &record.minY;
    if (label == formFieldLabels[FieldMaxX])
        return &record.maxX;
    if (label == formFieldLabels[FieldMaxY])
        return &record.maxY;
    if (label == formFieldLabels[FieldCx])
        return &record.Cx;
    if (label == formFieldLabels[FieldCy])
        return &record.Cy;
    return nullptr;
}

// Converts one row into the record; the console line of a row that does not convert.
std::string applyRow(const std::string& label, const std::string& value, FractalRecord& record)
{
    if (label == formFieldLabels[FieldName]) {
        record.name = value;
        return "";
    }
    if (label == formFieldLabels[FieldMaxIterations]) {
        const std::optional<long long> count = leadingInteger(value);
        if (!count || *count < minFormIterations || *count > maxFormIterations)
            return label + ": \"" + value + "\" is not a whole number from "
                + std::to_string(minFormIterations) + " to " + std::to_string(maxFormIterations);
        record.maxIterations = static_cast<int32_t>(*count);
        return "";
    }
    if (long double* field = realField(label, record)) {
        const std::optional<long double> real = leadingReal(value);
        if (!real)
            return label + ": \"" + value + "\" is not a finite number";
        *field = *real;
    }
    return "";
}

} // namespace

void addFormRow(const std::string& label, std::vector<std::string>& labels,
                std::vector<std::string>& values, long double value)
{
    labels.push_back(label);
    const int length = std::snprintf(nullptr, 0, "%Lf", value);
    std::string text(static_cast<size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, "%Lf", value);
    values.push_back(std::move(text));
}

std::string applyEditedRows(const std::vector<std::string>& labels,
                            const std::vector<std::string>& shown,
                            const std::vector<std::string>& values, FractalRecord& record)
{
    FractalRecord edited = record;
    for (size_t i = 0; i < labels.size() && i < values.size(); ++i) {
        if (i < shown.size() && values[i] == shown[i])
            continue;
        const std::string failure = applyRow(labels[i], values[i], edited);
        if (!failure.empty())
            return failure;
    }
    record = std::move(edited);
    return "";
}

bool fractalParametersCallback(std::string button, std::vector<std::string> labels,
                               std::vector<std::string> values, void*)
{
    if (!button.empty() && button != "OK")
        return true;
    if (labels.size() != values.size())
        return true;
    {
        std::lock_guard lock(fractalListMutex);
        if (currentFractalIndex < 0 || static_cast<size_t>(currentFractalIndex) >= fractalList.size()) {
            printLine("No current fractal: the parameters were not applied");
            return true;
        }
        FractalRecord& record = fractalList[static_cast<size_t>(currentFractalIndex)];
        const std::string failure = applyEditedRows(labels, shownValues, values, record);
        if (!failure.empty()) {
            printLine(failure);
            return false;
        }
    }
    printLine("Fractal parameters changed");
    selectFractal(0, true);
    std::lock_guard lock(pendingFramesMutex);
    pendingFrames += 1;
    return true;
}

void openFractalInformation()
{
    FractalRecord record;
    {
        std::lock_guard lock(fractalListMutex);
        if (currentFractalIndex < 0 || static_cast<size_t>(currentFractalIndex) >= fractalList.size()) {
            printLine("No current fractal to show");
            return;
        }
        record = fractalList[static_cast<size_t>(currentFractalIndex)];
    }
    std::vector<std::string> labels{formFieldLabels[FieldName]};
    std::vector<std::string> values{record.name};
    addFormRow(formFieldLabels[FieldMaxIterations], labels, values, record.maxIterations);
    addFormRow(formFieldLabels[FieldMaxSizeSquared], labels, values, record.maxSizeSquared);
    addFormRow(formFieldLabels[FieldMinX], labels, values, record.minX);
    addFormRow(formFieldLabels[FieldMaxX], labels, values, record.maxX);
    addFormRow(formFieldLabels[FieldMinY], labels, values, record.minY);
    addFormRow(formFieldLabels[FieldMaxY], labels, values, record.maxY);
    addFormRow(formFieldLabels[FieldCx], labels, values, record.Cx);
    addFormRow(formFieldLabels[FieldCy], labels, values, record.Cy);

    CTextInput& form = infoForm;
    form.mode = 3;
    form.scale = 0.0f;
    form.title = "Fractal information";
    form.lines.clear();
    form.rowChoices.clear();
    form.rowLabels = labels;
    form.maxChars = formValueChars;
    for (std::string& value : values)
        value.resize(std::min<size_t>(value.size(), formValueChars));
    form.rowValues = values;
    shownValues = values;
    form.prompt.clear();
    form.text.clear();
    form.caret = static_cast<int32_t>(values[0].size());
    form.computeWidth();
    form.row = 0;
    form.editText = values[0];
    form.caretOn = true;
    form.restartBlink = true;
    form.textLength = 0;
    form.formCallback = fractalParametersCallback;
    form.textFieldCallback = nullptr;
    form.userData = nullptr;
    caretVisible = true;
    setFormButtons(form);
    form.centreInWindow();
    form.open();
}
