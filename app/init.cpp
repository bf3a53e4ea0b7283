// GL state set once after the window exists.
#include "app/gl.h"
#include "app/scene.h"
#include "wander/wander.h"

#include <ctime>

void init()
{
    static const GLfloat shininess[] = {128.0f};
    static const GLfloat specular[] = {0.0f, 0.5f, 1.0f, 1.0f};

    glShadeModel(GL_SMOOTH);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glColorMaterial(GL_FRONT, GL_AMBIENT); // the current colour drives the ambient reflectance
    glEnable(GL_COLOR_MATERIAL);
    glMaterialfv(GL_FRONT, GL_SHININESS, shininess);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    seedRandom(static_cast<unsigned>(std::time(nullptr)));
    glClearColor(0.0f, 0.0f, 0.1f, 0.0f); // very dark blue
}
