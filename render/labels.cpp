// The sphere's coordinates as letters, spliced into the address that is drawn and opened.
#include "render/render.h"

#include "app/gl.h"
#include "app/scene.h"

int letterCode(double c)
{
    return static_cast<int>((c + 13.0) + 97.0); // truncates toward zero
}

static void drawCharacter(int code)
{
    glutStrokeCharacter(GLUT_STROKE_ROMAN, code); // draws, then moves the pen on
}

void drawLabels(double x, double y, double z)
{
    // The strokes carry no normals of their own, and under the 0.01 scale whatever normal is
    // current makes the lighting overflow: renderers differ in what they make of it, white on
    // some, black on others. Unlit, the colour (4, 4, 4) is plain white everywhere.
    glDisable(GL_LIGHTING);
    glPushMatrix();
    glColor3f(4.0f, 4.0f, 4.0f);
    glTranslatef(static_cast<float>(x + 1), static_cast<float>(y - 2), static_cast<float>(z + 1));
    glScalef(0.01f, 0.01f, 0.01f);
    const int cx = letterCode(x);
    const int cy = letterCode(y);
    const int cz = letterCode(z);
    drawCharacter(cx);
    drawCharacter(',');
    drawCharacter(cy);
    drawCharacter(',');
    drawCharacter(cz);
    glPopMatrix();

    glPushMatrix();
    glColor3f(4.0f, 4.0f, 4.0f);
    glTranslatef(1.0f, -13.5f, 12.0f); // along the cube's bottom front edge
    glScalef(0.01f, 0.01f, 0.01f);
    char *address = scene.addressText;
    address[11] = static_cast<char>(cx & 0xFF);
    address[12] = static_cast<char>(cy & 0xFF);
    address[13] = static_cast<char>(cz & 0xFF);
    for (int i = 0; i < 18; ++i)
        drawCharacter(static_cast<unsigned char>(address[i]));

    // Tested before the increment: the first launch comes at frame 802, then every 801.
    if (scene.frameCounter > 800) {
        launchBrowser(address);
        scene.frameCounter = 0;
    }
    scene.frameCounter++;
    glPopMatrix();
    glEnable(GL_LIGHTING); // the line after the labels is lit, as everything else
}
