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
    WindowPlace place;
    const int status = readCommandLine(argc, argv, stdout, stderr, place);
    if (status >= 0)
        return status;

    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    // 450 x 400 at the top left, or what -geometry gives: glutInit reads it, but these would
    // override it, and freeglut takes a position alone with a size it never read.
    glutInitWindowSize(place.width, place.height);
    glutInitWindowPosition(
        placeAlong(place.x, place.fromRight, glutGet(GLUT_SCREEN_WIDTH), place.width),
        placeAlong(place.y, place.fromBottom, glutGet(GLUT_SCREEN_HEIGHT), place.height));
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
