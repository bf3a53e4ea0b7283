// The floor for frame-rate comparisons: wanderlink's window and display mode, and frames that
// only clear and swap.
#include "app/gl.h"
#include "platform/pacing.h"

static void display()
{
    if (!frameDue())
        return;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
    askForNextFrame();
}

int main(int argc, char **argv)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(450, 400);
    glutInitWindowPosition(0, 0);
    glutCreateWindow("wanderlink floor");
    syncToDisplay(); // paced like wanderlink
    glClearColor(0.0f, 0.0f, 0.1f, 0.0f);
    glutDisplayFunc(display);
    glutMainLoop();
    return 0;
}
