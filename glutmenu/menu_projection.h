// The 2-D projection that menus, forms and message logs are drawn in: menu units (uiWidth x
// uiHeight) with y downward from the window's top edge, no depth test, alpha blending on.
// Main thread, with the window's OpenGL context current.
#pragma once

// Saves the model-view and projection matrices and sets the projection.
void beginMenuProjection();

// Restores both matrices; depth test on, blending off.
void endMenuProjection();
