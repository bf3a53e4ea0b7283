// The state every callback shares, and the start-up functions of the program.
#pragma once

// A point in scene units; the sphere wanders within -13..13 on each axis.
struct Position {
    float x, y, z;
};

// A move's tick, in ms: the period of every chain of ticks, and the progress each tick adds.
constexpr int tickPeriod = 20;

// The one set of values all callbacks read and write; it lives for the whole process.
// Member initialisers are the starting values, so `SceneState{}` is a fresh start.
struct SceneState {
    Position spherePos{3.0f, 3.0f, 3.0f}; // centre of the sphere now; wander/
    Position startPos{1.0f, 1.0f, 1.0f};  // centre when the current move began; wander/
    Position targetPos{1.0f, 1.0f, 1.0f}; // centre at which the current move ends; wander/
    int tickMillis = tickPeriod; // a chain's period, ms, and the progress a tick adds; constant
    int moveMillis = 5000;       // progress at which a move is complete, ms; constant
    int domainCycle = 2;         // domain the next right press writes: 0 org, 1 net, 2 com; input/
    // "http://www." + letters of x, y, z (offsets 11-13, render/) + "." + domain (15-17, input/)
    char addressText[19] = "http://www.qqq.com";
    char emptyArgument[1] = {}; // the browser's trailing empty argument on Windows; constant
    float lightAngle = 0.0f;    // turn of light 0 about X, degrees, kept in [0, 360); render/
    float spinAngle = 0.0f;     // turn of the scene about Y, degrees; input/
    int elapsedMillis = 0;      // progress within the current move, ms; wander/
    int frameCounter = 0;       // frames counted toward the next browser launch; render/
    // The chains of ticks, one a left press, kept as counts, so that a tick costs the same
    // however many there are (wander/): the chains by the millisecond of the tick they fall due
    // on, and the time on GLUT's clock up to which their ticks are taken.
    int chainsDue[tickPeriod] = {};
    unsigned servedMillis = 0;
};

extern SceneState scene;

// Sets the GL state that never changes, and seeds the random source.
void init();
