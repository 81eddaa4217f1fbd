// The commands of the menu bar and of the File, Fractals, Julia, Barnsley and Palette menus.
// Main thread only.
#pragma once

#include "glutmenu/glut_menu.h"

// Carries out the chosen item, recognised by its label, then refreshes the Palette ticks and
// asks for one more frame when something visible changed.
void menuCallback(int& item, GlutMenu::CGlutMenu* menu, void* userData);
