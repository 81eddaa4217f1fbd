// The set-up thread on the PoCL device: when it builds, how requests during a build and
// shutdown meet it, and requests that cannot be built.
#include "core/message_log.h"
#include "tests/opencl/device_session.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>

namespace {

class SetupThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const bool found = findDevices();
        testing::internal::CaptureStdout();
        ASSERT_TRUE(found) << "needs an OpenCL device (PoCL)";
        deviceId = 0;
        useDouble = interopActive = cpuMode = clReady = clRebuildRequested = false;
        messageLog = std::make_unique<CMessageLog>(0.0f, 0.0f, 60.0f);
        builds = clState.buildsStarted;
        buildLines = "OpenCL double precison on " + clState.deviceList[0].name + "\nNot using interop\n";
    }

    void TearDown() override
    {
        setup.stop();
        testing::internal::GetCapturedStdout();
        messageLog.reset();
        clState.deviceList.clear();
        deviceId = -1;
        useDouble = interopActive = false;
    }

    uint32_t buildsSinceSetUp() const { return clState.buildsStarted - builds; }

    static std::string output()
    {
        std::string text = testing::internal::GetCapturedStdout();
        testing::internal::CaptureStdout();
        return text;
    }

    std::vector<std::string> messages()
    {
        std::lock_guard lock(messageLog->mutex);
        return messageLog->messages;
    }

    SetupThread setup;
    uint32_t builds = 0;
    std::string buildLines;
};

TEST_F(SetupThreadTest, BuildsOnceForWaitingRequestsAndAgainForOneDuringABuild)
{
    requestKernelRebuild();
    requestKernelRebuild();
    EXPECT_FALSE(clReady);
    EXPECT_EQ(messages(), (std::vector<std::string>{"Compiling Kernels ", "Compiling Kernels "}));
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
        EXPECT_EQ(output(), quit ? buildLines : buildLines + buildLines);
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
    EXPECT_TRUE(messages().empty());

    // An id that stops indexing the list after the request: nothing is built, nobody waits.
    deviceId = 0;
    requestKernelRebuild();
    deviceId = 3;
    setup.start();
    ASSERT_TRUE(waitUntil([] { return !clRebuildRequested; }));
    setup.stop();
    EXPECT_EQ(output(), "");
    EXPECT_FALSE(clReady);
    EXPECT_EQ(buildsSinceSetUp(), 0u);
}

TEST_F(SetupThreadTest, SharingAskedOfADeviceWithoutItComputesThroughTheBuffer)
{
    const int32_t width = imageWidth, height = imageHeight;
    imageWidth = imageHeight = 256;
    interopActive = true;
    requestKernelRebuild();
    EXPECT_EQ(messages(), std::vector<std::string>{"Compiling Kernels  (with interop)"});
    setup.start();
    ASSERT_TRUE(waitUntil([] { return clReady.load(); }));
    useInterop = useGL2 = true;
    EXPECT_FALSE(interopAvailable()) << "PoCL does not share with OpenGL";

    // The shared-texture path's call has no host image to fill: nothing is made or computed.
    FractalRecord record{};
    record.minX = record.minY = -2;
    record.maxX = record.maxY = 2;
    record.maxSizeSquared = 4, record.maxIterations = 64;
    uint16_t* noHostImage = nullptr;
    computeCL(0, &noHostImage, {0u, 0u}, 0, record, 1);
    EXPECT_FALSE(clState.clBuffersCreated);

    std::vector<uint16_t> image(256 * 256, 0);
    uint16_t* host = image.data();
    computeCL(0, &host, {0u, 0u}, 0, record, 0);
    setup.stop();
    EXPECT_EQ(output(), buildLines) << "no argument failed";
    EXPECT_EQ(image[128 + 128 * 256], 0) << "the origin never escapes";
    EXPECT_EQ(image[0], 0) << "(-2, -2) escapes at once";
    EXPECT_EQ(image[192 + 128 * 256], 2) << "(1, 0) escapes at the third step";
    imageWidth = width;
    imageHeight = height;
}

} // namespace
