// The callbacks through which the user acts on the scene.
#pragma once

// Left press: send the sphere on (one more timer chain). Right press: next address domain.
void mouse(int button, int state, int x, int y);

// Dragging turns the scene about the vertical axis by the pointer's x, in degrees.
void motion(int x, int y);

// Keeps the viewport equal to the window; the projection is left alone.
void reshape(int width, int height);

// Escape ends the program, as the console hint promises.
void keyboard(unsigned char key, int x, int y);
