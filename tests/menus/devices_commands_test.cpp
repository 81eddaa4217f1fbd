#include "menus/devices_commands.h"
#include "tests/menus/menu_fixture.h"

namespace {

using Labels = std::vector<std::string>;

// Two devices: A without fp64, B with it; both share textures with OpenGL.
class DevicesCommandTest : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        clState.deviceList = {device("A:OpenCL 1.2", false, true), device("B:OpenCL 3.0", true, true)};
        createMenus();
        pendingFrames = 0;
    }

    int framesFor(const std::string& label)
    {
        const int32_t before = pendingFrames;
        choose(devices(), label);
        return pendingFrames - before;
    }
};

TEST_F(DevicesCommandTest, DeviceChoiceSettlesPrecisionAndSharing)
{
    EXPECT_EQ(framesFor("CPU"), 1) << "CPU in CPU mode changes only ticks";
    EXPECT_EQ(buildRequests(), 0);
    EXPECT_TRUE(cpuMode);
    EXPECT_EQ(tickedLabels(devices()),
              (Labels{"CPU", "Use OpenGL fragment shaders"}));

    useDouble = true;
    EXPECT_EQ(framesFor("A:OpenCL 1.2"), 2) << "the nested precision command asks for a frame too";
    EXPECT_EQ(buildRequests(), 1) << "a first device from CPU mode is built for";
    EXPECT_FALSE(cpuMode);
    EXPECT_EQ(deviceId, 0);
    EXPECT_FALSE(useDouble);
    EXPECT_EQ(clUseDouble, 0);
    EXPECT_FALSE(ticked(devices(), "Double precision"));
    EXPECT_FALSE(usable(devices(), "Double precision"));
    EXPECT_FALSE(usable(devices(), "CPU Threads"));
    EXPECT_FALSE(usable(devices(), "Extended precision (CPU only)"));
    EXPECT_TRUE(interopActive);
    EXPECT_EQ(tickedLabels(devices()),
              (Labels{"A:OpenCL 1.2", "Use OpenGL fragment shaders", "Use OpenGL/OpenCL interop"}));

    EXPECT_EQ(framesFor("Double precision"), 1);
    EXPECT_FALSE(useDouble) << "refused without fp64";
    EXPECT_EQ(framesFor("A:OpenCL 1.2"), 1);
    EXPECT_EQ(buildRequests(), 0) << "the device in use needs no build";

    EXPECT_EQ(framesFor("B:OpenCL 3.0"), 1);
    EXPECT_EQ(buildRequests(), 1);
    EXPECT_EQ(deviceId, 1);
    EXPECT_TRUE(usable(devices(), "Double precision"));
    choose(devices(), "Double precision");
    EXPECT_TRUE(useDouble);
    EXPECT_EQ(clUseDouble, 1);
    EXPECT_TRUE(ticked(devices(), "Double precision"));
    EXPECT_EQ(buildRequests(), 0) << "both precisions are built already";

    choose(devices(), "Use OpenGL/OpenCL interop");
    EXPECT_FALSE(useInterop);
    EXPECT_FALSE(interopActive);
    EXPECT_FALSE(ticked(devices(), "Use OpenGL/OpenCL interop"));
    EXPECT_TRUE(usable(devices(), "Use OpenGL/OpenCL interop"));
    choose(devices(), "Use OpenGL/OpenCL interop");
    EXPECT_TRUE(interopActive);
    EXPECT_EQ(buildRequests(), 2) << "each sharing switch builds once";

    useExtended = true;
    choose(devices(), "CPU");
    EXPECT_TRUE(cpuMode);
    EXPECT_FALSE(interopActive);
    EXPECT_EQ(deviceId, 1) << "kept for a return to the same device";
    EXPECT_EQ(tickedLabels(devices()), (Labels{"CPU", "Extended precision (CPU only)",
                                               "Use OpenGL fragment shaders"}));
    EXPECT_FALSE(usable(devices(), "Use OpenGL/OpenCL interop"));
    EXPECT_TRUE(usable(devices(), "CPU Threads"));
    EXPECT_EQ(tickedLabels(threads()), Labels{"8"});
    EXPECT_EQ(buildRequests(), 0);
    EXPECT_EQ(framesFor("B:OpenCL 3.0"), 1);
    EXPECT_EQ(buildRequests(), 0) << "back to the device the objects were built for";
}

TEST_F(DevicesCommandTest, CpuSettingsAndDisplayModes)
{
    useExtended = true;
    choose(devices(), "Double precision");
    EXPECT_TRUE(useDouble);
    EXPECT_FALSE(useExtended);
    EXPECT_FALSE(ticked(devices(), "Extended precision (CPU only)"));
    choose(devices(), "Extended precision (CPU only)");
    EXPECT_TRUE(useExtended);
    EXPECT_TRUE(ticked(devices(), "Extended precision (CPU only)"));
    EXPECT_FALSE(ticked(devices(), "Double precision"));

    deviceId = 1; // a device was in use before the CPU was chosen
    choose(devices(), "Use OpenGL/OpenCL interop");
    EXPECT_FALSE(useInterop);
    EXPECT_FALSE(interopActive);
    EXPECT_FALSE(ticked(devices(), "Use OpenGL/OpenCL interop"));
    EXPECT_FALSE(usable(devices(), "Use OpenGL/OpenCL interop"));
    EXPECT_EQ(buildRequests(), 1) << "a sharing switch builds in CPU mode too";

    displayState.glslAvailable = false;
    useGL2 = false;
    choose(devices(), "Use OpenGL fragment shaders");
    EXPECT_FALSE(useGL2) << "no shaders without the extensions";
    EXPECT_FALSE(ticked(devices(), "Use OpenGL fragment shaders"));
    EXPECT_EQ(buildRequests(), 1);

    EXPECT_EQ(framesFor("Synchronous Mode (faster/menus less responsive)"), 1);
    EXPECT_TRUE(syncMode);
    EXPECT_TRUE(ticked(devices(), "Synchronous Mode (faster/menus less responsive)"));
    EXPECT_EQ(buildRequests(), 0);

    choose(devices(), "System information");
    ASSERT_EQ(activeTextInput, &infoForm);
    EXPECT_EQ(infoForm.mode, 2);
    EXPECT_EQ(infoForm.title, "System Information");
    EXPECT_EQ(infoForm.lines, systemInformationLines());
    EXPECT_EQ(infoForm.x, 100.0f) << "not centred";
    EXPECT_EQ(infoForm.y, 100.0f);
    EXPECT_EQ(infoForm.buttons, (Labels{"OK", "Cancel"}));
    EXPECT_EQ(buildRequests(), 0);
    infoForm.KeyboardCallback(257, 0, "");
    EXPECT_EQ(activeTextInput, nullptr);
}

TEST_F(DevicesCommandTest, SystemInformationLines)
{
    useExtended = true;
    EXPECT_EQ(systemInformationLines(),
              (Labels{"CPU", "Compute Precision :Extended precision (CPU only)",
                      "Output mode         : 10-bits per channel",
                      "Internal bit depth  : 16-bits per channel",
                      "Renderer               : OpenGL 2.0",
                      "OpenGL/OpenCL Interop: Not Available", "", "CLTessaly V2.0", "", "",
                      "Press [RETURN]/[ENTER] to continue"}));

    cpuMode = false;
    deviceId = 1;
    useDouble = true;
    tenBitColour = false;
    interopActive = true;
    const Labels device = systemInformationLines();
    EXPECT_EQ(device[0], "B:OpenCL 3.0");
    EXPECT_EQ(device[1], "Compute Precision :Double precision");
    EXPECT_EQ(device[2], "Output mode         : 8-bits per channel");
    EXPECT_EQ(device[4], "Renderer               : OpenGL 3.0");
    EXPECT_EQ(device[5], "OpenGL/OpenCL Interop: Enabled");
    useInterop = false;
    EXPECT_EQ(systemInformationLines()[5], "OpenGL/OpenCL Interop: Available (Not Enabled)");
    useGL2 = false;
    EXPECT_EQ(systemInformationLines()[4], "Renderer               : OpenGL 1.2 (palette emulation)");
    EXPECT_EQ(systemInformationLines()[5], "OpenGL/OpenCL Interop: Not Available");
}

} // namespace
