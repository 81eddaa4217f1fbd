#include "app/startup.h"
#include "core/globals.h"
#include "core/message_log.h"
#include "display/gl_display.h"
#include "display/render_scene.h"
#include "glutmenu/metrics.h"
#include "opencl/cl_globals.h"
#include "opencl/opencl_backend.h"
#include "tests/app/test_support.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

namespace {

class StartupTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        maxCpuThreads = 6;
        cpuThreadCount = 6;
    }
    void TearDown() override
    {
        clState.deviceList.clear();
        displayState.glslAvailable = false;
        ShellTest::TearDown();
    }

    static DeviceInfo device(const std::string& name, bool fp64)
    {
        DeviceInfo info;
        info.name = name;
        info.supportsDouble = fp64;
        return info;
    }

    // Runs the decision; returns its exit code, or -1 when the program goes on.
    int decide(bool precisionForced)
    {
        return settleDeviceAndPrecision(precisionForced).value_or(-1);
    }
};

TEST_F(StartupTest, ImageSizeIsRoundedToEightAndMustFitTheTileGrid)
{
    imageWidth = 2047;
    imageHeight = 1001;
    roundImageSize();
    EXPECT_EQ(imageWidth, 2048);
    EXPECT_EQ(imageHeight, 1008);
    EXPECT_FALSE(checkImageSize());
    EXPECT_EQ(takeOutput(), "The image size 2048 x 1008 is not a positive multiple of 256 in both directions\n");

    imageHeight = 0;
    EXPECT_FALSE(checkImageSize());
    imageWidth = imageHeight = 2048;
    roundImageSize();
    EXPECT_EQ(imageWidth, 2048);
    EXPECT_TRUE(checkImageSize());
    imageWidth = 512;
    EXPECT_TRUE(checkImageSize());
    takeOutput();
}

TEST_F(StartupTest, WithoutDevicesTheCpuRunsWithEveryHardwareThread)
{
    cpuMode = true;
    cpuThreadCount = 2; // "--cpu2"
    EXPECT_EQ(decide(false), -1);
    EXPECT_TRUE(cpuMode);
    EXPECT_EQ(cpuThreadCount, 6);
    printConfiguration();
    EXPECT_EQ(takeOutput(), "No OpenCL devices are available. Reverting to CPU rendering\n"
                            "Running on CPU with 6 threads in Single precision\n");

    // The precision word follows useDouble alone.
    useExtended = true;
    printConfiguration();
    useDouble = true;
    printConfiguration();
    EXPECT_EQ(takeOutput(), "Running on CPU with 6 threads in Single precision\n"
                            "Running on CPU with 6 threads in Double precision\n");
}

TEST_F(StartupTest, DeviceAndPrecisionFollowTheDecisionTable)
{
    clState.deviceList = {device("Plain GPU:OpenCL 1.2", false), device("Wide GPU:OpenCL 2.0", true)};

    // "--cpu" with devices: nothing said, deviceId left alone.
    cpuMode = true;
    EXPECT_EQ(decide(false), -1);
    EXPECT_EQ(deviceId, -1);
    EXPECT_EQ(takeOutput(), "");

    // Automatic choice: the first device, or with "--double" the first one with fp64.
    cpuMode = false;
    EXPECT_EQ(decide(false), -1);
    EXPECT_EQ(deviceId, 0);
    EXPECT_EQ(takeOutput(), "Double Precision is not Available\n");
    deviceId = -1;
    useDouble = true;
    EXPECT_EQ(decide(true), -1);
    EXPECT_EQ(deviceId, 1);
    EXPECT_TRUE(useDouble);
    EXPECT_EQ(takeOutput(), "") << "forced double on an fp64 device is silent";
    printConfiguration();
    EXPECT_EQ(takeOutput(), "Running on device: Wide GPU:OpenCL 2.0 in Double precision\n");

    // An fp64 device without a precision option computes in single precision.
    EXPECT_EQ(decide(false), -1);
    EXPECT_FALSE(useDouble);
    EXPECT_EQ(takeOutput(), "Double Precision Available\n");
    EXPECT_EQ(decide(true), -1);
    EXPECT_EQ(takeOutput(), "Forcing single precision, double is available\n");

    // Forced double on a device without it ends the program.
    deviceId = 0;
    useDouble = true;
    EXPECT_EQ(decide(true), 1);
    EXPECT_EQ(takeOutput(), "Double precision has been forced, but the the GPU does not support it\n");
    useDouble = true;
    EXPECT_EQ(decide(false), -1);
    EXPECT_FALSE(useDouble);
    EXPECT_EQ(takeOutput(), "Double Precision is not Available\n");

    // A device id past the list, compared as unsigned, ends the program with the listing.
    for (int32_t id : {2, -7}) {
        deviceId = id;
        EXPECT_EQ(decide(false), 1);
        EXPECT_EQ(takeOutput(), "Available devices are: OpenCL Device " + std::to_string(id) +
                                    " does not exist. Run with --list parameter to see list of "
                                    "available devices\n");
        clState.deviceList = {device("Plain GPU:OpenCL 1.2", false), device("Wide GPU:OpenCL 2.0", true)};
    }
}

TEST_F(StartupTest, NoHiddenWindowMeansTheCpu)
{
    GLFWwindow* hidden = testWindow();
    ASSERT_NE(hidden, nullptr) << "needs an X display (xvfb-run)";
    adoptHiddenWindow(hidden);
    EXPECT_EQ(clWindow, hidden);
    EXPECT_FALSE(cpuMode);
    EXPECT_EQ(takeOutput(), "");

    cpuThreadCount = 2;
    adoptHiddenWindow(nullptr);
    EXPECT_EQ(clWindow, nullptr);
    EXPECT_TRUE(cpuMode);
    EXPECT_EQ(cpuThreadCount, 6);
    EXPECT_EQ(takeOutput(), "Could not create the hidden OpenCL window. Reverting to CPU rendering\n");

    cpuThreadCount = 2; // "--cpu2" stays when the CPU was chosen anyway
    adoptHiddenWindow(nullptr);
    EXPECT_EQ(cpuThreadCount, 2);
    takeOutput();
}

TEST_F(StartupTest, ShadersOnlyWithEveryEntryPoint)
{
    GLFWwindow* context = testWindow();
    ASSERT_NE(context, nullptr) << "needs an X display (xvfb-run)";
    ASSERT_TRUE(shaderExtensionsSupported()) << "Mesa lists the shader extensions";
    adoptShaderSupport(true);
    EXPECT_TRUE(displayState.glslAvailable);
    EXPECT_NE(glsl::glUseProgramObjectARB, nullptr);
    EXPECT_EQ(takeOutput(), "");

    adoptShaderSupport(false);
    EXPECT_FALSE(displayState.glslAvailable);
    EXPECT_EQ(takeOutput(), "OpenGL Shading Language extensions not available\n");

    // Without a current context the driver gives no entry point: palette emulation, never a
    // call through a null pointer.
    glfwMakeContextCurrent(nullptr);
    adoptShaderSupport(true);
    glfwMakeContextCurrent(context);
    EXPECT_FALSE(displayState.glslAvailable);
    const std::string out = takeOutput();
    EXPECT_NE(out.find("OpenGL entry point glCreateProgramObjectARB not found\n"), std::string::npos);
    EXPECT_TRUE(out.ends_with("Falling back to the palette emulation\n")) << out;
}

TEST_F(StartupTest, MessageLogsAndTheShaderReport)
{
    windowStartWidth = 1728;
    windowStartHeight = 972;
    createMessageLogs();
    ASSERT_TRUE(messageLog && infoLog);
    EXPECT_EQ(messageLog->x, 0.6f * 1728.0f);
    EXPECT_EQ(messageLog->y, 0.3f * 972.0f);
    EXPECT_EQ(messageLog->timeoutSeconds, 1.0);
    EXPECT_EQ(infoLog->x, 0.3f * 1728.0f);
    EXPECT_EQ(infoLog->y, 0.75f * 972.0f);
    EXPECT_EQ(infoLog->timeoutSeconds, 30.0);

    useGL2 = true;
    reportShaderMode();
    EXPECT_EQ(takeOutput(), "OpenGL 2.0 is Available\n");
    EXPECT_TRUE(messageLog->messages.empty());

    useGL2 = false;
    reportShaderMode();
    EXPECT_EQ(takeOutput(), "OpenGL 2.0 is Not available\n");
    EXPECT_EQ(messageLog->messages, (std::vector<std::string>{"Palette emulation", " with OpenGL 1.2"}));
    EXPECT_TRUE(infoLog->messages.empty());
}

} // namespace
