// wanderlink: a lit sphere wanders inside a wire cube and spells a web address from its
// coordinates. Left button: send the sphere on (each press speeds it up). Right button: next
// domain. Drag with any button: turn the scene. Escape: quit.
#include "app/gl.h"
#include "app/options.h"
#include "app/scene.h"
#include "input/input.h"
#include "platform/pacing.h"
#include "platform/platform.h"
#include "render/render.h"

#include <cstdio>

int main(int argc, char **argv)
{
    // --help, --version and mistakes are answered before GLUT looks for a display.
    const int status = readCommandLine(argc, argv, stdout, stderr);
    if (status >= 0)
        return status;

    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(450, 400);
    glutInitWindowPosition(0, 0);
    glutCreateWindow("wanderlink - by the wanderlink authors, December 2026 - wanderlink.example");
    identifyWindow(); // its class, process and icon, before the first frame
    syncToDisplay();
    init();

    glutDisplayFunc(display);
    glutMouseFunc(mouse);
    glutReshapeFunc(reshape);
    glutMotionFunc(motion);
    glutKeyboardFunc(keyboard);

    std::printf("<escape> to exit\n");
    std::fflush(stdout); // not lost in a pipe's buffer when the program is ended later
    glutMainLoop();
    return 0;
}
