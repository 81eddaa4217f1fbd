// Short-lived text lines drawn over the image. Each line stays until its age in whole seconds
// exceeds the log's timeout. The display draws at most the three oldest lines at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CMessageLog {
public:
    CMessageLog(float x, float y, float timeoutSeconds);

    // Appends a line stamped with the current time. Any thread.
    void add(const std::string& text);

    // Removes every line whose age in whole seconds is greater than the timeout. Main thread.
    void expire();

    double timeoutSeconds;
    float x; // in the overlay's units: pixels from the top-left corner, y downward
    float y;
    std::vector<std::string> messages;  // oldest first; guarded by mutex
    std::recursive_mutex mutex;
    std::vector<int64_t> timestamps;    // steady clock, nanoseconds; guarded by mutex
};

// Status lines, timeout 1 s, and the benchmark's result, timeout 30 s. Both are set once by
// start-up before other threads start and stay until the process ends.
extern std::unique_ptr<CMessageLog> messageLog;
extern std::unique_ptr<CMessageLog> infoLog;

// Adds a line to messageLog; a line added before messageLog exists is dropped. Any thread.
void addMessage(const std::string& text);
