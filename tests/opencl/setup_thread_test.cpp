// The set-up thread on the PoCL device: when it builds, how requests during a build and
// shutdown meet it, and requests that cannot be built. Its message log is read while no thread runs.
#include "core/fractal_list.h"
#include "tests/opencl/device_session.h"
#include "tests/support/global_state.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace {

class SetupThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetGlobalState();
        interopActive = false;
        const bool found = findDevices();
        testing::internal::CaptureStdout();
        ASSERT_TRUE(found) << "needs an OpenCL device (PoCL)";
        deviceId = 0;
        messageLog = std::make_unique<CMessageLog>(0.0f, 0.0f, 60.0f);
        builds = clState.buildsStarted;
        buildLines = "OpenCL double precison on " + clState.deviceList[0].name + "\nNot using interop\n";
    }

    void TearDown() override
    {
        setup.stop();
        testing::internal::GetCapturedStdout();
        clState.deviceList.clear();
    }

    uint32_t buildsSinceSetUp() const { return clState.buildsStarted - builds; }

    static std::string output()
    {
        std::string text = testing::internal::GetCapturedStdout();
        testing::internal::CaptureStdout();
        return text;
    }

    SetupThread setup;
    uint32_t builds = 0;
    std::string buildLines;
};

TEST_F(SetupThreadTest, BuildsOnceForWaitingRequestsAndAgainForOneDuringABuild)
{
    requestKernelRebuild();
    requestKernelRebuild();
    EXPECT_EQ(messageLog->messages, (std::vector<std::string>{"Compiling Kernels ", "Compiling Kernels "}));
    setup.start();
    ASSERT_TRUE(waitUntil([] { return clReady.load(); }));
    setup.stop(); // the second count wakes it once more and finds nothing to build
    EXPECT_EQ(buildsSinceSetUp(), 1u);
    EXPECT_EQ(clUseDouble, 0);
    EXPECT_EQ(output(), buildLines);

    // Holding the objects keeps a build from finishing: a request meanwhile is built after it
    // with its own precision, while a shutdown meanwhile ends the thread after it.
    for (bool quit : {false, true}) {
        builds = clState.buildsStarted;
        setup.start();
        {
            std::unique_lock objects(clState.objectsMutex);
            requestKernelRebuild();
            ASSERT_TRUE(waitUntil([&] { return buildsSinceSetUp() == 1; }));
            useDouble = !quit;
            requestKernelRebuild();
            quitFlag = quit;
            clSetupSemaphore.release(quit ? 1 : 0);
        }
        if (!quit) {
            ASSERT_TRUE(waitUntil([] { return clReady.load(); }));
            EXPECT_EQ(clUseDouble, 1) << "the second request's precision";
        }
        setup.stop();
        EXPECT_EQ(buildsSinceSetUp(), quit ? 1u : 2u) << (quit ? "no build once the program quits" : "");
    }
}

TEST_F(SetupThreadTest, NoBuildForADeviceIdOutsideTheList)
{
    for (int32_t id : {-1, 1}) {
        deviceId = id;
        requestKernelRebuild();
        EXPECT_FALSE(clRebuildRequested) << id;
        EXPECT_FALSE(clSetupSemaphore.tryAcquire()) << id;
    }
    EXPECT_TRUE(messageLog->messages.empty());

    // An id that stops indexing the list after the request: nothing is built, nobody waits.
    deviceId = 0;
    requestKernelRebuild();
    deviceId = 3;
    setup.start();
    ASSERT_TRUE(waitUntil([] { return !clRebuildRequested; }));
    setup.stop();
    EXPECT_FALSE(clReady);
    EXPECT_EQ(buildsSinceSetUp(), 0u);
}

TEST_F(SetupThreadTest, SharingAskedOfADeviceWithoutItComputesThroughTheBuffer)
{
    imageWidth = imageHeight = 256;
    interopActive = true;
    requestKernelRebuild();
    EXPECT_EQ(messageLog->messages, std::vector<std::string>{"Compiling Kernels  (with interop)"});
    setup.start();
    ASSERT_TRUE(waitUntil([] { return clReady.load(); }));

    // The shared-texture path's call has no host image to fill: nothing is made or computed.
    const FractalRecord record = defaultFractalRecord(Mandelbrot, 0);
    uint16_t* host = nullptr;
    computeCL(Mandelbrot, &host, {0u, 0u}, 0, record, 1);
    EXPECT_FALSE(clState.clBuffersCreated);

    std::vector<uint16_t> image(256 * 256, 0);
    host = image.data();
    computeCL(Mandelbrot, &host, {0u, 0u}, 0, record, 0);
    setup.stop();
    EXPECT_EQ(output(), buildLines) << "no argument failed";
    EXPECT_GT(std::set<uint16_t>(image.begin(), image.end()).size(), 5u) << "the buffer kernel drew";
}

} // namespace
