// Straight-line moves between random points. Each left press starts one more chain of ticks,
// every 20 ms from the press. The chains are counts, so that a tick costs the same with a
// million chains as with one, and their ticks are taken when the sphere is looked at, as each
// frame begins and at each press: no timer wakes the program between frames, nor while no frame
// is drawn at all, as when the window is minimised.
#include "wander/wander.h"

#include "app/gl.h"
#include "app/scene.h"

float randomBetween(float lo, float hi)
{
    const float t = static_cast<float>(nextRandom() / 32767.0);       // 32767: the draw's maximum
    return static_cast<float>(static_cast<double>(hi - lo) * t + lo); // one rounding, at the end
}

float mapRange(float v, float inLo, float inHi, float outLo, float outHi)
{
    const float t = (v - inLo) / (inHi - inLo);
    return static_cast<float>(static_cast<double>(outHi - outLo) * t + outLo);
}

// A move from the current centre toward a fresh target, drawn in the order x, y, z.
static void beginMove()
{
    scene.startPos = scene.spherePos;
    scene.targetPos.x = randomBetween(-13.0f, 13.0f);
    scene.targetPos.y = randomBetween(-13.0f, 13.0f);
    scene.targetPos.z = randomBetween(-13.0f, 13.0f);
    scene.elapsedMillis = 0;
}

void advanceMove(long long ticks)
{
    // Progress counts ticks, not measured time. The position is worked out afresh from the
    // move's start, so only the last tick of a move, or of all, need place the sphere.
    while (ticks > 0) {
        const int tick = scene.tickMillis;
        long long left = (scene.moveMillis - scene.elapsedMillis + tick - 1) / tick;
        left = left > 1 ? left : 1; // the one that lands
        if (ticks < left) {
            scene.elapsedMillis += static_cast<int>(ticks) * tick;
            const float now = static_cast<float>(scene.elapsedMillis);
            const float end = static_cast<float>(scene.moveMillis);
            const Position &from = scene.startPos;
            const Position &to = scene.targetPos;
            scene.spherePos.x = mapRange(now, 0.0f, end, from.x, to.x);
            scene.spherePos.y = mapRange(now, 0.0f, end, from.y, to.y);
            scene.spherePos.z = mapRange(now, 0.0f, end, from.z, to.z);
            return;
        }
        ticks -= left;
        scene.spherePos = scene.targetPos; // land exactly, then on to the next
        beginMove();
    }
}

static long long chainCount()
{
    long long chains = 0;
    for (int due : scene.chainsDue)
        chains += due;
    return chains;
}

// The millisecond of the tick that a time on GLUT's clock falls on.
static int phaseOf(unsigned millis)
{
    return static_cast<int>(millis % tickPeriod);
}

// Takes every tick the chains have come due for since last time: each chain once a period,
// and once more for each millisecond since the last whole period on which it falls due. GLUT's
// clock wraps after 49 days; a difference of it does not, and the chains' phases shift once.
void moveTick(int value)
{
    if (value != 1)
        return;
    const unsigned now = static_cast<unsigned>(glutGet(GLUT_ELAPSED_TIME));
    const unsigned passed = now - scene.servedMillis;
    long long ticks = passed / tickPeriod * chainCount();
    for (unsigned ms = 1; ms <= passed % tickPeriod; ++ms)
        ticks += scene.chainsDue[phaseOf(scene.servedMillis + ms)];
    scene.servedMillis = now;
    advanceMove(ticks);
}

void startMove()
{
    moveTick(1); // the ticks due before the press belong to the move it ends
    beginMove();
    ++scene.chainsDue[phaseOf(scene.servedMillis)]; // due a tick from now, and every tick on
}
