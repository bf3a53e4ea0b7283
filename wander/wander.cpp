// Straight-line moves between random points, advanced by a 20 ms timer chain.
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

void startMove()
{
    scene.startPos = scene.spherePos;
    scene.targetPos.x = randomBetween(-13.0f, 13.0f);
    scene.targetPos.y = randomBetween(-13.0f, 13.0f);
    scene.targetPos.z = randomBetween(-13.0f, 13.0f);
    scene.elapsedMillis = 0;
    glutTimerFunc(static_cast<unsigned>(scene.tickMillis), moveTick, 1);
}

void moveTick(int value)
{
    if (value == 1) {
        // Progress counts ticks, not measured time: a late timer still adds one tick.
        scene.elapsedMillis += scene.tickMillis;
        if (scene.elapsedMillis < scene.moveMillis) {
            const float now = static_cast<float>(scene.elapsedMillis);
            const float end = static_cast<float>(scene.moveMillis);
            const Position &from = scene.startPos;
            const Position &to = scene.targetPos;
            scene.spherePos.x = mapRange(now, 0.0f, end, from.x, to.x);
            scene.spherePos.y = mapRange(now, 0.0f, end, from.y, to.y);
            scene.spherePos.z = mapRange(now, 0.0f, end, from.z, to.z);
            glutTimerFunc(static_cast<unsigned>(scene.tickMillis), moveTick, 1);
        } else {
            scene.spherePos = scene.targetPos; // land exactly, then the next move re-arms
            startMove();
        }
    }
    glutPostRedisplay();
}
