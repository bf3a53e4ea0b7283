// The frame: camera, lights, cube, sphere, letters, address and the browser launches.
#pragma once

// Display callback: draws one frame, swaps, and asks for the next, at the display's next
// refresh. Draws nothing for a redisplay request before then.
void display();

// Places the two lights; turns light 0 by one more degree each call.
void setupLights();

// Draws the sphere's letters beside it and the address along the cube's bottom front edge,
// and starts the browser every 801 frames. Leaves the current colour at (4, 4, 4).
void drawLabels(double x, double y, double z);

// The character code naming coordinate c: 'a' at -13, 'q' at 3, '{' at exactly 13.
int letterCode(double c);

// Starts the user's browser on address without waiting; failures are silent.
void launchBrowser(const char *address);
