#include "display/render_scene.h"

#include "core/globals.h"
#include "display/frame_step.h"
#include "display/gl_display.h"
#include "display/message_log_draw.h"
#include "display/palette.h"
#include "glutmenu/glut_menu.h"
#include "glutmenu/menu_projection.h"
#include "opencl/cl_globals.h"
#include "opencl/opencl_backend.h"
#include "platform/console.h"

#include <cstring>

GLFWwindow* window = nullptr;
RubberBand rubberBand;
GLFWscrollfun sceneScrollCallback = nullptr;
std::unique_ptr<uint16_t[]> emulationBuffer;
FramePacer swapPacer;

namespace {

bool paletteSetUp = false;
int32_t lastPaletteType = 0;
// NOTE: the palette texture is uploaded only when the palette changes; shaders switched on
// later must still find the current palette in it.
bool paletteTextureStale = true;

size_t imagePixels()
{
    return static_cast<size_t>(imageWidth) * static_cast<size_t>(imageHeight);
}

void copyToDisplayPalette()
{
    std::memcpy(displayPalette.get(), currentPalette, paletteSize * sizeof(PaletteEntry));
}

// Builds the palette on the first frame and whenever paletteType changes; true when it changed.
bool updatePalette()
{
    if (!paletteSetUp) {
        printLine("Palette already initialised, paletteType is " + std::to_string(paletteType));
        paletteSetUp = true;
        initialisePalette(paletteType);
        lastPaletteType = paletteType;
        copyToDisplayPalette();
        if (!cpuMode)
            requestKernelRebuild();
        return true;
    }
    if (paletteType != lastPaletteType) {
        initialisePalette(paletteType);
        lastPaletteType = paletteType;
        printLine("Palette has changed");
        copyToDisplayPalette();
        return true;
    }
    return false;
}

void uploadPaletteTexture()
{
    glsl::glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_1D, displayState.textures[displayState.paletteTextureIndex]);
    glTexImage1D(GL_TEXTURE_1D, 0, 3, paletteSize, 0, GL_RGB, GL_UNSIGNED_SHORT, displayPalette.get());
    glsl::glActiveTexture(GL_TEXTURE0);
    paletteTextureStale = false;
}

// Takes the newest computed image, if any, into displayBuffer.
void takeReadyBuffer()
{
    PixelBuffer buffer;
    popReadyBuffer(buffer);
    if (!buffer)
        return;
    std::memcpy(displayBuffer, buffer.get(), imagePixels() * sizeof(uint16_t));
    returnFreeBuffer(std::move(buffer));
}

void drawBufferPath()
{
    if (syncMode)
        frameStep(false);
    takeReadyBuffer();
    if (!displayState.glslAvailable)
        return;
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_1D);
    if (displayBuffer) {
        glsl::glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, displayState.textures[displayState.imageTextureIndex]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R16, static_cast<GLsizei>(displayState.width),
                     static_cast<GLsizei>(displayState.height), 0, GL_RED, GL_UNSIGNED_SHORT,
                     displayBuffer);
        glCallList(displayState.shaderList);
        glsl::glUseProgramObjectARB(0);
        glsl::glActiveTexture(GL_TEXTURE1);
        glDisable(GL_TEXTURE_1D);
    }
}

void drawEmulationPath()
{
    if (syncMode)
        frameStep(false);
    takeReadyBuffer();
    const size_t pixels = static_cast<size_t>(displayState.width) * displayState.height;
    if (!emulationBuffer)
        emulationBuffer = std::make_unique<uint16_t[]>(pixels * 4);
    if (displayBuffer) {
        uint16_t* out = emulationBuffer.get();
        for (size_t i = 0; i < pixels; ++i, out += 4) {
            const PaletteEntry& e = displayPalette[displayBuffer[i] & (paletteSize - 1)];
            out[0] = e.red;
            out[1] = e.green;
            out[2] = e.blue;
            out[3] = 65535;
        }
    }
    if (displayState.glslAvailable)
        glsl::glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, displayState.textures[displayState.imageTextureIndex]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(displayState.width),
                 static_cast<GLsizei>(displayState.height), 0, GL_RGBA, GL_UNSIGNED_SHORT,
                 emulationBuffer.get());
    glCallList(displayState.fixedFunctionList);
    glDisable(GL_TEXTURE_2D);
}

void drawInteropPath()
{
    if (syncMode)
        frameStep(true);
    int32_t texture;
    {
        std::lock_guard lock(interopMutex);
        interopFrameCount = static_cast<int32_t>(static_cast<uint32_t>(interopFrameCount)
                                                 % static_cast<uint32_t>(interopTextureCount));
        texture = interopFrameCount;
    }
    if (!displayState.glslAvailable)
        return;
    const GLhandleARB program = displayState.integerProgram;
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_1D);
    glsl::glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, displayState.interopTextures[static_cast<size_t>(texture)]);
    glsl::glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_1D, displayState.textures[displayState.paletteTextureIndex]);
    glsl::glUseProgramObjectARB(program);
    const auto texcIn = static_cast<GLuint>(glsl::glGetAttribLocationARB(program, "texc_in"));
    setPaletteUniforms(program);
    drawImageQuad(displayState,
                  [texcIn](float s, float t) { glsl::glVertexAttrib2fARB(texcIn, s, t); });
    glsl::glUseProgramObjectARB(0);
    glsl::glActiveTexture(GL_TEXTURE1);
    glDisable(GL_TEXTURE_1D);
}

void drawRubberBand()
{
    glDisable(GL_DEPTH_TEST);
    int fw = 0, fh = 0;
    glfwGetFramebufferSize(window, &fw, &fh);
    const float sx = static_cast<float>(static_cast<uint32_t>(imageWidth)) / static_cast<float>(fw);
    const float sy = static_cast<float>(static_cast<uint32_t>(imageHeight)) / static_cast<float>(fh);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glDisable(GL_TEXTURE_2D);
    glLineWidth(2.0f);
    glColor3f(0.7f, 0.7f, 0.0f);
    const RubberBand& band = rubberBand;
    glBegin(GL_LINE_LOOP);
    glVertex3f(band.startX * sx, band.startY * sy, 0);
    glVertex3f(band.startX * sx, band.currentY * sy, 0);
    glVertex3f(band.currentX * sx, band.currentY * sy, 0);
    glVertex3f(band.currentX * sx, band.startY * sy, 0);
    glEnd();
    glEnable(GL_DEPTH_TEST);
    glColor4fv(colour);
}

void drawMessageLogs()
{
    beginMenuProjection();
    messageLog->expire();
    drawMessageLog(*messageLog);
    if (infoLog) {
        infoLog->expire();
        drawMessageLog(*infoLog);
    }
    endMenuProjection();
}

} // namespace

void renderScene()
{
    const double w = static_cast<double>(displayState.width);
    const double h = static_cast<double>(displayState.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glOrtho(0, w - 1, h - 1, 0, 1, -1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    const bool paletteChanged = updatePalette();
    computeRequest.notify_one();

    if (displayState.displayReady) {
        if (paletteChanged) {
            printLine("renderScene() - palette update");
            copyToDisplayPalette();
            paletteTextureStale = true;
        }
        if (paletteTextureStale && displayState.glslAvailable && useGL2)
            uploadPaletteTexture();

        if (!useGL2)
            drawEmulationPath();
        else if (interopActive)
            drawInteropPath();
        else
            drawBufferPath();
    }

    if (rubberBand.moved)
        drawRubberBand();
    menuBar.draw();
    if (messageLog)
        drawMessageLogs();

    glfwSwapBuffers(window);
    glfwSetScrollCallback(window, sceneScrollCallback);
    swapPacer.pace();
}
