// The command line: the program's own two options, and refusal of anything GLUT does not take.
#pragma once

#include <cstdio>

// Answers --help (-h) and --version on out, and reports, on err, any argument that is neither
// one of them nor one of GLUT's options (-display and -geometry with their values, -direct,
// -indirect, -iconic, -gldebug, -sync). Returns the status to exit with, or -1 where the
// window is to open, the command line untouched for GLUT. Reads no display, so it answers
// without one.
int readCommandLine(int argc, char **argv, std::FILE *out, std::FILE *err);
