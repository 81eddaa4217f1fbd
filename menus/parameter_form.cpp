#include "menus/parameter_form.h"

#include "core/fractal_list.h"
#include "core/globals.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"
#include "menus/menu_labels.h"
#include "platform/console.h"

#include <algorithm>
#include <cctype>
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

// The record the form was opened on: its place in the list and its id.
size_t shownIndex = 0;
int32_t shownId = 0;

// True when a conversion of text that stopped at end took all of it but trailing blanks.
bool tookWholeText(const std::string& text, const char* end)
{
    const char* start = text.c_str();
    const char* last = start + text.size();
    if (end == start)
        return false;
    while (end < last && std::isspace(static_cast<unsigned char>(*end)))
        ++end;
    return end == last;
}

// The real-valued rows in the form's order, with the record field each edits.
constexpr std::pair<FormField, long double FractalRecord::*> realRows[] = {
    {FieldMaxSizeSquared, &FractalRecord::maxSizeSquared}, {FieldMinX, &FractalRecord::minX},
    {FieldMaxX, &FractalRecord::maxX}, {FieldMinY, &FractalRecord::minY},
    {FieldMaxY, &FractalRecord::maxY}, {FieldCx, &FractalRecord::Cx}, {FieldCy, &FractalRecord::Cy},
};

// The record field a real-valued row edits, or null for a label that is none.
long double* realField(const std::string& label, FractalRecord& record)
{
    for (const auto& [field, member] : realRows) {
        if (label == formFieldLabels[field])
            return &(record.*member);
    }
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
        const std::optional<int32_t> count = formIterations(value);
        if (!count)
            return label + ": \"" + value + "\" is not a whole number from "
                + std::to_string(minFormIterations) + " to " + std::to_string(maxFormIterations);
        record.maxIterations = *count;
        return "";
    }
    if (long double* field = realField(label, record)) {
        const std::optional<long double> real = formReal(value);
        if (!real)
            return label + ": \"" + value + "\" is not a finite number";
        *field = *real;
    }
    return "";
}

// Writes into the record the rows whose text differs from what the form showed, in row order,
// or nothing at all: returns the console line naming the first edited row that does not
// convert, or "" when every edited row applied.
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

// The current record, or null after a load left none. The caller holds fractalListMutex.
FractalRecord* currentRecord()
{
    if (currentFractalIndex < 0 || static_cast<size_t>(currentFractalIndex) >= fractalList.size())
        return nullptr;
    return &fractalList[static_cast<size_t>(currentFractalIndex)];
}

// The record the form was opened on, or null when the list no longer holds it at its place.
// The caller holds fractalListMutex.
FractalRecord* shownRecord()
{
    if (shownIndex >= fractalList.size() || fractalList[shownIndex].id != shownId)
        return nullptr;
    return &fractalList[shownIndex];
}

} // namespace

std::optional<int32_t> formIterations(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    // The form shows the count with six decimals: a point followed by zeros only is whole.
    if (end != text.c_str() && *end == '.') {
        ++end;
        while (*end == '0')
            ++end;
    }
    if (!tookWholeText(text, end) || errno == ERANGE || value < minFormIterations
        || value > maxFormIterations)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<long double> formReal(const std::string& text)
{
    char* end = nullptr;
    const long double value = std::strtold(text.c_str(), &end);
    // NOTE: the record is also computed in double precision and saved as doubles, so an
    // extended value beyond the double range would turn into an infinity there.
    if (!tookWholeText(text, end) || !std::isfinite(static_cast<double>(value)))
        return std::nullopt;
    return value;
}

void addFormRow(const std::string& label, std::vector<std::string>& labels,
                std::vector<std::string>& values, long double value)
{
    labels.push_back(label);
    const int length = std::snprintf(nullptr, 0, "%Lf", value);
    std::string text(static_cast<size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, "%Lf", value);
    values.push_back(std::move(text));
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
        FractalRecord* record = shownRecord();
        if (record == nullptr) {
            printLine("No current fractal: the parameters were not applied");
            return true;
        }
        const std::string failure = applyEditedRows(labels, shownValues, values, *record);
        if (!failure.empty()) {
            printLine(failure);
            return false;
        }
        currentFractalIndex = static_cast<int32_t>(shownIndex);
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
        const FractalRecord* current = currentRecord();
        if (current == nullptr) {
            printLine("No current fractal to show");
            return;
        }
        record = *current;
        shownIndex = static_cast<size_t>(currentFractalIndex);
        shownId = current->id;
    }
    std::vector<std::string> labels{formFieldLabels[FieldName]};
    std::vector<std::string> values{record.name};
    addFormRow(formFieldLabels[FieldMaxIterations], labels, values, record.maxIterations);
    for (const auto& [field, member] : realRows)
        addFormRow(formFieldLabels[field], labels, values, record.*member);

    CTextInput& form = infoForm;
    startFormSetUp(3, "Fractal information");
    form.rowLabels = labels;
    form.maxChars = formValueChars;
    for (std::string& value : values)
        value.resize(std::min<size_t>(value.size(), formValueChars));
    form.rowValues = values;
    shownValues = values;
    form.caret = static_cast<int32_t>(values[0].size());
    form.row = 0;
    form.editText = values[0];
    finishFormSetUp(fractalParametersCallback);
    form.centreInWindow();
    form.open();
}

void startFormSetUp(int32_t mode, const std::string& title)
{
    infoForm.mode = mode;
    infoForm.scale = 0.0f;
    infoForm.title = title;
    infoForm.lines.clear();
    infoForm.rowLabels.clear();
    infoForm.rowValues.clear();
    infoForm.rowChoices.clear();
    infoForm.prompt.clear();
    infoForm.text.clear();
    infoForm.caret = 0;
}

void finishFormSetUp(GlutMenu::FormCallback callback)
{
    infoForm.computeWidth();
    infoForm.caretOn = true;
    infoForm.restartBlink = true;
    infoForm.textLength = 0;
    infoForm.formCallback = std::move(callback);
    infoForm.textFieldCallback = nullptr;
    infoForm.userData = nullptr;
    caretVisible = true;
    setFormButtons(infoForm);
}
