// Mouse buttons, drags, window size and the Escape key.
#include "input/input.h"

#include "app/gl.h"
#include "app/scene.h"
#include "wander/wander.h"

#include <cstdlib>
#include <cstring>

// Writes the domain domainCycle names into the address (offsets 15-17), then advances it.
// It starts at 2 while the address reads "com", so the first press writes "com" again.
static void nextDomain()
{
    static const char domains[3][4] = {"org", "net", "com"};
    const int cycle = scene.domainCycle;
    if (cycle < 0 || cycle > 2)
        return;
    std::memcpy(scene.addressText + 15, domains[cycle], 3);
    scene.domainCycle = (cycle + 1) % 3;
}

void mouse(int button, int state, int x, int y)
{
    (void)x;
    (void)y;
    if (state != GLUT_DOWN)
        return;
    if (button == GLUT_LEFT_BUTTON) {
        startMove();
        glutPostRedisplay();
    } else if (button == GLUT_RIGHT_BUTTON) {
        nextDomain(); // the next frame, which always comes, shows it
    }
}

void motion(int x, int y)
{
    (void)y;
    scene.spinAngle = static_cast<float>(x);
}

void reshape(int width, int height)
{
    glViewport(0, 0, width, height);
    glutPostRedisplay();
}

void keyboard(unsigned char key, int x, int y)
{
    (void)x;
    (void)y;
    if (key == 27) // Escape
        std::exit(EXIT_SUCCESS);
}
