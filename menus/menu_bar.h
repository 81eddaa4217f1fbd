// The menu tree on menuBar: File (with Fractals, Julia and Barnsley), Palette, Zoom and Devices
// (with CPU Threads), and the refresh of its check marks and enabled states. Main thread only.
#pragma once

#include "glutmenu/glut_menu.h"
#include "menus/menu_labels.h"

struct DeviceInfo;

// Builds the whole tree once at start-up from the settings and the device list, installs the
// three menu callbacks and decides interopActive.
void createMenus();

// Ticks the palette of paletteType and "Auto-switch" after autoSwitchPalette.
void updatePaletteChecks(GlutMenu::CGlutMenu* palette);

// Brings the two precision items of the Devices menu in line with the settings.
void refreshDevicesMenu(GlutMenu::CGlutMenu* devices);

// The CPU Threads menu: chooses cpuThreadCount and moves the tick. The CPU pool keeps its
// worker count, so the choice shows in the ticks only.
void cpuThreadsMenuCallback(int& item, GlutMenu::CGlutMenu* menu, void* userData);

// The File and Devices drop-downs of menuBar, or null before the menus are built.
GlutMenu::CGlutMenu* fileMenu();
GlutMenu::CGlutMenu* devicesMenu();

// Sets the check mark or the enabled state of the item with this label; a menu without the
// label is left alone.
void tickItem(GlutMenu::CGlutMenu& menu, MenuLabel label, bool on);
void enableItem(GlutMenu::CGlutMenu& menu, MenuLabel label, bool on);

// The device at deviceId, or null in CPU-only runs and before a device is chosen.
const DeviceInfo* currentDevice();
