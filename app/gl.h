// The one place that decides how GLUT, GL and GLU are included.
#pragma once

#if defined(__APPLE__)
#include <GLUT/glut.h>
#else
#include <GL/glut.h> // freeglut: brings GL/gl.h and GL/glu.h along
#endif
