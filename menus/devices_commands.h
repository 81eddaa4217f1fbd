// The Devices menu's commands: the CPU pool or an OpenCL device, the precision, the palette
// shaders, OpenGL/OpenCL sharing, synchronous mode and the system information. Main thread only.
#pragma once

#include "glutmenu/glut_menu.h"

#include <string>
#include <vector>

// Carries out the chosen item of the Devices menu, keeps its ticks and enabled states in line
// with the settings and asks for one more frame. A device or sharing change asks the OpenCL
// set-up thread for a new build.
void devicesMenuCallback(int& item, GlutMenu::CGlutMenu* menu, void* userData);

// Opens the "System Information" text over the menus at (100, 100).
void openSystemInformation();

// The lines of the "System Information" text for the current settings.
std::vector<std::string> systemInformationLines();
