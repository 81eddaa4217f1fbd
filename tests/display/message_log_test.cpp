#include "core/globals.h"
#include "display/message_log_draw.h"
#include "glutmenu/menu_font.h"
#include "glutmenu/metrics.h"
#include "platform/working_directory.h"
#include "tests/support/hidden_window.h"
#include "tests/support/test_font.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

int64_t nowNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Adds lines that arrived `ages` nanoseconds ago, named after their order.
void addAged(CMessageLog& log, const std::vector<int64_t>& ages)
{
    const int64_t now = nowNanoseconds();
    for (int64_t age : ages) {
        log.add(std::to_string(log.messages.size()));
        log.timestamps.back() = now - age;
    }
}

constexpr int64_t second = 1000000000;
// NOTE: ages sit half a second from a whole second, so that a slow run, which only adds age
// before the log reads its clock, cannot move a line across a boundary.
constexpr int64_t halfSecond = second / 2;

} // namespace

TEST(MessageLog, LinesExpireWhenTheirWholeSecondsExceedTheTimeout)
{
    CMessageLog log(0.0f, 0.0f, 1.0f);
    log.expire();
    EXPECT_TRUE(log.messages.empty());

    // Whole seconds: 3, 2, 1, 2, 1, 0. Only whole seconds above 1 go, adjacent lines included;
    // 1.5 s stays, which neither rounding nor the age in real seconds would keep.
    addAged(log, {3 * second + halfSecond, 2 * second + halfSecond, second + halfSecond,
                  2 * second + halfSecond, second + halfSecond, halfSecond});
    log.expire();
    EXPECT_EQ(log.messages, (std::vector<std::string>{"2", "4", "5"}));
    ASSERT_EQ(log.timestamps.size(), 3u);

    // Lines of equal age all go in the same call.
    CMessageLog same(0.0f, 0.0f, 1.0f);
    addAged(same, {5 * second + halfSecond, 5 * second + halfSecond, 5 * second + halfSecond});
    same.expire();
    EXPECT_TRUE(same.messages.empty());
    EXPECT_TRUE(same.timestamps.empty());

    CMessageLog info(0.0f, 0.0f, 30.0f);
    addAged(info, {31 * second + halfSecond, 30 * second + halfSecond, 29 * second + halfSecond});
    info.expire();
    EXPECT_EQ(info.messages, (std::vector<std::string>{"1", "2"}));
}

TEST(MessageLog, LinesBeforeTheLogExistAreDropped)
{
    messageLog.reset();
    addMessage("Compiling Kernels ");
    messageLog = std::make_unique<CMessageLog>(614.0f, 230.0f, 1.0f);
    EXPECT_TRUE(messageLog->messages.empty());
    addMessage("Palette emulation");
    addMessage(" with OpenGL 1.2");
    EXPECT_EQ(messageLog->messages,
              (std::vector<std::string>{"Palette emulation", " with OpenGL 1.2"}));
    EXPECT_EQ(messageLog->timestamps.size(), 2u);
    messageLog.reset();
}

TEST(MessageLog, AddsFromSeveralThreadsKeepTextsAndTimesPaired)
{
    CMessageLog log(0.0f, 0.0f, 1.0f);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 500; ++i)
                log.add(std::to_string(t));
        });
    for (int i = 0; i < 200; ++i)
        log.expire();
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(log.messages.size(), 2000u);
    EXPECT_EQ(log.timestamps.size(), 2000u);
}

TEST(MessageLog, DrawsTheThreeOldestLinesOneStepApart)
{
    installTestFont();
    HiddenWindow gl(400, 300);
    ASSERT_NE(gl.window, nullptr);
    setWorkingDirectoryToExe();
    uiScaleX = 1.0f;
    ASSERT_TRUE(loadMenuFont("CharisSILR.ttf"));
    sizeMenuFont();
    const TrueTypeMetrics font(TESSALY_FONT_FILE);
    const TrueTypeMetrics::Box stem = font.box('I');
    const float perUnit = 24.0f / static_cast<float>(font.unitsPerEm);
    const float advanceI = static_cast<float>(font.advance('I')) * perUnit;
    const float stemWidth = static_cast<float>(stem.xMax - stem.xMin) * perUnit;

    // Line k is k + 1 letters "I", so the width of each band tells which line it holds.
    CMessageLog log(30.0f, 60.0f, 1.0f);
    for (int k = 0; k < 5; ++k)
        log.add(std::string(static_cast<size_t>(k + 1), 'I'));
    const float capHeight = static_cast<float>(stem.yMax) * perUnit;
    const float step = capHeight * 1.1f;

    // The lit box of whatever stands on the baseline of drawn line k.
    auto band = [&](const std::vector<uint8_t>& red, int k) {
        const int baseline = static_cast<int>(60.0f + static_cast<float>(k) * step + 0.5f);
        return litBox(red, gl.width, gl.height, baseline - static_cast<int>(capHeight), baseline);
    };
    auto expectLetters = [&](const LitBox& lit, int letters) {
        ASSERT_FALSE(lit.empty());
        EXPECT_NEAR(lit.left, 30.0f + static_cast<float>(stem.xMin) * perUnit, 1.0f);
        // Edge pixels partly covered by the outline light up too.
        EXPECT_NEAR(lit.right - lit.left + 1,
                    static_cast<float>(letters - 1) * advanceI + stemWidth + 1.0f, 1.5f);
    };

    gl.beginOverlay();
    drawMessageLog(log);
    std::vector<uint8_t> red = gl.readRed();
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        expectLetters(band(red, k), k + 1);
    }
    const LitBox all = litBox(red, gl.width, gl.height);
    EXPECT_NEAR(all.top, 60.0f - capHeight, 1.0f);
    EXPECT_NEAR(all.bottom, 60.0f + 2.0f * step - 1.0f, 1.0f);
    EXPECT_EQ(log.messages.size(), 5u);

    // Once the two oldest lines expire, the fourth and fifth move up.
    {
        const int64_t now = nowNanoseconds();
        log.timestamps = {now - 2 * second - halfSecond, now - 2 * second - halfSecond,
                          now - halfSecond, now - halfSecond, now - halfSecond};
    }
    log.expire();
    gl.beginOverlay();
    drawMessageLog(log);
    red = gl.readRed();
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        expectLetters(band(red, k), k + 3);
    }
}
