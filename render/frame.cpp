// One whole frame, drawn continuously: each frame asks for the next, at the display's next
// refresh.
#include "render/render.h"

#include "app/gl.h"
#include "app/scene.h"
#include "platform/pacing.h"
#include "wander/wander.h"

#include <cmath>

void setupLights()
{
    static const GLfloat spotDirection[] = {1.0f, -1.0f, -1.0f};
    static const GLfloat diffuse0[] = {0.5f, 0.0f, 1.0f, 1.0f};
    static const GLfloat position0[] = {-1.0f, 1.0f, 1.0f, 0.0f}; // directional
    static const GLfloat diffuse1[] = {1.0f, 1.0f, 1.0f, 0.0f};
    static const GLfloat position1[] = {2.0f, 1.0f, 1.0f, 0.0f}; // directional

    glPushMatrix();
    glRotatef(-scene.lightAngle, 1.0f, 0.0f, 0.0f);
    // Wrapped so the angle never reaches 2^24, where a float stops counting and the light
    // would freeze; a turn by a multiple of 360 degrees is the same turn.
    scene.lightAngle = std::fmod(scene.lightAngle + 1.0f, 360.0f);
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, spotDirection);
    glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 1.0f);
    glLightf(GL_LIGHT0, GL_SPOT_EXPONENT, 3.0f);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse0);
    glLightfv(GL_LIGHT0, GL_POSITION, position0);
    glEnable(GL_LIGHT0);
    glPopMatrix();

    glPushMatrix(); // light 1 stays fixed to the viewer
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse1);
    glLightfv(GL_LIGHT1, GL_POSITION, position1);
    glEnable(GL_LIGHT1);
    glPopMatrix();
}

void display()
{
    // Clicks and reshapes ask for a redisplay too: the frame at the display's refresh shows
    // what they changed.
    if (!frameDue())
        return;
    moveTick(1); // the sphere where its chains have taken it by now
    const Position &sphere = scene.spherePos;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(50.0, 1.0, 1.5, 80.0); // aspect stays 1: a wide window stretches the view
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 45.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    setupLights();
    glRotatef(scene.spinAngle, 0.0f, 1.0f, 0.0f);

    // Colours above 1 are meant: they scale the ambient reflectance under lighting.
    glPushMatrix();
    glColor3f(0.0f, 0.0f, 3.25f);
    glutWireCube(27.0); // faces at +-13.5, just outside the box the sphere wanders in
    glPopMatrix();

    glPushMatrix();
    glColor3f(0.0f, 2.0f, 0.0f);
    glTranslatef(sphere.x, sphere.y, sphere.z);
    glRotatef(180.0f, sphere.z, sphere.x, sphere.y);
    glutSolidSphere(1.0, 25, 16);
    glPopMatrix();

    drawLabels(sphere.x, sphere.y, sphere.z);

    glBegin(GL_LINES); // in the colour drawLabels leaves
    glVertex3d(sphere.x, sphere.y, sphere.z);
    glVertex3d(0.0, 0.0, 0.0);
    glEnd();

    glutSwapBuffers();
    askForNextFrame(); // GLUT waits for it, serving ticks and input meanwhile
}
