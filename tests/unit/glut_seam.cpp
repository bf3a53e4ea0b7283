// Recording stand-ins for the GLUT and GL calls made by the callbacks under test.
#include "glut_seam.h"

#include "app/gl.h"
#include "platform/platform.h"
#include "render/render.h"

#include <algorithm>
#include <cmath>

namespace seam
{

std::vector<Timer> timers;
int redisplays;
int swaps;
std::string order;
double clock = 1000;
double swapWait;
double clearWait;
int viewport[4];
std::string stroked;
bool lit;
std::string lighting;
bool busy;
std::mt19937 noise;

// The frame asked for last comes, as GLUT's loop gives it: the clock moves on to its time and
// its timer fires. Every timer asks for a frame, one at a time.
static void frameTimerFires()
{
    if (timers.empty())
        return;
    const Timer due = timers.front();
    timers.erase(timers.begin());
    clock += due.millis / 1000.0;
    due.callback(due.value);
}

void reset()
{
    frameTimerFires(); // so that the next display draws
    clock += 1000;
    swapWait = clearWait = 0;
    busy = false;
    timers.clear();
    redisplays = 0;
    swaps = 0;
    order.clear();
    viewport[0] = viewport[1] = viewport[2] = viewport[3] = -1;
    stroked.clear();
    lit = false;
    lighting.clear();
}

void lookAt(double at)
{
    auto chance = std::uniform_real_distribution<double>(0, 1);
    const double late = !busy ? 0 : chance(noise) < 0.01 ? 0.015 : chance(noise) * 0.004;
    clock = std::max(clock, at + late);
    moveTick(1);
}

void tick()
{
    lookAt(clock + 0.020);
}

void frame()
{
    frameTimerFires();
    display();
}

} // namespace seam

double monotonicSeconds()
{
    return seam::clock;
}

void glutTimerFunc(unsigned int millis, void (*callback)(int), int value)
{
    seam::timers.push_back({millis, callback, value});
    seam::order += 't';
}

int glutGet(GLenum what)
{
    return what == GLUT_ELAPSED_TIME ? static_cast<int>(std::llround(seam::clock * 1000)) : 0;
}

void glutPostRedisplay()
{
    seam::redisplays++;
    seam::order += 'r';
}

void glutSwapBuffers()
{
    seam::swaps++;
    seam::order += 's';
    seam::clock += seam::swapWait;
}

void glClear(GLbitfield mask)
{
    (void)mask;
    seam::clock += seam::clearWait;
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    seam::viewport[0] = x;
    seam::viewport[1] = y;
    seam::viewport[2] = width;
    seam::viewport[3] = height;
}

void glutStrokeCharacter(void *font, int character)
{
    (void)font;
    seam::stroked += static_cast<char>(character);
    seam::lighting += seam::lit ? 'L' : 'u';
}

void glEnable(GLenum capability)
{
    seam::lit |= capability == GL_LIGHTING;
}

void glDisable(GLenum capability)
{
    seam::lit &= capability != GL_LIGHTING;
}

void glBegin(GLenum mode)
{
    (void)mode;
    seam::lighting += seam::lit ? 'L' : 'u';
}

void glutWireCube(double edge)
{
    (void)edge;
}

void glutSolidSphere(double radius, GLint slices, GLint stacks)
{
    (void)radius;
    (void)slices;
    (void)stacks;
}
