// The command line: the program's own two options, the window's place that -geometry gives, and
// refusal of anything GLUT does not take.
#pragma once

#include <cstdio>

// Where the window opens, and its size: 450 x 400 pixels at the top left of the screen, unless
// -geometry gives otherwise.
struct WindowPlace {
    int width = 450, height = 400; // pixels
    int x = 0, y = 0;              // pixels from the screen's left and top edges...
    bool fromRight = false;        // ...or from its right edge to the window's,
    bool fromBottom = false;       // and from its bottom edge
};

// Answers --help (-h) and --version on out, and reports, on err, any argument that is neither
// one of them nor one of GLUT's options (-display and -geometry with their values, -direct,
// -indirect, -iconic, -gldebug, -sync), and a -geometry value that is not one. Returns the
// status to exit with, or -1 where the window is to open, with place set from the last
// -geometry, the command line untouched for GLUT. Reads no display, so it answers without one.
int readCommandLine(int argc, char **argv, std::FILE *out, std::FILE *err, WindowPlace &place);

// Where a window of the given size starts along a screen of the given size, from an offset
// that place gave from the far edge or the near one.
int placeAlong(int offset, bool fromFarEdge, int screenSize, int windowSize);
