#include "core/message_log.h"

#include <chrono>

std::unique_ptr<CMessageLog> messageLog;
std::unique_ptr<CMessageLog> infoLog;

namespace {

int64_t steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CMessageLog::CMessageLog(float x, float y, float timeoutSeconds)
    : timeoutSeconds(timeoutSeconds), x(x), y(y)
{
}

void CMessageLog::add(const std::string& text)
{
    std::lock_guard lock(mutex);
    messages.push_back(text);
    timestamps.push_back(steadyNanoseconds());
}

void CMessageLog::expire()
{
    std::lock_guard lock(mutex);
    size_t i = 0;
    while (i < messages.size()) {
        const int64_t wholeSeconds = (steadyNanoseconds() - timestamps[i]) / 1000000000;
        const double age = static_cast<float>(wholeSeconds);
        if (age > timeoutSeconds) {
            messages.erase(messages.begin() + static_cast<std::ptrdiff_t>(i));
            timestamps.erase(timestamps.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

void addMessage(const std::string& text)
{
    if (messageLog)
        messageLog->add(text);
}
